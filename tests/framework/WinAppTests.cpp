#include <gtest/gtest.h>

#include "TestSupport.h"
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

}  // namespace
