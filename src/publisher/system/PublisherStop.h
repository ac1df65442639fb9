#pragma once
// Every way a running publisher is told to stop ends in its stop event:
// --stop from another process, Ctrl+C or Ctrl+Break, the console closing,
// and the session ending (log-off, shut-down). Where the process ends as
// soon as it has been told (console closing, session ending), the telling
// waits until the publisher has removed its section, so the band never sees
// a section its publisher has left.

#include <windows.h>

#include <string>

#include "common/UniqueHandle.h"
#include "publisher/output/PublisherOutput.h"

// The window class that hears the session end, for tests to find it by.
inline constexpr wchar_t kSessionWindowClass[] = L"NimbrelPublisherSession";

class CStopSignals {
 public:
  CStopSignals() noexcept = default;
  ~CStopSignals() { Uninstall(); }
  CStopSignals(const CStopSignals&) = delete;
  CStopSignals& operator=(const CStopSignals&) = delete;

  // From now on each of them sets hStop; the session's end only with
  // bHearSessionEnd (it takes a window, which a run of a moment can do
  // without). That window also sets hThemeChanged (may be null) when the
  // taskbar's colours change. False when they could not be set up.
  [[nodiscard]] bool Install(HANDLE hStop, bool bHearSessionEnd,
                             HANDLE hThemeChanged = nullptr) noexcept;
  // The section is gone: a handler that was told to wait for it may return.
  void Finished() noexcept;
  void Uninstall() noexcept;

 private:
  static DWORD WINAPI SessionThread(void* pParam) noexcept;

  CUniqueHandle m_hFinished;
  CUniqueHandle m_hThread;
  HWND m_hWnd = nullptr;
  bool m_bConsoleHandler = false;
};

// --stop: sets the running publisher's stop event and waits until it has let
// go of its section and names.
[[nodiscard]] int StopRunningPublisher(const std::wstring& strSectionName, COutputSink& output);
