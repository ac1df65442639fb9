// Saving and restoring the band's place and lock, under Wine with
// HKEY_CURRENT_USER redirected to a scratch key.

#include <gtest/gtest.h>

#include <cstdint>

#include "support/BandFixture.h"

namespace {

using PersistenceTest = CBandTest;
using Lines = std::vector<std::wstring>;

void StoreSettings(CRegistryOverride& hkcu, std::optional<DWORD> manual,
                   std::optional<DWORD> locked, std::optional<std::int32_t> posX) {
  if (manual) {
    ASSERT_TRUE(hkcu.SetDword(kSettingsKey, L"ManuallyPositioned", *manual));
  }
  if (locked) {
    ASSERT_TRUE(hkcu.SetDword(kSettingsKey, L"Locked", *locked));
  }
  if (posX) {
    ASSERT_TRUE(hkcu.SetDword(kSettingsKey, L"PosX", static_cast<DWORD>(*posX)));
  }
}

TEST_F(PersistenceTest, WithoutTheKeyOnlyTheStartIsReported) {
  Dock();
  EXPECT_EQ(DebugLines(L"LoadPosition:"), Lines{L"LoadPosition: Start\n"});
  EXPECT_FALSE(Peer().m_bLocked);
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect(), (RECT{1600, 5, 1695, 43}));
  EXPECT_FALSE(SettingsKeyExists()) << "loading creates nothing";
}

TEST_F(PersistenceTest, LockedAloneComesUpLockedAtTheDefaultPlace) {
  StoreSettings(m_hkcu, std::nullopt, 1, std::nullopt);
  Dock();
  EXPECT_EQ(DebugLines(L"LoadPosition:"), Lines{L"LoadPosition: Start\n"});
  EXPECT_TRUE(Peer().m_bLocked);
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, 1600);
}

struct LockedCase {
  DWORD dwStored;
  BOOL bExpected;
};

TEST_F(PersistenceTest, AnyNonzeroLockedCountsAsLocked) {
  constexpr LockedCase kCases[] = {{0, FALSE}, {1, TRUE}, {7, TRUE}, {0xFFFFFFFF, TRUE}};
  Dock();
  for (const auto& c : kCases) {
    StoreSettings(m_hkcu, std::nullopt, c.dwStored, std::nullopt);
    Peer().m_bLocked = c.bExpected ? FALSE : TRUE;
    m_band->LoadPosition();
    EXPECT_EQ(Peer().m_bLocked, c.bExpected) << c.dwStored;
  }
}

TEST_F(PersistenceTest, ASavedPlaceMovesTheBandThereCentredVertically) {
  StoreSettings(m_hkcu, 1, 0, 500);
  Dock();
  EXPECT_EQ(DebugLines(L"LoadPosition:"),
            (Lines{L"LoadPosition: Start\n", L"LoadPosition: Registry ManuallyPositioned=1\n",
                   L"LoadPosition: relativeX=500, yPos=5\n"}));
  EXPECT_TRUE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect(), (RECT{500, 5, 595, 43}));
}

TEST_F(PersistenceTest, ManuallyPositionedIsReportedAsStoredAndCountsAsSet) {
  StoreSettings(m_hkcu, 2, std::nullopt, 700);
  Dock();
  EXPECT_EQ(DebugLines(L"LoadPosition:"),
            (Lines{L"LoadPosition: Start\n", L"LoadPosition: Registry ManuallyPositioned=2\n",
                   L"LoadPosition: relativeX=700, yPos=5\n"}));
  EXPECT_TRUE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(Peer().m_bManuallyPositioned, TRUE);
  EXPECT_EQ(BandRect().left, 700);
}

TEST_F(PersistenceTest, ManuallyPositionedZeroReadsNoPosition) {
  StoreSettings(m_hkcu, 0, std::nullopt, 700);
  Dock();
  EXPECT_EQ(DebugLines(L"LoadPosition:"),
            (Lines{L"LoadPosition: Start\n", L"LoadPosition: Registry ManuallyPositioned=0\n"}));
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, 1600);
}

TEST_F(PersistenceTest, AMissingPositionIsReportedAndLeavesTheDefaultPlace) {
  StoreSettings(m_hkcu, 1, std::nullopt, std::nullopt);
  Dock();
  EXPECT_EQ(DebugLines(L"LoadPosition:"),
            (Lines{L"LoadPosition: Start\n", L"LoadPosition: Registry ManuallyPositioned=1\n",
                   L"LoadPosition: PosX nicht in Registry\n"}));
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, 1600);
}

struct PosXCase {
  std::int32_t nPosX;
  bool bValid;
};

// The band is 95 wide and the taskbar 1920.
TEST_F(PersistenceTest, APositionIsTakenOnlyWhenThirtyPixelsOfTheBandStayOnTheTaskbar) {
  constexpr PosXCase kCases[] = {{-65, true},   {-66, false}, {1919, true},
                                 {1920, false}, {0, true},    {INT32_MIN, false}};
  Dock();
  for (const auto& c : kCases) {
    m_band->UpdateLayout();
    Peer().m_bManuallyPositioned = FALSE;
    m_debug.Clear();
    StoreSettings(m_hkcu, 1, std::nullopt, c.nPosX);
    m_band->LoadPosition();
    EXPECT_EQ(Peer().m_bManuallyPositioned, c.bValid ? TRUE : FALSE) << c.nPosX;
    EXPECT_EQ(BandRect().left, c.bValid ? c.nPosX : 1600) << c.nPosX;
    const Lines lines = DebugLines(L"LoadPosition:");
    ASSERT_EQ(lines.size(), 3u) << c.nPosX;
    if (c.bValid) {
      EXPECT_EQ(lines[2], L"LoadPosition: relativeX=" + std::to_wstring(c.nPosX) + L", yPos=5\n");
    } else {
      EXPECT_EQ(lines[2], L"LoadPosition: Position ung\u00FCltig, verwende Standard\n");
    }
  }
}

TEST_F(PersistenceTest, AnInvalidPositionStaysInTheRegistryUntilTheNextSave) {
  StoreSettings(m_hkcu, 1, 1, -66);
  Dock();
  EXPECT_EQ(ReadSetting(L"ManuallyPositioned"), 1u);
  EXPECT_EQ(ReadSetting(L"PosX"), static_cast<DWORD>(-66));
  m_band->SavePosition();
  EXPECT_EQ(ReadSetting(L"Locked"), 1u);
  ExpectSavedOnce(0, 1600);
}

TEST_F(PersistenceTest, ANegativePositionIsSavedAsTwosComplementAndReadBack) {
  Dock();
  Peer().m_bManuallyPositioned = TRUE;
  MoveWindow(Band(), -65, 5, 95, 38, TRUE);
  m_band->SavePosition();
  EXPECT_EQ(ReadSetting(L"PosX"), 0xFFFFFFBFu);
  ExpectSavedOnce(1, -65);

  m_debug.Clear();
  Redock();
  EXPECT_TRUE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, -65);
  EXPECT_EQ(DebugLines(L"LoadPosition:").back(), L"LoadPosition: relativeX=-65, yPos=5\n");
}

TEST_F(PersistenceTest, SavingWritesAllThreeValuesAsZeroOrOne) {
  Dock();
  Peer().m_bManuallyPositioned = 5;
  Peer().m_bLocked = -1;
  m_band->SavePosition();
  EXPECT_EQ(ReadSetting(L"Locked"), 1u);
  ExpectSavedOnce(1, 1600);
}

TEST_F(PersistenceTest, ThePositionIsRelativeToTheTaskbarsLeftEdge) {
  Dock(RECT{300, 1032, 1820, 1080}, 1500);
  m_band->SavePosition();
  EXPECT_EQ(ReadSetting(L"PosX"), 1100u);
}

TEST_F(PersistenceTest, ABandWithoutWindowSavesAndLoadsNothing) {
  CTaskbarWindow band;
  band.SavePosition();
  band.LoadPosition();
  EXPECT_FALSE(SettingsKeyExists());
  EXPECT_TRUE(DebugLines(L"LoadPosition:").empty());
  EXPECT_TRUE(DebugLines(L"SavePosition:").empty());
}

TEST_F(PersistenceTest, ClosingSavesThePlaceAndTheNextStartRestoresIt) {
  Dock();
  Peer().m_bManuallyPositioned = TRUE;
  Peer().m_bLocked = TRUE;
  MoveWindow(Band(), 321, 5, 95, 38, TRUE);
  SendMessageW(Band(), WM_CLOSE, 0, 0);
  int nExitCode = -1;
  EXPECT_TRUE(TakeQuitMessage(nExitCode));
  EXPECT_FALSE(IsWindow(Band()));
  ExpectSavedOnce(1, 321);

  m_debug.Clear();
  Redock();
  EXPECT_TRUE(Peer().m_bManuallyPositioned);
  EXPECT_TRUE(Peer().m_bLocked);
  EXPECT_EQ(BandRect(), (RECT{321, 5, 416, 43}));
}

// What a rebuild for a new taskbar cannot read back is as after a fresh start.
TEST_F(PersistenceTest, ARebuiltBandStartsAfreshWhenTheStoredValuesAreGone) {
  StoreSettings(m_hkcu, 1, 1, 500);
  Dock();
  ASSERT_TRUE(Peer().m_bManuallyPositioned);
  ASSERT_TRUE(Peer().m_bLocked);
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey), ERROR_SUCCESS);

  AnnounceNewTaskbar();
  ASSERT_TRUE(IsWindow(Band()));
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
  EXPECT_FALSE(Peer().m_bLocked);
  EXPECT_EQ(BandRect().left, 1600);
  MoveNotifyArea(1500);
  Tick();
  EXPECT_EQ(BandRect().left, 1400) << "the band follows the notification area again";
}

// Values the query cannot take whole count as missing.
TEST_F(PersistenceTest, AValueLongerThanFourBytesCountsAsMissing) {
  const std::uint64_t qwLong = 1;
  ASSERT_TRUE(m_hkcu.SetBytes(kSettingsKey, L"Locked", REG_QWORD, &qwLong, sizeof(qwLong)));
  ASSERT_TRUE(
      m_hkcu.SetBytes(kSettingsKey, L"ManuallyPositioned", REG_QWORD, &qwLong, sizeof(qwLong)));
  Peer().m_bLocked = TRUE;
  MakeTaskbar();
  ASSERT_TRUE(CreateBand());
  EXPECT_TRUE(Peer().m_bLocked) << "an unreadable Locked keeps the value the band had";
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(DebugLines(L"LoadPosition:"), Lines{L"LoadPosition: Start\n"});
}

TEST_F(PersistenceTest, APositionLongerThanFourBytesIsReportedAsMissing) {
  const std::uint64_t qwPosX = 500;
  StoreSettings(m_hkcu, 1, std::nullopt, std::nullopt);
  ASSERT_TRUE(m_hkcu.SetBytes(kSettingsKey, L"PosX", REG_QWORD, &qwPosX, sizeof(qwPosX)));
  Dock();
  EXPECT_EQ(DebugLines(L"LoadPosition:").back(), L"LoadPosition: PosX nicht in Registry\n");
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, 1600);
}

TEST_F(PersistenceTest, TheValueTypeIsNotExamined) {
  const DWORD dwPosX = 800;
  StoreSettings(m_hkcu, 1, std::nullopt, std::nullopt);
  ASSERT_TRUE(m_hkcu.SetBytes(kSettingsKey, L"PosX", REG_BINARY, &dwPosX, sizeof(dwPosX)));
  Dock();
  EXPECT_EQ(BandRect().left, 800);
}

}  // namespace
