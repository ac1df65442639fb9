#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "framework/Dialog.h"
#include "framework/Menu.h"
#include "res/resource.h"

namespace {

TEST(MenuTest, APopupMenuHoldsItsItemsInOrder) {
  CMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  EXPECT_TRUE(menu.AppendMenu(MF_STRING, 1, L"First"));
  EXPECT_TRUE(menu.AppendMenu(MF_SEPARATOR));
  EXPECT_TRUE(menu.AppendMenu(MF_STRING | MF_CHECKED, 2, L"Second"));
  EXPECT_EQ(GetMenuItemCount(menu.GetSafeHmenu()), 3);
  EXPECT_EQ(GetMenuItemID(menu.GetSafeHmenu(), 2), 2u);
  EXPECT_EQ(GetMenuState(menu.GetSafeHmenu(), 2, MF_BYPOSITION) & MF_CHECKED,
            static_cast<UINT>(MF_CHECKED));
}

TEST(MenuTest, TheMenuIsDestroyedWithItsObject) {
  HMENU hMenu = nullptr;
  {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    hMenu = menu.GetSafeHmenu();
    EXPECT_TRUE(IsMenu(hMenu));
  }
  EXPECT_FALSE(IsMenu(hMenu));
}

TEST(MenuTest, ADetachedMenuOutlivesItsObject) {
  HMENU hMenu = nullptr;
  {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    hMenu = menu.Detach();
    EXPECT_EQ(menu.GetSafeHmenu(), nullptr);
  }
  EXPECT_TRUE(IsMenu(hMenu));
  const CUniqueMenu owner(hMenu);
}

TEST(MenuTest, AttachingAnotherMenuDestroysTheFirst) {
  CMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  HMENU hFirst = menu.GetSafeHmenu();
  EXPECT_TRUE(menu.Attach(CreatePopupMenu()));
  EXPECT_FALSE(IsMenu(hFirst));
  EXPECT_TRUE(IsMenu(menu.GetSafeHmenu()));
}

VOID CALLBACK DismissMenu(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }

TEST(MenuTest, TrackingReturnsZeroWhenTheMenuIsDismissed) {
  CRecordingApp app;
  CDialogEx owner(IDD_BAND);
  ASSERT_TRUE(owner.Create(IDD_BAND, GetDesktopWindow()));
  CMenu menu;
  ASSERT_TRUE(menu.CreatePopupMenu());
  menu.AppendMenu(MF_STRING, 7, L"Item");
  SetForegroundWindow(owner.m_hWnd);
  const UINT_PTR nTimer = SetTimer(nullptr, 0, 50, &DismissMenu);
  const BOOL nResult = menu.TrackPopupMenu(TPM_RIGHTBUTTON | TPM_RETURNCMD, 100, 100, &owner);
  KillTimer(nullptr, nTimer);
  EXPECT_EQ(nResult, 0);
  owner.DestroyWindow();
}

TEST(MenuTest, DestroyingOrAttachingNothingKeepsWhatIsHeld) {
  CMenu menu;
  EXPECT_FALSE(menu.DestroyMenu()) << "nothing to destroy";
  ASSERT_TRUE(menu.CreatePopupMenu());
  HMENU hMenu = menu.GetSafeHmenu();
  EXPECT_FALSE(menu.Attach(nullptr));
  EXPECT_EQ(menu.GetSafeHmenu(), hMenu);
  EXPECT_TRUE(IsMenu(hMenu));
  EXPECT_TRUE(menu.DestroyMenu());
  EXPECT_FALSE(IsMenu(hMenu));
  EXPECT_EQ(menu.GetSafeHmenu(), nullptr);
  EXPECT_FALSE(menu.DestroyMenu());
}

}  // namespace
