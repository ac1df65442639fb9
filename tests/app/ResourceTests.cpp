// The resources of the built Nimbrel.exe, read back from the file.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support/ProgramPath.h"

namespace {

constexpr WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hModule = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(m_hModule, nullptr) << "cannot load " << NIMBREL_EXE_PATH;
  }
  void TearDown() override {
    if (m_hModule != nullptr) {
      FreeLibrary(m_hModule);
    }
  }
  std::vector<std::uint8_t> Resource(LPCWSTR lpType, LPCWSTR lpName) const {
    HRSRC hInfo = FindResourceExW(m_hModule, lpType, lpName, kUsEnglish);
    if (hInfo == nullptr) {
      return {};
    }
    const auto* p = static_cast<const std::uint8_t*>(LockResource(LoadResource(m_hModule, hInfo)));
    return std::vector<std::uint8_t>(p, p + SizeofResource(m_hModule, hInfo));
  }

  HMODULE m_hModule = nullptr;
};

void PutWord(std::vector<std::uint8_t>& v, std::uint16_t n) {
  v.push_back(static_cast<std::uint8_t>(n & 0xFF));
  v.push_back(static_cast<std::uint8_t>(n >> 8));
}
void PutDword(std::vector<std::uint8_t>& v, std::uint32_t n) {
  PutWord(v, static_cast<std::uint16_t>(n & 0xFFFF));
  PutWord(v, static_cast<std::uint16_t>(n >> 16));
}

TEST_F(ResourceTest, TheBandDialogTemplateIsExactlyAsDesigned) {
  std::vector<std::uint8_t> expected;
  PutWord(expected, 1);            // dlgVer
  PutWord(expected, 0xFFFF);       // signature
  PutDword(expected, 0);           // helpID
  PutDword(expected, 0);           // exStyle
  PutDword(expected, 0x90000040);  // WS_POPUP | WS_VISIBLE | DS_SETFONT
  PutWord(expected, 0);            // no controls
  PutWord(expected, 0);            // x
  PutWord(expected, 0);            // y
  PutWord(expected, 100);          // cx
  PutWord(expected, 40);           // cy
  PutWord(expected, 0);            // no menu
  PutWord(expected, 0);            // the default dialog class
  PutWord(expected, 0);            // empty title
  PutWord(expected, 9);            // point size
  PutWord(expected, 400);          // weight
  expected.push_back(0);           // not italic
  expected.push_back(1);           // character set
  for (wchar_t ch : std::wstring(L"Segoe UI")) {
    PutWord(expected, static_cast<std::uint16_t>(ch));
  }
  PutWord(expected, 0);
  std::vector<std::uint8_t> actual = Resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_BAND));
  ASSERT_GE(actual.size(), expected.size());
  // Only alignment padding may follow.
  for (std::size_t i = expected.size(); i < actual.size(); ++i) {
    EXPECT_EQ(actual[i], 0) << "byte " << i;
  }
  actual.resize(expected.size());
  EXPECT_EQ(actual, expected);
}

TEST_F(ResourceTest, TheIconGroupHoldsTwelveImagesInOrder) {
  const std::vector<std::uint8_t> group =
      Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(IDR_MAINFRAME_ICON));
  ASSERT_EQ(group.size(), 6u + 12u * 14u);
  auto word = [&](std::size_t at) {
    return static_cast<unsigned>(group[at] | (group[at + 1] << 8));
  };
  EXPECT_EQ(word(0), 0u);
  EXPECT_EQ(word(2), 1u);
  EXPECT_EQ(word(4), 12u);
  constexpr unsigned kSizes[] = {256, 48, 32, 16};
  constexpr unsigned kBits[] = {4, 8, 32};
  for (unsigned i = 0; i < 12; ++i) {
    SCOPED_TRACE(i + 1);
    const std::size_t at = 6 + i * 14;
    const unsigned nSize = kSizes[i % 4];
    EXPECT_EQ(group[at], nSize % 256);      // width; 0 stands for 256
    EXPECT_EQ(group[at + 1], nSize % 256);  // height
    EXPECT_EQ(word(at + 6), kBits[i / 4]);  // bits per pixel
    EXPECT_EQ(word(at + 12), i + 1);        // image id
    EXPECT_FALSE(Resource(RT_ICON, MAKEINTRESOURCEW(i + 1)).empty());
  }
}

TEST_F(ResourceTest, TheManifestAsksForCommonControlsSixAsInvokerAndDpiAwareness) {
  const std::vector<std::uint8_t> bytes = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
  ASSERT_FALSE(bytes.empty());
  const std::string text(bytes.begin(), bytes.end());
  for (const char* pszPart :
       {"type=\"win32\"", "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
        "processorArchitecture=\"amd64\"", "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\"",
        "level=\"asInvoker\"", "uiAccess=\"false\"", ">true</dpiAware>"}) {
    EXPECT_NE(text.find(pszPart), std::string::npos) << pszPart;
  }
  EXPECT_TRUE(Resource(RT_MANIFEST, MAKEINTRESOURCEW(2)).empty());
}

std::wstring VersionString(const std::vector<std::uint8_t>& info, const wchar_t* pszName) {
  const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + pszName;
  void* pValue = nullptr;
  UINT cch = 0;
  if (!VerQueryValueW(info.data(), query.c_str(), &pValue, &cch) || pValue == nullptr) {
    return L"<missing>";
  }
  return static_cast<const wchar_t*>(pValue);
}

TEST_F(ResourceTest, TheVersionResourceCarriesTheProductsNamesAndVersion) {
  const std::wstring path = ProgramPath();
  const DWORD cb = GetFileVersionInfoSizeW(path.c_str(), nullptr);
  ASSERT_GT(cb, 0u);
  std::vector<std::uint8_t> info(cb);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, cb, info.data()));
  void* pFixed = nullptr;
  UINT cbFixed = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &pFixed, &cbFixed));
  const auto* pVersion = static_cast<const VS_FIXEDFILEINFO*>(pFixed);
  EXPECT_EQ(pVersion->dwFileVersionMS, 0u);
  EXPECT_EQ(pVersion->dwFileVersionLS, 1u);
  EXPECT_EQ(pVersion->dwProductVersionMS, 0u);
  EXPECT_EQ(pVersion->dwProductVersionLS, 1u);
  EXPECT_EQ(VersionString(info, L"CompanyName"), L"Nimbrel");
  EXPECT_EQ(VersionString(info, L"ProductName"), L"Nimbrel");
  EXPECT_EQ(VersionString(info, L"InternalName"), L"Nimbrel.exe");
  EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"Nimbrel.exe");
  EXPECT_EQ(VersionString(info, L"FileVersion"), L"0.0.0.1");
  EXPECT_EQ(VersionString(info, L"ProductVersion"), L"0.0.0.1");
}

}  // namespace
