#pragma once
// The one band fixture: a CTestBand docked in a test taskbar, with
// HKEY_CURRENT_USER redirected to a scratch key, message boxes recorded, debug
// output captured and the composition surface on doubles (Wine has no
// DirectComposition). Whatever a test leaves, the window goes and no WM_QUIT
// stays queued for the next one.

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/BandTestPeer.h"
#include "support/RendererDoubles.h"
#include "support/TestBand.h"
#include "support/TestRecords.h"
#include "support/TestSupport.h"

inline constexpr wchar_t kSettingsKey[] = L"Software\\Nimbrel";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class CBandTest : public ::testing::Test {
 protected:
  // 1920 x 48 along the bottom of the screen, notification area from x 1700:
  // the band's default place is (1600, 5)-(1695, 43) in the taskbar.
  static constexpr RECT kTaskbar{0, 1032, 1920, 1080};
  static constexpr LONG kNotifyLeft = 1700;

  void TearDown() override;

  void MakeTaskbar(RECT rcTaskbar = kTaskbar, LONG nNotifyLeft = kNotifyLeft,
                   bool bWithNotifyArea = true);
  // Creates the band's window as the program does; whether it came up.
  [[nodiscard]] bool CreateBand();
  // A taskbar, and the band docked inside it with its surface.
  void Dock(RECT rcTaskbar = kTaskbar, LONG nNotifyLeft = kNotifyLeft, bool bWithNotifyArea = true);
  // A new band object in the same taskbar, as after a restart.
  void Redock();
  // "TaskbarCreated" as the watch window hears it.
  void AnnounceNewTaskbar() noexcept;

  [[nodiscard]] HWND Band() const noexcept { return m_band->m_hWnd; }
  // The band's own state, as tests look at and set it up.
  [[nodiscard]] CBandTestPeer Peer() const noexcept { return CBandTestPeer(*m_band); }
  [[nodiscard]] RECT BandScreenRect() const noexcept;
  // The band's rectangle relative to the taskbar's top-left corner.
  [[nodiscard]] RECT BandRect() const noexcept;
  void MoveNotifyArea(LONG nScreenLeft) noexcept;
  // A timer message; by default one tick of the band's own timer.
  void Tick(UINT_PTR nId = ID_BAND_TIMER) noexcept;
  LRESULT Mouse(UINT message, int x, int y) noexcept;
  // A drag as the user starts it: pressed at client (10, 20), moved to x.
  void PressAndDragTo(int x) noexcept;
  void DragAndDropAt(int x) noexcept;
  // A child window of the taskbar put above the band.
  HWND RaiseSiblingAboveBand() noexcept;

  // Lines of debug output that start with the prefix, in order.
  [[nodiscard]] std::vector<std::wstring> DebugLines(const std::wstring& prefix) const;
  [[nodiscard]] std::optional<DWORD> ReadSetting(LPCWSTR lpszValue) const noexcept;
  [[nodiscard]] bool SettingsKeyExists() const noexcept;
  // Exactly one save so far, of these values, and reported.
  void ExpectSavedOnce(DWORD dwManual, LONG nRelativeX) const;
  // The band's only way out when it cannot run: one error box, then exit code 1.
  void ExpectErrorBoxAndExitOne(const wchar_t* pszText) const;

  CRecordingApp m_app;
  CRegistryOverride m_hkcu{HKEY_CURRENT_USER};
  CDebugOutputCapture m_debug;
  CRendererDoubles m_doubles;
  std::unique_ptr<CTestTaskbar> m_taskbar;
  std::unique_ptr<CTestBand> m_band = std::make_unique<CTestBand>();
  RECT m_rcTaskbar = kTaskbar;
  CUniqueWindow m_sibling;
};
