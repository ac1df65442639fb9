#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "support/TestSupport.h"
#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "res/resource.h"

namespace {

class CScriptedApp : public CRecordingApp {
 public:
  BOOL InitInstance() noexcept override {
    ++m_nInits;
    if (m_bCreateMainWindow && m_dialog.Create(IDD_BAND, GetDesktopWindow())) {
      m_pMainWnd = &m_dialog;
    }
    if (m_nQuitDuringInit >= 0) {
      PostQuitMessage(m_nQuitDuringInit);
    }
    return m_bInitResult;
  }
  int ExitInstance() noexcept override {
    ++m_nExits;
    return CRecordingApp::ExitInstance();
  }

  int m_nInits = 0;
  int m_nExits = 0;
  BOOL m_bInitResult = TRUE;
  bool m_bCreateMainWindow = false;
  int m_nQuitDuringInit = -1;
  CDialogEx m_dialog{IDD_BAND};
};

TEST(WinAppTest, TheApplicationNameIsTheExecutablesBaseName) {
  CRecordingApp app;
  EXPECT_STREQ(app.m_pszAppName, L"framework_tests");
}

struct BaseNameCase {
  const wchar_t* m_pszPath;
  size_t m_cchDest;
  const wchar_t* m_pszExpected;
};

constexpr BaseNameCase kBaseNameCases[] = {
    {L"C:\\Program Files\\Nimbrel\\Nimbrel.exe", MAX_PATH, L"Nimbrel"},
    {L"Z:/work/build/app_tests.exe", MAX_PATH, L"app_tests"},
    {L"C:Nimbrel.exe", MAX_PATH, L"Nimbrel"},
    {L"Nimbrel", MAX_PATH, L"Nimbrel"},
    {L"C:\\Tools.v2\\Nimbrel", MAX_PATH, L"Nimbrel"},  // a folder's dot is no extension
    {L"C:\\Tools\\Nimbrel.v2.exe", MAX_PATH, L"Nimbrel.v2"},
    {L"C:\\Tools\\.exe", MAX_PATH, L".exe"},  // a name that is all extension stays
    {L"C:\\Tools\\", MAX_PATH, L""},
    {L"C:\\Nimbrel.exe", 4, L"Nim"},
    {L"C:\\Nimbrel.exe", 9, L"Nimbrel"},  // cut to "Nimbrel.", then the dot goes
};

TEST(WinAppTest, TheNameIsThePathsLastPartWithoutItsExtension) {
  for (const BaseNameCase& c : kBaseNameCases) {
    wchar_t szName[MAX_PATH];
    std::fill(std::begin(szName), std::end(szName), L'#');
    CopyAppBaseName(szName, c.m_cchDest, c.m_pszPath);
    EXPECT_STREQ(szName, c.m_pszExpected) << c.m_pszPath << " into " << c.m_cchDest;
  }
}

TEST(WinAppTest, AGivenNameIsKept) {
  struct CNamedApp : CWinApp {
    CNamedApp() : CWinApp(L"Other") {}
  } app;
  EXPECT_STREQ(app.m_pszAppName, L"Other");
}

TEST(WinAppTest, TheLatestApplicationObjectIsTheCurrentOneUntilItGoes) {
  {
    CRecordingApp app;
    EXPECT_EQ(AfxGetApp(), &app);
  }
  EXPECT_EQ(AfxGetApp(), nullptr);
}

TEST(WinAppTest, AfxMessageBoxGoesThroughDoMessageBoxWithTheAppNameAsCaption) {
  CRecordingApp app;
  EXPECT_EQ(AfxMessageBox(L"Something happened", MB_OK | MB_ICONINFORMATION, 0), IDOK);
  ASSERT_EQ(app.m_boxes.size(), 1u);
  EXPECT_EQ(app.m_boxes[0].m_text, L"Something happened");
  EXPECT_EQ(app.m_boxes[0].m_nType, 0x40u);
  EXPECT_EQ(app.m_boxes[0].m_caption, L"framework_tests");
}

TEST(WinAppTest, TheLoopEndsWithTheQuitCodeAsExitCode) {
  CScriptedApp app;
  PostQuitMessage(7);
  EXPECT_EQ(app.Run(), 7);
  EXPECT_EQ(app.m_nExits, 1);
}

TEST(WinAppTest, WinMainRunsInitThenLoopThenExit) {
  CScriptedApp app;
  app.m_nQuitDuringInit = 3;
  EXPECT_EQ(AfxWinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW), 3);
  EXPECT_EQ(app.m_nInits, 1);
  EXPECT_EQ(app.m_nExits, 1);
}

TEST(WinAppTest, ARefusedStartSkipsTheLoopAndEndsWithOne) {
  CScriptedApp app;
  app.m_bInitResult = FALSE;
  app.m_nQuitDuringInit = 0;
  EXPECT_EQ(AfxWinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW), 1);
  EXPECT_EQ(app.m_nExits, 1);
  int nCode = -1;
  EXPECT_TRUE(TakeQuitMessage(nCode)) << "the loop must not have run";
}

TEST(WinAppTest, ARefusedStartDestroysAMainWindowItLeftBehind) {
  CScriptedApp app;
  app.m_bInitResult = FALSE;
  app.m_bCreateMainWindow = true;
  AfxWinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW);
  EXPECT_EQ(app.m_dialog.m_hWnd, nullptr);
}

TEST(WinAppTest, AnOlderApplicationObjectGoingLeavesTheNewerOneCurrent) {
  auto pOlder = std::make_unique<CRecordingApp>();
  CRecordingApp newer;
  pOlder.reset();
  EXPECT_EQ(AfxGetApp(), &newer);
}

TEST(WinAppTest, WithoutAnApplicationObjectWinMainEndsAtOnceWithMinusOne) {
  ASSERT_EQ(AfxGetApp(), nullptr);
  EXPECT_EQ(AfxWinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW), -1);
}

}  // namespace
