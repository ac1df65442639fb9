// Binding a CWnd to a window it did not create: what is refused, and what is
// left behind when the object goes first.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/Wnd.h"

namespace {

class CBindableWnd : public CWnd {
 public:
  using CWnd::BindWindow;
  using CWnd::CreateBoundWindow;
};

CUniqueWindow MakeStatic() {
  return CUniqueWindow(CreateWindowExW(0, L"STATIC", L"before", WS_POPUP, 0, 0, 10, 10, nullptr,
                                       nullptr, nullptr, nullptr));
}

std::wstring TextOf(HWND hWnd) {
  wchar_t szText[32] = {};
  GetWindowTextW(hWnd, szText, 32);
  return szText;
}

TEST(WndTest, BindingRefusesNoWindowASecondWindowAndAWindowBoundElsewhere) {
  const CUniqueWindow first = MakeStatic();
  const CUniqueWindow second = MakeStatic();
  ASSERT_TRUE(first && second);
  CBindableWnd wnd;
  CBindableWnd other;
  EXPECT_FALSE(wnd.BindWindow(nullptr));
  EXPECT_EQ(wnd.m_hWnd, nullptr);
  ASSERT_TRUE(wnd.BindWindow(first.Get()));
  EXPECT_FALSE(wnd.BindWindow(second.Get())) << "already bound to a window";
  EXPECT_EQ(wnd.m_hWnd, first.Get());
  EXPECT_EQ(CWnd::FromHandlePermanent(second.Get()), nullptr);
  EXPECT_FALSE(other.BindWindow(first.Get())) << "the window has its object";
  EXPECT_EQ(other.m_hWnd, nullptr);
  EXPECT_EQ(CWnd::FromHandlePermanent(first.Get()), &wnd);
  EXPECT_EQ(CWnd::FromHandlePermanent(nullptr), nullptr);
}

TEST(WndTest, AnObjectThatGoesBeforeItsWindowGivesItBackItsOwnProcedure) {
  const CUniqueWindow window = MakeStatic();
  ASSERT_TRUE(window);
  const LONG_PTR pfnOwn = GetWindowLongPtrW(window.Get(), GWLP_WNDPROC);
  {
    auto pWnd = std::make_unique<CBindableWnd>();
    ASSERT_TRUE(pWnd->BindWindow(window.Get()));
    EXPECT_NE(GetWindowLongPtrW(window.Get(), GWLP_WNDPROC), pfnOwn);
  }
  EXPECT_EQ(GetWindowLongPtrW(window.Get(), GWLP_WNDPROC), pfnOwn);
  EXPECT_EQ(CWnd::FromHandlePermanent(window.Get()), nullptr);
  SetWindowTextW(window.Get(), L"after");
  EXPECT_EQ(TextOf(window.Get()), L"after") << "the window still works on its own";
  CBindableWnd next;
  EXPECT_TRUE(next.BindWindow(window.Get())) << "free to be bound again";
}

TEST(WndTest, AnUnboundObjectHasNoWindowToDestroy) {
  CBindableWnd wnd;
  EXPECT_FALSE(wnd.DestroyWindow());
}

LRESULT CALLBACK RefuseCreation(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    return FALSE;
  }
  return DefWindowProcW(hWnd, message, wParam, lParam);
}

TEST(WndTest, ABoundWindowThatCannotBeMadeLeavesTheObjectUnbound) {
  // A class of that name exists already, and its windows refuse to be made.
  constexpr wchar_t kClass[] = L"NimbrelTestRefusingWindow";
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &RefuseCreation;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  ASSERT_NE(RegisterClassExW(&wc), 0);
  CBindableWnd wnd;
  const CUniqueWindow window = wnd.CreateBoundWindow(kClass, 0, WS_POPUP);
  EXPECT_FALSE(window);
  EXPECT_EQ(wnd.m_hWnd, nullptr);
  UnregisterClassW(kClass, GetModuleHandleW(nullptr));
}

}  // namespace
