#pragma once
// Test support for everything that runs the band's Win32 code under Wine.
// Linked as objects into each test executable (never into the program).
//
// - TRecordingApp<TApp>: an application object whose message boxes are
//   recorded (text, type, caption) instead of shown; AfxMessageBox goes
//   through CWinApp::DoMessageBox. Construct one per test; it becomes
//   AfxGetApp() for its lifetime.
// - CTestTaskbar: a visible top-level window of class "Shell_TrayWnd" with a
//   "TrayNotifyWnd" child, 48 pixels high along the bottom of the screen.
//   Created after Wine's own (hidden) one, it is the one FindWindowW finds.
// - CRegistryOverride: redirects HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE of
//   this process to a fresh scratch key (RegOverridePredefKey) and deletes
//   the scratch key again afterwards; the real user's settings stay untouched.
//   Keys below it can be made volatile or refused to everyone, for failures.
// - CDebugOutputCapture: collects OutputDebugStringW lines of this process
//   (a vectored handler for the debug-print exceptions; Wine delivers them
//   as ANSI, Windows as UTF-16 first).
// - CTestPublisher: the publisher's side of the shared traffic section, as
//   another publisher writes it or as ours does.
// - RunTestsWithoutTaskbar: runs tests of this same executable in a child
//   process on a desktop of a new, invisible window station, where no
//   "Shell_TrayWnd" exists (every desktop of Wine's own has one). The child
//   sees IsRunningWithoutTaskbar(); its exit code is the result.
// - CCallPatch: for its lifetime, calls to one platform function go to a
//   replacement instead (this executable's import address table entries, or
//   a slot of a COM object's method table, are rewritten), so that a test can
//   see the exact arguments the Parts prescribe, or make the call fail.
// - TakeProcessCounts: the process meter. Handles, GDI and USER objects,
//   private memory, mapped views and threads of this process or of another one (the
//   real Nimbrel.exe, measured from outside), in ways that also work under
//   Wine.
// - BestMicrosecondsPerCall: the benchmarks' clock (make bench only).
// - PumpMessagesFor / PumpMessagesUntil: run this thread's messages.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/SharedTrafficRecord.h"
#include "common/UniqueHandle.h"
#include "framework/WinApp.h"

struct RecordedMessageBox {
  std::wstring m_text;
  UINT m_nType;
  std::wstring m_caption;
};

template <class TApp>
class TRecordingApp : public TApp {
 public:
  int DoMessageBox(LPCWSTR lpszPrompt, UINT nType, UINT) noexcept override {
    m_boxes.push_back({lpszPrompt != nullptr ? lpszPrompt : L"", nType,
                       this->m_pszAppName != nullptr ? this->m_pszAppName : L""});
    return IDOK;
  }

  std::vector<RecordedMessageBox> m_boxes;
};

using CRecordingApp = TRecordingApp<CWinApp>;

class CTestTaskbar {
 public:
  // Screen rectangle of the taskbar and the left edge of its notification area.
  explicit CTestTaskbar(RECT rcTaskbar = {0, 1032, 1920, 1080}, LONG nNotifyLeft = 1700,
                        bool bWithNotifyArea = true) noexcept;
  CTestTaskbar(const CTestTaskbar&) = delete;
  CTestTaskbar& operator=(const CTestTaskbar&) = delete;
  ~CTestTaskbar();

  [[nodiscard]] HWND Handle() const noexcept { return m_hWnd; }
  [[nodiscard]] HWND NotifyArea() const noexcept { return m_hNotifyWnd; }
  void Destroy() noexcept;

 private:
  HWND m_hWnd = nullptr;
  HWND m_hNotifyWnd = nullptr;
};

class CRegistryOverride {
 public:
  explicit CRegistryOverride(HKEY hPredefinedKey) noexcept;
  CRegistryOverride(const CRegistryOverride&) = delete;
  CRegistryOverride& operator=(const CRegistryOverride&) = delete;
  ~CRegistryOverride();

  [[nodiscard]] bool IsActive() const noexcept { return static_cast<bool>(m_scratch); }
  // Values below the scratch key, as the code under test sees them below the
  // redirected predefined key.
  bool SetDword(LPCWSTR lpszSubKey, LPCWSTR lpszValue, DWORD nValue) noexcept;
  bool SetBytes(LPCWSTR lpszSubKey, LPCWSTR lpszValue, DWORD dwType, const void* pData,
                DWORD cbData) noexcept;
  bool SetString(LPCWSTR lpszSubKey, LPCWSTR lpszValue, const std::wstring& value) noexcept;
  bool CreateKey(LPCWSTR lpszSubKey) noexcept;
  // A volatile key (with the missing keys above it): a stable key cannot be
  // created below it.
  bool CreateVolatileKey(LPCWSTR lpszSubKey) noexcept;
  // Everyone is refused samDenied on the key (created if missing) until this
  // override ends.
  bool DenyAccess(LPCWSTR lpszSubKey, REGSAM samDenied) noexcept;

 private:
  HKEY m_hPredefined;
  CUniqueKey m_scratch;
  std::wstring m_scratchPath;
  std::vector<std::wstring> m_deniedKeys;
};

class CDebugOutputCapture {
 public:
  CDebugOutputCapture() noexcept;
  CDebugOutputCapture(const CDebugOutputCapture&) = delete;
  CDebugOutputCapture& operator=(const CDebugOutputCapture&) = delete;
  ~CDebugOutputCapture();

  [[nodiscard]] const std::vector<std::wstring>& Lines() const noexcept { return m_lines; }
  void Clear() noexcept { m_lines.clear(); }

 private:
  static LONG CALLBACK Handler(EXCEPTION_POINTERS* pInfo) noexcept;

  void* m_hHandler = nullptr;
  std::vector<std::wstring> m_lines;
};

class CTestPublisher {
 public:
  // A section smaller than the record takes only the record's first bytes.
  explicit CTestPublisher(LPCWSTR lpszName = kTrafficSectionName,
                          DWORD cbSection = sizeof(SharedTrafficRecord)) noexcept;
  CTestPublisher(const CTestPublisher&) = delete;
  CTestPublisher& operator=(const CTestPublisher&) = delete;

  [[nodiscard]] bool IsOpen() const noexcept { return m_pRecord != nullptr; }
  // The record's bytes copied in one go, as a publisher that knows nothing of
  // the sequence protocol might; as far as the section holds them.
  void Publish(const SharedTrafficRecord& record) noexcept;
  // As the Nimbrel publisher writes: Sequence 0, the fields, Sequence last
  // (common/RecordSequence.h). Only for a section that holds the whole record.
  void PublishGuarded(const SharedTrafficRecord& record) noexcept;
  void SetSequence(std::uint64_t nSequence) noexcept;
  void Close() noexcept;

 private:
  CUniqueHandle m_section;
  TUniqueView<SharedTrafficRecord> m_view;
  SharedTrafficRecord* m_pRecord = nullptr;  // the view, written
  DWORD m_cbSection;
};

class CCallPatch {
 public:
  // Every import of lpszFunction from lpszModule in this executable.
  CCallPatch(LPCWSTR lpszModule, LPCSTR lpszFunction, const void* pReplacement) noexcept;
  // Method number nMethod (IUnknown's three first) of pObject and of every
  // object of its class. The replacement takes the object as first argument.
  CCallPatch(IUnknown* pObject, std::size_t nMethod, const void* pReplacement) noexcept;
  CCallPatch(const CCallPatch&) = delete;
  CCallPatch& operator=(const CCallPatch&) = delete;
  ~CCallPatch();

  [[nodiscard]] bool IsActive() const noexcept { return !m_slots.empty(); }
  // The platform's own function, for a replacement that passes calls on.
  template <class Fn>
  [[nodiscard]] Fn Original() const noexcept {
    return reinterpret_cast<Fn>(m_pOriginal);
  }

 private:
  void* m_pOriginal = nullptr;
  std::vector<void**> m_slots;
};

struct ProcessCounts {
  DWORD m_nHandles = 0;
  DWORD m_nGdiObjects = 0;
  DWORD m_nUserObjects = 0;  // windows, where the system does not count them
  SIZE_T m_cbPrivate = 0;    // committed private pages
  SIZE_T m_cbMapped = 0;     // committed views of sections: a view left mapped shows here
  DWORD m_nThreads = 0;      // a thread's stack is private memory while it lives
};

// Another process's handle needs PROCESS_QUERY_INFORMATION, PROCESS_VM_OPERATION
// and PROCESS_DUP_HANDLE (a handle from CreateProcess has them all).
[[nodiscard]] ProcessCounts TakeProcessCounts(HANDLE hProcess = GetCurrentProcess()) noexcept;

// The child's exit code (0: its tests passed), or -1 when it could not start
// or did not end within a minute.
[[nodiscard]] int RunTestsWithoutTaskbar(LPCWSTR lpszTestFilter) noexcept;
[[nodiscard]] bool IsRunningWithoutTaskbar() noexcept;

// The fastest of several passes of nCalls calls of f(i), in microseconds per
// call: the least disturbed by whatever else the machine was doing.
template <class F>
[[nodiscard]] double BestMicrosecondsPerCall(int nPasses, int nCalls, F&& f) {
  double fBest = 1e300;
  for (int nPass = 0; nPass < nPasses; ++nPass) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < nCalls; ++i) {
      f(i);
    }
    const std::chrono::duration<double, std::micro> elapsed =
        std::chrono::steady_clock::now() - start;
    fBest = std::min(fBest, elapsed.count() / nCalls);
  }
  return fBest;
}

void PumpMessagesFor(std::chrono::milliseconds duration) noexcept;
// Runs messages until pred() holds or the timeout passes; returns pred().
bool PumpMessagesUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
// Takes a WM_QUIT out of this thread's queue, if one is there.
[[nodiscard]] bool TakeQuitMessage(int& nExitCode) noexcept;
// The child window of hParent at the top of its z-order.
[[nodiscard]] HWND TopChild(HWND hParent) noexcept;
