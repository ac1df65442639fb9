// nimbrel-devwatch --seconds N --shots DIR: watches the real band in the
// development taskbar for N seconds (the second half of `make run`). Each time
// the band's pixels change it prints the pair of rates the band now shows (the
// publisher's record, through the band's own poll and formatting), saves three
// pictures of the taskbar and one enlarged picture of the band's corner of it
// into DIR, then closes the band through its own right-click menu and waits
// for the process to end.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "devshell/DevBand.h"
#include "devshell/DevTaskbarControl.h"
#include "devshell/ScreenCapture.h"
#include "band/TrafficSection.h"
#include "feed/FormatRate.h"
#include "common/UniqueHandle.h"

namespace {

constexpr DWORD kTaskbarTimeoutMs = 20000;
constexpr DWORD kBandTimeoutMs = 60000;
constexpr DWORD kExitTimeoutMs = 10000;
constexpr DWORD kTickMs = 100;
constexpr int kShots = 3;
constexpr int kZoom = 4;
constexpr LONG kZoomMargin = 60;  // taskbar shown left and right of the band, enlarged

struct WatchOptions {
  int m_nSeconds = 10;
  std::wstring m_shots = L".";
};

[[nodiscard]] bool ParseOptions(int argc, wchar_t** argv, WatchOptions& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring name = argv[i];
    if (name == L"--seconds") {
      options.m_nSeconds = static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
    } else if (name == L"--shots") {
      options.m_shots = argv[i + 1];
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && options.m_nSeconds > 0 && options.m_nSeconds <= 600;
}

// The band's two lines as it draws them from the record it took.
class CRatePrinter {
 public:
  void PrintIfNew(double dSeconds) {
    (void)PollTrafficSection(m_hMapping, m_pView, m_state);
    wchar_t szUpper[kRateTextChars] = {};
    wchar_t szLower[kRateTextChars] = {};
    // The upper line carries the up arrow unless the record swapped them.
    const std::wstring line = Line(m_state.m_bArrowsFlipped ? L"down" : L"up",
                                   FormatRate(m_state.m_nRateUpper, m_state.m_bBitsMode, szUpper)) +
                              L"   " +
                              Line(m_state.m_bArrowsFlipped ? L"up" : L"down",
                                   FormatRate(m_state.m_nRateLower, m_state.m_bBitsMode, szLower));
    if (line == m_last) {
      return;
    }
    m_last = line;
    std::wprintf(L"  %5.1f s  %ls\n", dSeconds, line.c_str());
    std::fflush(stdout);
  }

 private:
  static std::wstring Line(const wchar_t* pszArrow, const wchar_t* pszRate) {
    wchar_t szLine[64] = {};
    std::swprintf(szLine, 64, L"%-4ls %11ls", pszArrow, pszRate);
    return szLine;
  }

  CUniqueHandle m_hMapping;
  CTrafficView m_pView;
  TrafficState m_state;
  std::wstring m_last;
};

[[nodiscard]] bool Shoot(const RECT& rc, const std::wstring& path, int nZoom) {
  ScreenImage image;
  if (!CaptureScreen(rc, image) || !SavePng(path, image, nZoom)) {
    std::fwprintf(stderr, L"nimbrel-devwatch: could not save %ls\n", path.c_str());
    return false;
  }
  std::wprintf(L"  saved %ls\n", path.c_str());
  return true;
}

[[nodiscard]] RECT WindowRect(HWND hWnd) noexcept {
  RECT rc{};
  GetWindowRect(hWnd, &rc);
  return rc;
}

int Watch(const WatchOptions& options) {
  HWND hTaskbar = WaitForDevTaskbar(kTaskbarTimeoutMs);
  HWND hBand = WaitForDockedBand(hTaskbar, kBandTimeoutMs);
  DWORD nProcessId = 0;
  if (hBand == nullptr || GetWindowThreadProcessId(hBand, &nProcessId) == 0) {
    std::fputs("nimbrel-devwatch: no band docked in the development taskbar\n", stderr);
    return 1;
  }
  if (!WaitForBandFrame(hBand, kBandTimeoutMs)) {
    std::fputs("nimbrel-devwatch: the band docked but never drew a frame\n", stderr);
    return 1;
  }
  const CUniqueHandle hProcess(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, nProcessId));
  std::printf("The band is docked in the taskbar; what it shows for %d s:\n", options.m_nSeconds);

  CRatePrinter printer;
  ScreenImage last;
  int nShot = 0;
  const int nTicks = options.m_nSeconds * 1000 / static_cast<int>(kTickMs);
  bool bSaved = true;
  for (int nTick = 0; nTick < nTicks; ++nTick) {
    ScreenImage now;
    if (CaptureScreen(WindowRect(hBand), now) && now.m_pixels != last.m_pixels) {
      printer.PrintIfNew(nTick * kTickMs / 1000.0);
      last = std::move(now);
    }
    if (nShot < kShots && nTick == (2 * nShot + 1) * nTicks / (2 * kShots)) {
      ++nShot;
      bSaved = Shoot(WindowRect(hTaskbar),
                     options.m_shots + L"\\taskbar-" + std::to_wstring(nShot) + L".png", 1) &&
               bSaved;
    }
    Sleep(kTickMs);
  }
  const RECT rcBand = WindowRect(hBand);
  const RECT rcTaskbar = WindowRect(hTaskbar);
  bSaved = Shoot({rcBand.left - kZoomMargin, rcTaskbar.top, rcBand.right + 2 * kZoomMargin,
                  rcTaskbar.bottom},
                 options.m_shots + L"\\taskbar-zoom.png", kZoom) &&
           bSaved;

  std::puts("Closing the band through its right-click menu (Close)...");
  const bool bChosen = ChooseFromBandMenu(hBand, BandMenuCommand::Close);
  DWORD nExitCode = STILL_ACTIVE;
  if (hProcess && WaitForSingleObject(hProcess.Get(), kExitTimeoutMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(hProcess.Get(), &nExitCode);
  }
  if (!bChosen || nExitCode == STILL_ACTIVE) {
    std::fputs("nimbrel-devwatch: the band did not close through its menu\n", stderr);
    return 1;
  }
  std::printf("Nimbrel ended with exit code %lu.\n", nExitCode);
  return bSaved && nExitCode == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  WatchOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs("usage: nimbrel-devwatch [--seconds N (1-600)] [--shots DIR]\n", stderr);
    return 2;
  }
  return Watch(options);
}
