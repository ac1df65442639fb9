// The right-click menu driven for real under Wine: a helper thread finds the
// tracked popup menu, reads its items and picks one or dismisses it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/RegistryKey.h"
#include "support/BandFixture.h"
#include "support/PopupMenuDriver.h"

namespace {

constexpr wchar_t kRunValue[] = L"Nimbrel.exe";
constexpr int kLockedItem = 0;
constexpr int kAutostartItem = 2;
constexpr int kCloseItem = 4;

struct RunEntry {
  DWORD dwType = REG_NONE;
  std::vector<BYTE> data;
};

class ContextMenuTest : public CBandTest {
 protected:
  // The taskbar along the top, so that the menu opens below the click point.
  void SetUp() override {
    Dock(RECT{0, 0, 1920, 48}, 1700);
    m_rcTaskbar = RECT{0, 0, 1920, 48};
  }

  // Right-click at client (20, 10) of the band, i.e. screen (1620, 15); the
  // driver then chooses the item at nPosition, or dismisses the menu.
  CPopupMenuDriver& RightClick(int nPosition) {
    m_driver = std::make_unique<CPopupMenuDriver>(nPosition);
    Mouse(WM_RBUTTONUP, 20, 10);
    m_driver->Finish();
    return *m_driver;
  }

  // WM_CLOSE and WM_NULL posted to the band, in order; taken off the queue.
  std::vector<UINT> TakePostedCloseAndNull() {
    std::vector<UINT> messages;
    MSG msg{};
    while (PeekMessageW(&msg, Band(), WM_NULL, WM_CLOSE, PM_REMOVE)) {
      if (msg.message == WM_PAINT) {
        ValidateRect(Band(), nullptr);
      } else if (msg.message == WM_NULL || msg.message == WM_CLOSE) {
        messages.push_back(msg.message);
      }
    }
    return messages;
  }

  static std::optional<RunEntry> ReadRunEntry() {
    RunEntry entry;
    DWORD cbData = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, RRF_RT_ANY | RRF_NOEXPAND,
                     &entry.dwType, nullptr, &cbData) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    entry.data.resize(cbData);
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, RRF_RT_ANY | RRF_NOEXPAND,
                     &entry.dwType, entry.data.data(), &cbData) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    entry.data.resize(cbData);
    return entry;
  }

  static bool RunKeyExists() {
    CRegistryKey key;
    return key.Open(HKEY_CURRENT_USER, kRunKey, KEY_READ);
  }

  static std::wstring OwnPath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
  }

  static std::vector<BYTE> StringBytes(const std::wstring& text) {
    const auto* p = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(p, p + (text.size() + 1) * sizeof(wchar_t));
  }

  static bool IsChecked(const SeenMenuItem& item) { return (item.nState & MFS_CHECKED) != 0; }

  std::unique_ptr<CPopupMenuDriver> m_driver;
};

TEST_F(ContextMenuTest, OpensAtTheClickPointWithLockedAutostartAndCloseBetweenSeparators) {
  m_band->SpyOnDefault();
  const CPopupMenuDriver& menu = RightClick(CPopupMenuDriver::kDismiss);
  ASSERT_TRUE(menu.SawMenu());
  EXPECT_EQ(menu.MenuTopLeft().x, 1620);
  EXPECT_EQ(menu.MenuTopLeft().y, 15);
  const auto& items = menu.Items();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].nId, static_cast<UINT>(ID_MENU_LOCKED));
  EXPECT_EQ(items[0].text, L"Locked");
  EXPECT_FALSE(IsChecked(items[0]));
  EXPECT_TRUE(items[1].nType & MFT_SEPARATOR);
  EXPECT_EQ(items[2].nId, static_cast<UINT>(ID_MENU_AUTOSTART));
  EXPECT_EQ(items[2].text, L"Autostart");
  EXPECT_FALSE(IsChecked(items[2]));
  EXPECT_TRUE(items[3].nType & MFT_SEPARATOR);
  EXPECT_EQ(items[4].nId, static_cast<UINT>(ID_MENU_CLOSE));
  EXPECT_EQ(items[4].text, L"Close");
  EXPECT_FALSE(IsChecked(items[4]));
  EXPECT_EQ(m_band->DefaultCount(WM_RBUTTONUP), 1)
      << "the release still gets its default processing";
}

TEST_F(ContextMenuTest, ShowsLockedCheckedWhileLocked) {
  Peer().m_bLocked = TRUE;
  const CPopupMenuDriver& menu = RightClick(CPopupMenuDriver::kDismiss);
  ASSERT_EQ(menu.Items().size(), 5u);
  EXPECT_TRUE(IsChecked(menu.Items()[0]));
  EXPECT_FALSE(IsChecked(menu.Items()[4]));
}

TEST_F(ContextMenuTest, LockedTogglesTheLockAndSavesItWithThePosition) {
  RightClick(kLockedItem);
  EXPECT_TRUE(Peer().m_bLocked);
  EXPECT_EQ(ReadSetting(L"Locked"), 1u);
  ExpectSavedOnce(0, 1600);

  const CPopupMenuDriver& menu = RightClick(kLockedItem);
  ASSERT_EQ(menu.Items().size(), 5u);
  EXPECT_TRUE(IsChecked(menu.Items()[0])) << "the second menu shows the lock";
  EXPECT_FALSE(Peer().m_bLocked);
  EXPECT_EQ(ReadSetting(L"Locked"), 0u);
}

TEST_F(ContextMenuTest, ALockChosenFromTheMenuStopsTheNextDrag) {
  RightClick(kLockedItem);
  PressAndDragTo(-490);
  EXPECT_EQ(BandRect().left, 1600);
}

TEST_F(ContextMenuTest, AutostartStoresTheQuotedExecutablePath) {
  ASSERT_TRUE(m_hkcu.CreateKey(kRunKey));
  const CPopupMenuDriver& menu = RightClick(kAutostartItem);
  ASSERT_EQ(menu.Items().size(), 5u);
  EXPECT_FALSE(IsChecked(menu.Items()[2]));

  const std::wstring expected = L"\"" + OwnPath() + L"\"";
  const auto entry = ReadRunEntry();
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->dwType, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(entry->data, StringBytes(expected));
  EXPECT_EQ(entry->data.size(), (OwnPath().size() + 3) * sizeof(wchar_t))
      << "the path, two quotes and the terminator";
  EXPECT_EQ(DebugLines(L"Autostart:"), std::vector<std::wstring>{L"Autostart: ENABLED\n"});

  const CPopupMenuDriver& next = RightClick(CPopupMenuDriver::kDismiss);
  ASSERT_EQ(next.Items().size(), 5u);
  EXPECT_TRUE(IsChecked(next.Items()[2]));
}

TEST_F(ContextMenuTest, AutostartRemovesThePresentEntry) {
  ASSERT_TRUE(m_hkcu.CreateKey(kRunKey));
  RightClick(kAutostartItem);
  ASSERT_TRUE(ReadRunEntry().has_value());
  m_debug.Clear();

  const CPopupMenuDriver& menu = RightClick(kAutostartItem);
  ASSERT_EQ(menu.Items().size(), 5u);
  EXPECT_TRUE(IsChecked(menu.Items()[2]));
  EXPECT_FALSE(ReadRunEntry().has_value());
  EXPECT_TRUE(RunKeyExists());
  EXPECT_EQ(DebugLines(L"Autostart:"), std::vector<std::wstring>{L"Autostart: DISABLED\n"});
}

TEST_F(ContextMenuTest, AnEntryForAnotherPathCountsAsPresentAndIsDeleted) {
  ASSERT_TRUE(m_hkcu.SetString(kRunKey, kRunValue, L"C:\\Elsewhere\\Nimbrel.exe"));
  const CPopupMenuDriver& menu = RightClick(kAutostartItem);
  ASSERT_EQ(menu.Items().size(), 5u);
  EXPECT_TRUE(IsChecked(menu.Items()[2]));
  EXPECT_FALSE(ReadRunEntry().has_value());
  EXPECT_EQ(DebugLines(L"Autostart:"), std::vector<std::wstring>{L"Autostart: DISABLED\n"});
}

// A quoted path of 258 characters or more is longer than 520 bytes; the entry
// still counts as there, so that Autostart can switch it off again.
TEST_F(ContextMenuTest, AnEntryCountsAsPresentWhateverItsLength) {
  for (const std::size_t cchEntry : {259, 260, 400, 4000}) {
    ASSERT_TRUE(m_hkcu.SetString(kRunKey, kRunValue, std::wstring(cchEntry, L'x')));
    const CPopupMenuDriver& menu = RightClick(CPopupMenuDriver::kDismiss);
    ASSERT_EQ(menu.Items().size(), 5u);
    EXPECT_TRUE(IsChecked(menu.Items()[2])) << cchEntry;
  }
}

TEST_F(ContextMenuTest, AnOverlongEntryIsShownCheckedAndRemoved) {
  ASSERT_TRUE(m_hkcu.SetString(kRunKey, kRunValue, std::wstring(400, L'x')));
  const CPopupMenuDriver& menu = RightClick(kAutostartItem);
  ASSERT_EQ(menu.Items().size(), 5u);
  EXPECT_TRUE(IsChecked(menu.Items()[2]));
  EXPECT_FALSE(ReadRunEntry().has_value());
  EXPECT_EQ(DebugLines(L"Autostart:"), std::vector<std::wstring>{L"Autostart: DISABLED\n"});
}

TEST_F(ContextMenuTest, WithoutARunKeyAutostartIsUncheckedAndChangesNothing) {
  const CPopupMenuDriver& menu = RightClick(kAutostartItem);
  ASSERT_EQ(menu.Items().size(), 5u);
  EXPECT_FALSE(IsChecked(menu.Items()[2]));
  EXPECT_FALSE(RunKeyExists()) << "the Run key is not created";
  EXPECT_TRUE(DebugLines(L"Autostart:").empty());
}

TEST_F(ContextMenuTest, ClosePostsCloseAndThenNullToTheBand) {
  RightClick(kCloseItem);
  EXPECT_EQ(TakePostedCloseAndNull(), (std::vector<UINT>{WM_CLOSE, WM_NULL}));
  EXPECT_TRUE(IsWindow(Band())) << "nothing closes before the posted message is handled";
}

TEST_F(ContextMenuTest, TheClosePostedByTheMenuSavesAndEndsTheBand) {
  RightClick(kCloseItem);
  PumpMessagesUntil([&] { return !IsWindow(Band()); }, std::chrono::seconds(5));
  int nExitCode = -1;
  EXPECT_TRUE(TakeQuitMessage(nExitCode));
  EXPECT_EQ(nExitCode, 0);
  EXPECT_EQ(ReadSetting(L"PosX"), 1600u);
}

TEST_F(ContextMenuTest, EveryChoicePostsNullLast) {
  ASSERT_TRUE(m_hkcu.CreateKey(kRunKey));
  for (int nItem : {kLockedItem, kAutostartItem}) {
    RightClick(nItem);
    EXPECT_EQ(TakePostedCloseAndNull(), std::vector<UINT>{WM_NULL}) << nItem;
  }
}

TEST_F(ContextMenuTest, DismissingTheMenuChangesNothing) {
  ASSERT_TRUE(m_hkcu.SetString(kRunKey, kRunValue, L"C:\\Elsewhere\\Nimbrel.exe"));
  const CPopupMenuDriver& menu = RightClick(CPopupMenuDriver::kDismiss);
  ASSERT_TRUE(menu.SawMenu());
  EXPECT_FALSE(Peer().m_bLocked);
  EXPECT_FALSE(SettingsKeyExists());
  EXPECT_TRUE(ReadRunEntry().has_value());
  EXPECT_TRUE(DebugLines(L"Autostart:").empty());
  EXPECT_EQ(TakePostedCloseAndNull(), std::vector<UINT>{WM_NULL});
}

TEST_F(ContextMenuTest, TheMenuIsGoneAfterEveryPath) {
  ASSERT_TRUE(m_hkcu.CreateKey(kRunKey));
  for (int nItem : {CPopupMenuDriver::kDismiss, kLockedItem, kAutostartItem, kCloseItem}) {
    const CPopupMenuDriver& menu = RightClick(nItem);
    ASSERT_TRUE(menu.SawMenu());
    // Closed by the choice itself, not by the driver's cancel, and no menu
    // window is left on screen once the call has returned.
    EXPECT_TRUE(menu.EndedByItsKeys()) << nItem;
    EXPECT_EQ(FindVisibleMenuWindow(), nullptr) << nItem;
    ASSERT_NE(menu.Menu(), nullptr) << nItem;
    EXPECT_FALSE(IsMenu(menu.Menu())) << "destroyed, item " << nItem;
  }
  TakePostedCloseAndNull();
}

}  // namespace
