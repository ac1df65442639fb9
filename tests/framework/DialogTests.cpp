#include <gtest/gtest.h>

#include <vector>

#include "support/TestSupport.h"
#include "framework/Dialog.h"
#include "res/resource.h"

namespace {

UINT g_uProbeMsg = RegisterWindowMessageW(L"NimbrelFrameworkProbe");
UINT g_uNeverRegistered = 0;
constexpr UINT kAppProbe = WM_APP + 1;
constexpr UINT kAppOnlyInBase = WM_APP + 2;

class CProbeDialog : public CDialogEx {
 public:
  CProbeDialog() noexcept : CDialogEx(IDD_BAND) {}
  ~CProbeDialog() override {
    if (m_hWnd != nullptr) {
      ::DestroyWindow(m_hWnd);
    }
  }

  BOOL OnInitDialog() noexcept override {
    CDialogEx::OnInitDialog();
    ++m_nInits;
    m_hWndAtInit = m_hWnd;
    m_bBoundAtInit = FromHandlePermanent(m_hWnd) == this;
    if (m_bDestroyDuringInit) {
      DestroyWindow();
    }
    return TRUE;
  }

  int m_nInits = 0;
  HWND m_hWndAtInit = nullptr;
  bool m_bBoundAtInit = false;
  bool m_bDestroyDuringInit = false;
  int m_nPostNcDestroys = 0;
  bool m_bUnboundAtPostNcDestroy = false;
  std::vector<UINT_PTR> m_timerIds;
  POINT m_ptLastHitTest{};
  int m_nUnregisteredCalls = 0;

 protected:
  void PostNcDestroy() noexcept override {
    ++m_nPostNcDestroys;
    m_bUnboundAtPostNcDestroy = m_hWnd == nullptr;
  }
  void OnTimer(UINT_PTR nIDEvent) noexcept {
    m_timerIds.push_back(nIDEvent);
    CDialogEx::OnTimer(nIDEvent);
  }
  LRESULT OnNcHitTest(POINT point) noexcept {
    m_ptLastHitTest = point;
    return CDialogEx::OnNcHitTest(point);
  }
  LRESULT OnProbe(WPARAM wParam, LPARAM lParam) noexcept {
    return static_cast<LRESULT>(wParam) * 100 + lParam;
  }
  LRESULT OnAppProbe(WPARAM wParam, LPARAM) noexcept { return 1000 + static_cast<LRESULT>(wParam); }
  LRESULT OnAppOnlyInBase(WPARAM, LPARAM) noexcept { return 42; }
  LRESULT OnUnregistered(WPARAM, LPARAM) noexcept {
    ++m_nUnregisteredCalls;
    return 0;
  }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CProbeDialog, CDialogEx)
ON_WM_TIMER()
ON_WM_NCHITTEST()
ON_REGISTERED_MESSAGE(g_uProbeMsg, OnProbe)
ON_REGISTERED_MESSAGE(g_uNeverRegistered, OnUnregistered)
ON_MESSAGE(kAppProbe, OnAppProbe)
ON_MESSAGE(kAppOnlyInBase, OnAppOnlyInBase)
END_MESSAGE_MAP()

class CDerivedProbe : public CProbeDialog {
 protected:
  LRESULT OnDerivedAppProbe(WPARAM wParam, LPARAM) noexcept {
    return 2000 + static_cast<LRESULT>(wParam);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedProbe, CProbeDialog)
ON_MESSAGE(kAppProbe, OnDerivedAppProbe)
END_MESSAGE_MAP()

class DialogTest : public ::testing::Test {
 protected:
  CRecordingApp m_app;
};

TEST_F(DialogTest, OnInitDialogRunsInsideCreateWithTheObjectAlreadyBound) {
  CProbeDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  EXPECT_EQ(dlg.m_nInits, 1);
  EXPECT_NE(dlg.m_hWnd, nullptr);
  EXPECT_EQ(dlg.m_hWndAtInit, dlg.m_hWnd);
  EXPECT_TRUE(dlg.m_bBoundAtInit);
  EXPECT_EQ(CWnd::FromHandlePermanent(dlg.m_hWnd), &dlg);
}

TEST_F(DialogTest, CreateFailsWithoutTemplateAndLeavesTheObjectUnbound) {
  CProbeDialog dlg;
  EXPECT_FALSE(dlg.Create(4242, GetDesktopWindow()));
  EXPECT_EQ(dlg.m_hWnd, nullptr);
  EXPECT_EQ(dlg.m_nInits, 0);
}

TEST_F(DialogTest, CreateFailsWhenInitDialogDestroysTheWindow) {
  CProbeDialog dlg;
  dlg.m_bDestroyDuringInit = true;
  EXPECT_FALSE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  EXPECT_EQ(dlg.m_hWnd, nullptr);
  EXPECT_EQ(dlg.m_nPostNcDestroys, 1);
}

TEST_F(DialogTest, DestroyingTheWindowUnbindsTheObjectBeforePostNcDestroy) {
  CProbeDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  HWND hWnd = dlg.m_hWnd;
  EXPECT_TRUE(dlg.DestroyWindow());
  EXPECT_FALSE(IsWindow(hWnd));
  EXPECT_EQ(dlg.m_hWnd, nullptr);
  EXPECT_EQ(dlg.m_nPostNcDestroys, 1);
  EXPECT_TRUE(dlg.m_bUnboundAtPostNcDestroy);
  EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

TEST_F(DialogTest, TheSameObjectCanCreateASecondWindowAfterTheFirstIsGone) {
  CProbeDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  HWND hFirst = dlg.m_hWnd;
  dlg.DestroyWindow();
  ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  EXPECT_NE(dlg.m_hWnd, hFirst);
  EXPECT_EQ(dlg.m_nInits, 2);
}

struct RouteCase {
  const char* m_name;
  bool m_bDerived;
  UINT m_nMessage;  // 0: the registered probe message
  WPARAM m_wParam;
  LPARAM m_lParam;
  LRESULT m_nExpected;
};

constexpr RouteCase kRouteCases[] = {
    {"registered id known only at run time", false, 0, 3, 4, 304},
    {"fixed id", false, kAppProbe, 5, 0, 1005},
    {"derived entry replaces the base entry", true, kAppProbe, 5, 0, 2005},
    {"derived class inherits the base's other entries", true, kAppOnlyInBase, 0, 0, 42},
    {"registered id in a derived object", true, 0, 1, 2, 102},
};

TEST_F(DialogTest, MessageMapsRouteEachMessageToItsHandler) {
  for (const RouteCase& c : kRouteCases) {
    SCOPED_TRACE(c.m_name);
    CProbeDialog base;
    CDerivedProbe derived;
    CProbeDialog& dlg = c.m_bDerived ? derived : base;
    ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
    const UINT nMessage = c.m_nMessage != 0 ? c.m_nMessage : g_uProbeMsg;
    EXPECT_EQ(SendMessageW(dlg.m_hWnd, nMessage, c.m_wParam, c.m_lParam), c.m_nExpected);
  }
}

TEST_F(DialogTest, ARegisteredEntryWhoseIdIsZeroMatchesNothing) {
  CProbeDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  SendMessageW(dlg.m_hWnd, WM_NULL, 0, 0);
  EXPECT_EQ(dlg.m_nUnregisteredCalls, 0);
}

TEST_F(DialogTest, MessagesWithoutEntryGetTheWindowsOwnProcessing) {
  CProbeDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  dlg.SetWindowText(L"Probe title");
  wchar_t szText[32] = {};
  EXPECT_EQ(SendMessageW(dlg.m_hWnd, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(szText)), 11);
  EXPECT_STREQ(szText, L"Probe title");
}

TEST_F(DialogTest, DefaultFromAHandlerRunsTheWindowsOwnProcessing) {
  CProbeDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  RECT rc{};
  GetWindowRect(dlg.m_hWnd, &rc);
  const POINT inside{rc.left + 2, rc.top + 2};
  EXPECT_EQ(SendMessageW(dlg.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(inside.x, inside.y)), HTCLIENT);
  EXPECT_EQ(SendMessageW(dlg.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(rc.right + 50, rc.bottom + 50)),
            HTNOWHERE);
}

TEST_F(DialogTest, PointsArriveWithTheirSign) {
  CProbeDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  SendMessageW(dlg.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(-5, -7));
  EXPECT_EQ(dlg.m_ptLastHitTest.x, -5);
  EXPECT_EQ(dlg.m_ptLastHitTest.y, -7);
}

TEST_F(DialogTest, TimerMessagesReachTheHandlerWithTheirId) {
  CProbeDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  SetTimer(dlg.m_hWnd, 9, 10, nullptr);
  EXPECT_TRUE(
      PumpMessagesUntil([&] { return !dlg.m_timerIds.empty(); }, std::chrono::milliseconds(2000)));
  KillTimer(dlg.m_hWnd, 9);
  ASSERT_FALSE(dlg.m_timerIds.empty());
  EXPECT_EQ(dlg.m_timerIds.front(), 9u);
}

TEST_F(DialogTest, ModifyStyleExAddsWithoutRemovingAndReportsNoChange) {
  CProbeDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  const auto before = static_cast<DWORD>(GetWindowLongPtrW(dlg.m_hWnd, GWL_EXSTYLE));
  EXPECT_TRUE(dlg.ModifyStyleEx(0, WS_EX_TOOLWINDOW));
  const auto after = static_cast<DWORD>(GetWindowLongPtrW(dlg.m_hWnd, GWL_EXSTYLE));
  EXPECT_EQ(after, before | WS_EX_TOOLWINDOW);
  EXPECT_FALSE(dlg.ModifyStyleEx(0, WS_EX_TOOLWINDOW));
}

TEST_F(DialogTest, RunTimeClassesKnowTheirBases) {
  CProbeDialog dlg;
  EXPECT_TRUE(dlg.IsKindOf(RUNTIME_CLASS(CDialogEx)));
  EXPECT_TRUE(dlg.IsKindOf(RUNTIME_CLASS(CDialog)));
  EXPECT_TRUE(dlg.IsKindOf(RUNTIME_CLASS(CWnd)));
  EXPECT_STREQ(dlg.GetRuntimeClass()->m_lpszClassName, "CDialogEx");
  EXPECT_FALSE(RUNTIME_CLASS(CDialog)->IsDerivedFrom(RUNTIME_CLASS(CDialogEx)));
}

TEST_F(DialogTest, ASecondCreateWhileTheWindowLivesIsRefusedAndKeepsTheFirst) {
  CProbeDialog dlg;
  ASSERT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  HWND hFirst = dlg.m_hWnd;
  EXPECT_FALSE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  EXPECT_EQ(dlg.m_hWnd, hFirst);
  EXPECT_TRUE(IsWindow(hFirst));
  EXPECT_EQ(dlg.m_nInits, 1);
}

// Templates come from the resource module, which is this program unless set.
TEST_F(DialogTest, TheTemplateIsTakenFromTheResourceModule) {
  CProbeDialog dlg;
  AfxSetResourceHandle(GetModuleHandleW(L"kernel32.dll"));
  EXPECT_FALSE(dlg.Create(IDD_BAND, GetDesktopWindow())) << "no such template there";
  AfxSetResourceHandle(GetModuleHandleW(nullptr));
  EXPECT_TRUE(dlg.Create(IDD_BAND, GetDesktopWindow()));
  AfxSetResourceHandle(nullptr);
}

}  // namespace
