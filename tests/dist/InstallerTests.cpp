// The installer as a user runs it, silently, in a scratch Wine prefix whose
// network is loopback only: what it puts where, the band and the publisher
// it starts from the installed place, an upgrade over both running, and the
// uninstaller leaving nothing behind. The band is docked in the development
// taskbar, with the composition stand-in put into the install folder by the
// test (Wine has no DirectComposition).

// Winsock's headers (through the fake gateway) must come before <windows.h>.
#include "support/FakeRouterTest.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "devshell/DevBand.h"
#include "devshell/DevTaskbarCommand.h"
#include "devshell/DevTaskbarControl.h"
#include "NimbrelVersion.h"
#include "support/ProgramRun.h"
#include "publisher/system/PublisherNames.h"
#include "publisher/options/CommandLineSplitting.h"
#include "common/SharedTrafficRecord.h"
#include "common/RegistryKey.h"
#include "common/UniqueHandle.h"
#include "support/ChildProcess.h"
#include "support/SectionReader.h"

namespace {

constexpr DWORD kTimeoutMs = 60'000;  // "works" against "hangs", on a busy machine
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Nimbrel";
constexpr wchar_t kSettingsKey[] = L"Software\\Nimbrel";
constexpr wchar_t kStandInOverride[] = L"dcomp=n,b";
constexpr const wchar_t* kInstalledFiles[] = {
    L"Nimbrel.exe", L"nimbrel-publisher.exe", L"nimbrel-publisherw.exe",
    L"README.txt",  L"LICENSE.txt",           L"uninstall.exe"};

bool InScratchPrefix() noexcept {
  wchar_t szValue[8] = {};
  return GetEnvironmentVariableW(L"NIMBREL_SCRATCH_PREFIX", szValue, 8) == 1 && szValue[0] == L'1';
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR pszPath = nullptr;
  std::wstring strPath;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &pszPath))) strPath = pszPath;
  CoTaskMemFree(pszPath);
  return strPath;
}

bool Exists(const std::wstring& strPath) {
  return GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs = kTimeoutMs) {
  const ULONGLONG nEnd = GetTickCount64() + dwTimeoutMs;
  while (!pred()) {
    if (GetTickCount64() >= nEnd) return false;
    Sleep(50);
  }
  return true;
}

std::optional<std::wstring> ReadString(const wchar_t* pszKey, const wchar_t* pszName,
                                       DWORD* pcbData = nullptr) {
  std::vector<wchar_t> buffer(4096, L'\0');
  DWORD cbData = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  DWORD dwType = REG_NONE;
  if (RegGetValueW(HKEY_CURRENT_USER, pszKey, pszName, RRF_RT_ANY | RRF_NOEXPAND, &dwType,
                   buffer.data(), &cbData) != ERROR_SUCCESS ||
      dwType != REG_SZ) {
    return std::nullopt;
  }
  if (pcbData != nullptr) *pcbData = cbData;
  return std::wstring(buffer.data());
}

std::optional<DWORD> ReadDword(const wchar_t* pszKey, const wchar_t* pszName) {
  CRegistryKey key;
  DWORD dwValue = 0;
  if (!key.Open(HKEY_CURRENT_USER, pszKey, KEY_QUERY_VALUE) || !key.QueryDword(pszName, dwValue)) {
    return std::nullopt;
  }
  return dwValue;
}

bool KeyExists(const wchar_t* pszKey) {
  CRegistryKey key;
  return key.Open(HKEY_CURRENT_USER, pszKey, KEY_QUERY_VALUE);
}

bool PublisherRunning() {
  const CUniqueHandle hMutex(
      OpenMutexW(SYNCHRONIZE, FALSE, PublisherMutexName(kTrafficSectionName).c_str()));
  return static_cast<bool>(hMutex);
}

// The target of a shell link, as Explorer would start it.
std::wstring LinkTarget(const std::wstring& strLink) {
  IShellLinkW* pLink = nullptr;
  std::wstring strTarget;
  if (FAILED(
          CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&pLink)))) {
    return strTarget;
  }
  IPersistFile* pFile = nullptr;
  if (SUCCEEDED(pLink->QueryInterface(IID_PPV_ARGS(&pFile)))) {
    wchar_t szPath[MAX_PATH] = {};
    if (SUCCEEDED(pFile->Load(strLink.c_str(), STGM_READ)) &&
        SUCCEEDED(pLink->GetPath(szPath, MAX_PATH, nullptr, 0))) {
      strTarget = szPath;
    }
    pFile->Release();
  }
  pLink->Release();
  return strTarget;
}

// A process found by one of its windows, to wait for and read the exit of.
struct WindowProcess {
  CUniqueHandle m_hProcess;
  DWORD m_dwId = 0;
};

WindowProcess ProcessOf(HWND hWnd) {
  WindowProcess process;
  GetWindowThreadProcessId(hWnd, &process.m_dwId);
  process.m_hProcess.Reset(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process.m_dwId));
  return process;
}

DWORD ExitCodeWithin(const WindowProcess& process, DWORD dwTimeoutMs) {
  if (!process.m_hProcess ||
      WaitForSingleObject(process.m_hProcess.Get(), dwTimeoutMs) != WAIT_OBJECT_0) {
    return STILL_ACTIVE;
  }
  DWORD dwExit = STILL_ACTIVE;
  GetExitCodeProcess(process.m_hProcess.Get(), &dwExit);
  return dwExit;
}

class Installer : public FakeRouterTest {
 protected:
  void SetUp() override {
    if (!InScratchPrefix()) {
      GTEST_SKIP() << "runs only in a scratch Wine prefix (scripts/in-scratch-prefix.sh)";
    }
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    m_bCom = true;
    ASSERT_TRUE(m_taskbar.Start(WindowsPath(NIMBREL_DEVTASKBAR_PATH)));
    m_hTaskbar = WaitForDevTaskbar(kTimeoutMs);
    ASSERT_NE(m_hTaskbar, nullptr) << "the development taskbar did not come up";
    UseFolder(KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Nimbrel");
  }

  void TearDown() override {
    if (m_hTaskbar != nullptr) {
      if (Exists(Installed(L"uninstall.exe"))) {
        CloseBand();
        DeleteFileW(Installed(L"dcomp.dll").c_str());
        (void)Uninstall();
      }
      (void)SendDevTaskbarCommand(m_hTaskbar, DevTaskbarCommand::Quit, 0);
      (void)m_taskbar.WaitForExit(kTimeoutMs);
    }
    if (m_bCom) CoUninitialize();
  }

  // Where the next install goes; the stand-in waits there for the band.
  void UseFolder(const std::wstring& strFolder) {
    m_strFolder = strFolder;
    SHCreateDirectoryExW(nullptr, m_strFolder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(WindowsPath(NIMBREL_STANDIN_PATH).c_str(),
                          Installed(L"dcomp.dll").c_str(), FALSE));
  }
  std::wstring Installed(const wchar_t* pszName) const { return m_strFolder + L"\\" + pszName; }

  // The silent install; its exit code.
  DWORD Install(const std::wstring& strArguments = L"/S") {
    CProgramRun setup;
    if (!setup.Start(WindowsPath(NIMBREL_SETUP_PATH), kStandInOverride, strArguments)) {
      ADD_FAILURE() << "the installer did not start";
      return STILL_ACTIVE;
    }
    return setup.WaitForExit(2 * kTimeoutMs);
  }

  // The silent uninstall, which hands over to a copy of itself and returns
  // at once: done when its entry in Settings > Apps is gone and the files
  // it put there with it.
  bool Uninstall() {
    CProgramRun uninstall;
    if (!uninstall.Start(Installed(L"uninstall.exe"), nullptr, L"/S")) return false;
    (void)uninstall.WaitForExit(kTimeoutMs);
    return WaitUntil([] { return !KeyExists(kUninstallKey); }) &&
           WaitUntil([&] { return !Exists(Installed(L"uninstall.exe")); }, 10'000);
  }

  // What is left in the install folder.
  std::vector<std::wstring> FolderContents() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data{};
    const HANDLE hFind = FindFirstFileW((m_strFolder + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE) return names;
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
    return names;
  }

  HWND WaitForBand() {
    const HWND hBand = WaitForDockedBand(m_hTaskbar, kTimeoutMs);
    if (hBand != nullptr) {
      EXPECT_TRUE(WaitForBandFrame(hBand, kTimeoutMs)) << "docked, not drawn";
    }
    return hBand;
  }

  // As the band's menu's Close does.
  void CloseBand() {
    const HWND hBand = FindDockedBand(m_hTaskbar);
    if (hBand == nullptr) return;
    const WindowProcess band = ProcessOf(hBand);
    PostMessageW(hBand, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(band, kTimeoutMs), 0u);
  }

  bool m_bCom = false;
  CProgramRun m_taskbar;
  HWND m_hTaskbar = nullptr;
  std::wstring m_strFolder;
};

TEST_F(Installer, ASilentInstallPutsEverythingInPlaceAndStartsBothFromThere) {
  ASSERT_EQ(Install(), 0u);

  for (const wchar_t* pszName : kInstalledFiles) {
    EXPECT_TRUE(Exists(Installed(pszName))) << std::string(pszName, pszName + wcslen(pszName));
  }

  // The band's value exactly as its Autostart item writes it: the quoted path,
  // its NUL counted, so the item shows checked; Windows starts the band alone.
  const std::wstring strBandCommand = L"\"" + Installed(L"Nimbrel.exe") + L"\"";
  DWORD cbBand = 0;
  EXPECT_EQ(ReadString(kRunKey, L"Nimbrel.exe", &cbBand), strBandCommand);
  EXPECT_EQ(cbBand, (strBandCommand.size() + 1) * sizeof(wchar_t));
  EXPECT_EQ(SplitCommandLine(strBandCommand.c_str()),
            std::vector<std::wstring>{Installed(L"Nimbrel.exe")});
  // The publisher's as Windows splits it at log-on: the windowless publisher,
  // no options, so the automatic source.
  const std::optional<std::wstring> publisher = ReadString(kRunKey, L"Nimbrel Publisher");
  ASSERT_TRUE(publisher);
  EXPECT_EQ(SplitCommandLine(publisher->c_str()),
            std::vector<std::wstring>{Installed(L"nimbrel-publisherw.exe")});

  EXPECT_EQ(LinkTarget(KnownFolder(FOLDERID_Programs) + L"\\Nimbrel.lnk"),
            Installed(L"Nimbrel.exe"));

  EXPECT_EQ(ReadString(kUninstallKey, L"DisplayName"), L"Nimbrel");
  EXPECT_EQ(ReadString(kUninstallKey, L"DisplayVersion"), kNimbrelVersionText);
  EXPECT_TRUE(ReadString(kUninstallKey, L"Publisher"));
  EXPECT_EQ(ReadString(kUninstallKey, L"DisplayIcon"), Installed(L"Nimbrel.exe"));
  EXPECT_EQ(ReadString(kUninstallKey, L"InstallLocation"), m_strFolder);
  const std::optional<std::wstring> uninstall = ReadString(kUninstallKey, L"UninstallString");
  ASSERT_TRUE(uninstall);
  EXPECT_EQ(SplitCommandLine(uninstall->c_str()),
            std::vector<std::wstring>{Installed(L"uninstall.exe")});
  const std::optional<std::wstring> quiet = ReadString(kUninstallKey, L"QuietUninstallString");
  ASSERT_TRUE(quiet);
  EXPECT_EQ(SplitCommandLine(quiet->c_str()),
            (std::vector<std::wstring>{Installed(L"uninstall.exe"), L"/S"}));
  const std::optional<DWORD> nSizeKb = ReadDword(kUninstallKey, L"EstimatedSize");
  ASSERT_TRUE(nSizeKb);
  EXPECT_GT(*nSizeKb, 100u);
  EXPECT_EQ(ReadDword(kUninstallKey, L"NoModify"), 1u);
  EXPECT_EQ(ReadDword(kUninstallKey, L"NoRepair"), 1u);
  // Nothing of the machine's: a per-user install needs no rights.
  CRegistryKey machine;
  EXPECT_FALSE(machine.Open(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_QUERY_VALUE));

  // Both started from the installed place.
  const HWND hBand = WaitForBand();
  ASSERT_NE(hBand, nullptr) << "the installed band did not dock";
  ASSERT_TRUE(WaitUntil(PublisherRunning)) << "the installed publisher is not running";
  ASSERT_TRUE(WaitUntil([] {
    const std::optional<SharedTrafficRecord> record = ReadSection(kTrafficSectionName);
    return record && record->Sequence != 0;
  })) << "the installed publisher published nothing";

  // The band's Autostart item takes the installer's value for its own: it is
  // checked (choosing it removes the value), and choosing it again writes the same.
  ASSERT_TRUE(ChooseFromBandMenu(hBand, BandMenuCommand::Autostart));
  EXPECT_TRUE(WaitUntil([] { return !ReadString(kRunKey, L"Nimbrel.exe"); }));
  ASSERT_TRUE(ChooseFromBandMenu(hBand, BandMenuCommand::Autostart));
  EXPECT_TRUE(WaitUntil([&] { return ReadString(kRunKey, L"Nimbrel.exe") == strBandCommand; }))
      << Narrow(ReadString(kRunKey, L"Nimbrel.exe").value_or(L"(none)"));
  // And the publisher's is the one its own --autostart on writes.
  CChildProcess autostart;
  ASSERT_TRUE(autostart.StartCommandLine(
      L"\"" + Installed(L"nimbrel-publisher.exe") + L"\" --autostart on", false));
  EXPECT_EQ(autostart.Finish(20'000).m_dwExitCode, 0u);
  EXPECT_EQ(ReadString(kRunKey, L"Nimbrel Publisher"), publisher);

  // The installed publisher as the log-on entry starts it, given a router on
  // loopback: the router's figures reach the section.
  Serve();
  EXPECT_EQ(RunPublisher(L"--stop", 20'000).m_dwExitCode, 0u);
  CChildProcess autoPublisher;
  ASSERT_TRUE(autoPublisher.StartCommandLine(*publisher + L" --router " + DescriptionUrl(), false));
  EXPECT_TRUE(WaitUntil([] {
    const std::optional<SharedTrafficRecord> record = ReadSection(kTrafficSectionName);
    return record && record->RateDown == 1'234'567 && record->RateUp == 89'012;
  })) << "the router's figures never came";
  EXPECT_EQ(RunPublisher(L"--stop", 20'000).m_dwExitCode, 0u);

  // With nothing of the test's own left in it, the folder goes too.
  CloseBand();
  ASSERT_TRUE(DeleteFileW(Installed(L"dcomp.dll").c_str()));
  ASSERT_TRUE(Uninstall());
  EXPECT_TRUE(WaitUntil([&] { return !Exists(m_strFolder); }, 10'000));
}

TEST_F(Installer, AnUpgradeClosesBothAsTheyWouldCloseKeepsTheSettingsAndStartsBothAgain) {
  ASSERT_EQ(Install(), 0u);
  const HWND hBand = WaitForBand();
  ASSERT_NE(hBand, nullptr);
  ASSERT_TRUE(WaitUntil(PublisherRunning));
  // A setting of the user's: the band locked through its own menu.
  ASSERT_TRUE(ChooseFromBandMenu(hBand, BandMenuCommand::Locked));
  ASSERT_TRUE(WaitUntil([] { return ReadDword(kSettingsKey, L"Locked") == 1u; }));
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"PosX");
  const WindowProcess oldBand = ProcessOf(hBand);

  ASSERT_EQ(Install(), 0u);

  // Closed, not killed: exit code 0, and the place saved again on the way out.
  EXPECT_EQ(ExitCodeWithin(oldBand, 0), 0u);
  EXPECT_TRUE(ReadDword(kSettingsKey, L"PosX")) << "the band did not save its place";
  EXPECT_EQ(ReadDword(kSettingsKey, L"Locked"), 1u);

  const HWND hNewBand = WaitForBand();
  ASSERT_NE(hNewBand, nullptr) << "the band did not come back";
  EXPECT_NE(ProcessOf(hNewBand).m_dwId, oldBand.m_dwId);
  EXPECT_TRUE(WaitUntil(PublisherRunning)) << "the publisher did not come back";
  // The new band took the kept setting: it saves it again on its Close.
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"Locked");
  CloseBand();
  EXPECT_EQ(ReadDword(kSettingsKey, L"Locked"), 1u);
}

TEST_F(Installer, TheSilentUninstallEndsBothAndLeavesNothingBehind) {
  // Elsewhere, with a space in the path, as /D= gives it.
  UseFolder(L"C:\\Nimbrel Apps\\Nimbrel");
  ASSERT_EQ(Install(L"/S /D=" + m_strFolder), 0u);
  ASSERT_NE(WaitForBand(), nullptr);
  ASSERT_TRUE(WaitUntil(PublisherRunning));
  const std::optional<std::wstring> publisher = ReadString(kRunKey, L"Nimbrel Publisher");
  ASSERT_TRUE(publisher);
  EXPECT_EQ(SplitCommandLine(publisher->c_str()),
            std::vector<std::wstring>{Installed(L"nimbrel-publisherw.exe")});
  // The publisher's log, there once the windowless one has run.
  const std::wstring strLogFolder = KnownFolder(FOLDERID_LocalAppData) + L"\\Nimbrel";
  ASSERT_TRUE(WaitUntil([&] { return Exists(strLogFolder + L"\\publisher.log"); }));

  const HWND hBand = FindDockedBand(m_hTaskbar);
  ASSERT_NE(hBand, nullptr);
  const WindowProcess band = ProcessOf(hBand);

  ASSERT_TRUE(Uninstall());
  EXPECT_EQ(ExitCodeWithin(band, kTimeoutMs), 0u) << "the band was not closed as its Close does";
  EXPECT_TRUE(WaitUntil([] { return !PublisherRunning(); }));
  // Of the folder only the test's own stand-in is left (the first test sees
  // the folder go when it is not there).
  EXPECT_EQ(FolderContents(), std::vector<std::wstring>{L"dcomp.dll"});
  DeleteFileW(Installed(L"dcomp.dll").c_str());
  RemoveDirectoryW(m_strFolder.c_str());
  EXPECT_FALSE(Exists(KnownFolder(FOLDERID_Programs) + L"\\Nimbrel.lnk"));
  EXPECT_FALSE(ReadString(kRunKey, L"Nimbrel.exe"));
  EXPECT_FALSE(ReadString(kRunKey, L"Nimbrel Publisher"));
  EXPECT_FALSE(KeyExists(kSettingsKey));
  EXPECT_FALSE(KeyExists(kUninstallKey));
  EXPECT_FALSE(Exists(strLogFolder));
}

}  // namespace
