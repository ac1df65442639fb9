// The unpacked download: exactly the files a user needs, every program
// carrying the one version, the publishers answering --help and --version.

#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "NimbrelVersion.h"
#include "common/UniqueHandle.h"
#include "support/ChildProcess.h"
#include "support/ProgramPath.h"

namespace {

std::wstring Unpacked(const std::wstring& strName) {
  return TestRelativePath(NIMBREL_DIST_RELDIR) + L"\\" + strName;
}

struct ShippedProgram {
  const wchar_t* m_pszName;
  WORD m_nSubsystem;
  bool m_bPublisher;
};

constexpr ShippedProgram kPrograms[] = {
    {L"Nimbrel.exe", IMAGE_SUBSYSTEM_WINDOWS_GUI, false},
    {L"nimbrel-publisher.exe", IMAGE_SUBSYSTEM_WINDOWS_CUI, true},
    {L"nimbrel-publisherw.exe", IMAGE_SUBSYSTEM_WINDOWS_GUI, true},
};

TEST(Dist, TheZipHoldsTheThreeProgramsTheGuideAndTheLicenseAndNothingElse) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW data{};
  HANDLE hFind = FindFirstFileW(Unpacked(L"*").c_str(), &data);
  ASSERT_NE(hFind, INVALID_HANDLE_VALUE) << "not unpacked: run through ctest (dist_package)";
  do {
    if (std::wstring(data.cFileName) != L"." && std::wstring(data.cFileName) != L"..") {
      names.insert(data.cFileName);
    }
  } while (FindNextFileW(hFind, &data));
  FindClose(hFind);
  const std::set<std::wstring> expected = {L"Nimbrel.exe", L"nimbrel-publisher.exe",
                                           L"nimbrel-publisherw.exe", L"README.txt",
                                           L"LICENSE.txt"};
  EXPECT_EQ(names, expected);
}

std::vector<BYTE> FileVersionInfo(const std::wstring& strPath) {
  const DWORD cb = GetFileVersionInfoSizeW(strPath.c_str(), nullptr);
  std::vector<BYTE> info(cb);
  if (cb == 0 || !GetFileVersionInfoW(strPath.c_str(), 0, cb, info.data())) {
    return {};
  }
  return info;
}

std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* pszName) {
  void* pValue = nullptr;
  UINT cch = 0;
  const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + pszName;
  if (!VerQueryValueW(info.data(), query.c_str(), &pValue, &cch) || pValue == nullptr) {
    return L"<missing>";
  }
  return static_cast<const wchar_t*>(pValue);
}

TEST(Dist, EveryProgramCarriesTheOneVersionAndItsOwnName) {
  const std::wstring strVersion = kNimbrelVersionText;
  for (const ShippedProgram& program : kPrograms) {
    SCOPED_TRACE(std::string(program.m_pszName, program.m_pszName + wcslen(program.m_pszName)));
    const std::vector<BYTE> info = FileVersionInfo(Unpacked(program.m_pszName));
    ASSERT_FALSE(info.empty());
    void* pFixed = nullptr;
    UINT cbFixed = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &pFixed, &cbFixed));
    const auto* pVersion = static_cast<const VS_FIXEDFILEINFO*>(pFixed);
    EXPECT_EQ(pVersion->dwFileVersionMS,
              static_cast<DWORD>(MAKELONG(NIMBREL_VERSION_MINOR, NIMBREL_VERSION_MAJOR)));
    EXPECT_EQ(pVersion->dwFileVersionLS,
              static_cast<DWORD>(MAKELONG(NIMBREL_VERSION_TWEAK, NIMBREL_VERSION_PATCH)));
    EXPECT_EQ(pVersion->dwProductVersionMS, pVersion->dwFileVersionMS);
    EXPECT_EQ(pVersion->dwProductVersionLS, pVersion->dwFileVersionLS);
    EXPECT_EQ(VersionString(info, L"FileVersion"), strVersion);
    EXPECT_EQ(VersionString(info, L"ProductVersion"), strVersion);
    EXPECT_EQ(VersionString(info, L"ProductName"), L"Nimbrel");
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), program.m_pszName);
  }
}

// An existing file, to read; empty when it cannot be opened.
CUniqueHandle OpenForReading(const std::wstring& strPath) {
  const HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
  return CUniqueHandle(hFile == INVALID_HANDLE_VALUE ? nullptr : hFile);
}

// The subsystem from the PE header: a console for one publisher, none for
// the other and for the band.
WORD Subsystem(const std::wstring& strPath) {
  const CUniqueHandle hFile = OpenForReading(strPath);
  if (!hFile) {
    return 0;
  }
  std::vector<BYTE> head(4096);
  DWORD cbRead = 0;
  ReadFile(hFile.Get(), head.data(), static_cast<DWORD>(head.size()), &cbRead, nullptr);
  const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(head.data());
  if (cbRead < sizeof(IMAGE_DOS_HEADER) || pDos->e_magic != IMAGE_DOS_SIGNATURE ||
      pDos->e_lfanew < 0 ||
      static_cast<std::size_t>(pDos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > cbRead) {
    return 0;
  }
  const auto* pNt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(head.data() + pDos->e_lfanew);
  return pNt->Signature == IMAGE_NT_SIGNATURE ? pNt->OptionalHeader.Subsystem : 0;
}

std::string Manifest(const std::wstring& strPath) {
  HMODULE hModule = LoadLibraryExW(strPath.c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (hModule == nullptr) {
    return {};
  }
  std::string text;
  HRSRC hInfo = FindResourceW(hModule, MAKEINTRESOURCEW(1), RT_MANIFEST);
  if (hInfo != nullptr) {
    const auto* p = static_cast<const char*>(LockResource(LoadResource(hModule, hInfo)));
    text.assign(p, SizeofResource(hModule, hInfo));
  }
  FreeLibrary(hModule);
  return text;
}

TEST(Dist, TheWindowlessPublisherHasNoConsoleAndAllRunAsTheInvokingUser) {
  for (const ShippedProgram& program : kPrograms) {
    SCOPED_TRACE(std::string(program.m_pszName, program.m_pszName + wcslen(program.m_pszName)));
    EXPECT_EQ(Subsystem(Unpacked(program.m_pszName)), program.m_nSubsystem);
    const std::string manifest = Manifest(Unpacked(program.m_pszName));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos) << manifest;
  }
}

TEST(Dist, EachPublisherAnswersHelpAndVersion) {
  for (const ShippedProgram& program : kPrograms) {
    if (!program.m_bPublisher) {
      continue;
    }
    SCOPED_TRACE(std::string(program.m_pszName, program.m_pszName + wcslen(program.m_pszName)));
    const std::wstring strProgram = L"\"" + Unpacked(program.m_pszName) + L"\"";
    CChildProcess help;
    ASSERT_TRUE(help.StartCommandLine(strProgram + L" --help"));
    const ChildResult helpResult = help.Finish(10000);
    EXPECT_TRUE(helpResult.m_bExited);
    EXPECT_EQ(helpResult.m_dwExitCode, 0u);
    EXPECT_EQ(helpResult.m_strOut.rfind("Usage: nimbrel-publisher", 0), 0u) << helpResult.m_strOut;

    CChildProcess version;
    ASSERT_TRUE(version.StartCommandLine(strProgram + L" --version"));
    const ChildResult versionResult = version.Finish(10000);
    EXPECT_TRUE(versionResult.m_bExited);
    EXPECT_EQ(versionResult.m_dwExitCode, 0u);
    EXPECT_EQ(versionResult.m_strOut, "nimbrel-publisher " NIMBREL_VERSION_TEXT "\r\n");
  }
}

// The installer beside the zip: 64-bit, run as the invoking user (it writes
// only that user's folders and keys), with the one version.
TEST(Dist, TheInstallerIsA64BitProgramThatAsksForNoRightsAndCarriesTheVersion) {
  const std::wstring strSetup = WindowsPath(NIMBREL_SETUP_PATH);
  std::vector<BYTE> head(4096);
  DWORD cbRead = 0;
  {
    const CUniqueHandle hFile = OpenForReading(strSetup);
    ASSERT_TRUE(hFile) << "no installer: run through ctest (dist_package)";
    ReadFile(hFile.Get(), head.data(), static_cast<DWORD>(head.size()), &cbRead, nullptr);
  }
  const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(head.data());
  ASSERT_EQ(pDos->e_magic, IMAGE_DOS_SIGNATURE);
  ASSERT_LT(static_cast<std::size_t>(pDos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64), cbRead);
  const auto* pNt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(head.data() + pDos->e_lfanew);
  EXPECT_EQ(pNt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);

  const std::string manifest = Manifest(strSetup);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
  const std::vector<BYTE> info = FileVersionInfo(strSetup);
  ASSERT_FALSE(info.empty());
  EXPECT_EQ(VersionString(info, L"ProductVersion"), kNimbrelVersionText);
  EXPECT_EQ(VersionString(info, L"ProductName"), L"Nimbrel");
}

TEST(Dist, TheGuideAndTheLicenseAreThereForNotepad) {
  for (const wchar_t* pszName : {L"README.txt", L"LICENSE.txt"}) {
    std::string text(64 * 1024, '\0');
    DWORD cbRead = 0;
    {
      const CUniqueHandle hFile = OpenForReading(Unpacked(pszName));
      ASSERT_TRUE(hFile);
      ReadFile(hFile.Get(), text.data(), static_cast<DWORD>(text.size()), &cbRead, nullptr);
    }
    text.resize(cbRead);
    EXPECT_GT(text.size(), 500u);
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') {
        ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "a bare line feed at byte " << i;
      }
    }
  }
}

}  // namespace
