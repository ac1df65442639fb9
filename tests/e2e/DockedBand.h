#pragma once
// The real Nimbrel.exe, a copy beside the composition stand-in, docked in the
// development taskbar: both started by the test, and everything checked from
// outside, through the window tree, the screen, the registry and real input.
//
// Only in a scratch Wine prefix (scripts/in-scratch-prefix.sh): the band
// keeps its settings in the prefix user's registry, and each test starts
// from none. Anywhere else the tests skip.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "devshell/DevBand.h"
#include "devshell/DevTaskbarCommand.h"
#include "support/ProgramRun.h"
#include "devshell/ScreenCapture.h"
#include "support/TestRecords.h"

inline constexpr DWORD kE2eTimeoutMs = 10000;  // "works" against "hangs"

class CDockedBandTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts Nimbrel.exe with the stand-in and waits until it is docked and
  // has drawn; false (with a failure) when it does not get there.
  [[nodiscard]] bool StartBand();
  // Closes the band through WM_CLOSE, as its menu's Close does; its exit code.
  [[nodiscard]] DWORD CloseBand();

  [[nodiscard]] HWND Taskbar() const noexcept { return m_hTaskbar; }
  [[nodiscard]] HWND Band() const noexcept { return m_hBand; }
  [[nodiscard]] CProgramRun& BandProcess() noexcept { return m_band; }
  [[nodiscard]] bool SendTaskbarCommand(DevTaskbarCommand command, int nValue) const noexcept;
  // After a restart of the taskbar: the new one, and the band docked in it.
  [[nodiscard]] bool FollowRestartedTaskbar();

  [[nodiscard]] RECT BandRect() const noexcept;  // screen
  [[nodiscard]] RECT TaskbarRect() const noexcept;
  [[nodiscard]] LONG NotifyLeft() const noexcept;  // screen x
  // Where the band belongs by default: 95 px wide, 5 px in from the taskbar's
  // top and bottom, its right edge 5 px left of the notification area.
  [[nodiscard]] RECT DefaultBandRect() const noexcept;
  [[nodiscard]] ScreenImage CaptureBand() const;

  // A real left-button drag: press 10 px inside the band, move in steps, release.
  void DragBandBy(LONG nDeltaX);

  // HKCU\Software\Nimbrel and the Run key, as the band left them.
  [[nodiscard]] bool ReadSetting(const wchar_t* pszName, DWORD& dwValue) const;
  [[nodiscard]] bool ReadRunValue(std::wstring& value) const;

  // Checks pred every few milliseconds until it holds or the time is up.
  static bool WaitUntil(const std::function<bool()>& pred, DWORD nTimeoutMs = kE2eTimeoutMs);

 private:
  CProgramRun m_taskbar;
  CProgramRun m_band;
  HWND m_hTaskbar = nullptr;
  HWND m_hBand = nullptr;
};

// Reading the band's frame off the screen. The tracks and bars start 18 px
// in; each line's track is 2 px high, 1 px above the bottom of its half.
inline constexpr LONG kBarLeft = 18;
[[nodiscard]] int UpperTrackRow(const ScreenImage& band) noexcept;
[[nodiscard]] int LowerTrackRow(const ScreenImage& band) noexcept;
// Pixels of exactly this colour (0xRRGGBB) from the bar's left end on.
[[nodiscard]] int RunLength(const ScreenImage& band, int y, std::uint32_t nColor) noexcept;
// Both tracks cover the taskbar: the band is drawn at the captured place.
[[nodiscard]] bool ShowsTracks(const ScreenImage& band) noexcept;
// One colour all over: nothing but the taskbar's background there.
[[nodiscard]] bool ShowsBareTaskbar(const RECT& rc);
// No pixel of the band's track grey there, whatever else the taskbar shows
// (its app buttons, say): the band is not drawn there.
[[nodiscard]] bool ShowsNoBand(const RECT& rc);

// The path the band sees for itself: the copy beside the stand-in.
[[nodiscard]] std::wstring DevRunProgramPath();
