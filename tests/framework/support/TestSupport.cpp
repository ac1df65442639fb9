#include "TestSupport.h"

#include <algorithm>
#include <cstring>

UINT g_uTaskbarCreatedMsg = RegisterWindowMessageW(L"TaskbarCreated");

namespace {
constexpr wchar_t kTaskbarClass[] = L"Shell_TrayWnd";
constexpr wchar_t kNotifyClass[] = L"TrayNotifyWnd";
constexpr DWORD kDbgPrintExceptionC = 0x40010006;
constexpr DWORD kDbgPrintExceptionWideC = 0x4001000A;

CDebugOutputCapture* g_pCapture = nullptr;

void RegisterPlainClass(LPCWSTR lpszClass) noexcept {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
  wc.lpszClassName = lpszClass;
  RegisterClassExW(&wc);
}
}  // namespace

CTestTaskbar::CTestTaskbar(RECT rcTaskbar, LONG nNotifyLeft, bool bWithNotifyArea) noexcept {
  GetDesktopWindow();  // Wine's own taskbar comes up with the desktop; ours must come after
  RegisterPlainClass(kTaskbarClass);
  RegisterPlainClass(kNotifyClass);
  m_hWnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kTaskbarClass, nullptr,
                           WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, rcTaskbar.left, rcTaskbar.top,
                           rcTaskbar.right - rcTaskbar.left, rcTaskbar.bottom - rcTaskbar.top,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (m_hWnd != nullptr && bWithNotifyArea) {
    m_hNotifyWnd = CreateWindowExW(0, kNotifyClass, nullptr, WS_CHILD | WS_VISIBLE,
                                   nNotifyLeft - rcTaskbar.left, 0, rcTaskbar.right - nNotifyLeft,
                                   rcTaskbar.bottom - rcTaskbar.top, m_hWnd, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
  }
}

CTestTaskbar::~CTestTaskbar() { Destroy(); }

void CTestTaskbar::Destroy() noexcept {
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
    DestroyWindow(m_hWnd);
  }
  m_hWnd = nullptr;
  m_hNotifyWnd = nullptr;
}

CRegistryOverride::CRegistryOverride(HKEY hPredefinedKey) noexcept : m_hPredefined(hPredefinedKey) {
  static LONG s_nCounter = 0;
  m_scratchPath = L"Software\\NimbrelTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(InterlockedIncrement(&s_nCounter));
  if (RegCreateKeyExW(HKEY_CURRENT_USER, m_scratchPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &m_hScratch, nullptr) != ERROR_SUCCESS) {
    m_hScratch = nullptr;
    return;
  }
  if (RegOverridePredefKey(m_hPredefined, m_hScratch) != ERROR_SUCCESS) {
    RegCloseKey(m_hScratch);
    m_hScratch = nullptr;
  }
}

CRegistryOverride::~CRegistryOverride() {
  if (m_hScratch == nullptr) {
    return;
  }
  RegOverridePredefKey(m_hPredefined, nullptr);
  RegCloseKey(m_hScratch);
  RegDeleteTreeW(HKEY_CURRENT_USER, m_scratchPath.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, m_scratchPath.c_str());
}

bool CRegistryOverride::CreateKey(LPCWSTR lpszSubKey) noexcept {
  HKEY hKey = nullptr;
  if (m_hScratch == nullptr ||
      RegCreateKeyExW(m_hScratch, lpszSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &hKey, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(hKey);
  return true;
}

bool CRegistryOverride::SetBytes(LPCWSTR lpszSubKey, LPCWSTR lpszValue, DWORD dwType,
                                 const void* pData, DWORD cbData) noexcept {
  HKEY hKey = nullptr;
  if (m_hScratch == nullptr ||
      RegCreateKeyExW(m_hScratch, lpszSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &hKey, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG lResult =
      RegSetValueExW(hKey, lpszValue, 0, dwType, static_cast<const BYTE*>(pData), cbData);
  RegCloseKey(hKey);
  return lResult == ERROR_SUCCESS;
}

bool CRegistryOverride::SetDword(LPCWSTR lpszSubKey, LPCWSTR lpszValue, DWORD nValue) noexcept {
  return SetBytes(lpszSubKey, lpszValue, REG_DWORD, &nValue, sizeof(nValue));
}

bool CRegistryOverride::SetString(LPCWSTR lpszSubKey, LPCWSTR lpszValue,
                                  const std::wstring& value) noexcept {
  return SetBytes(lpszSubKey, lpszValue, REG_SZ, value.c_str(),
                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

CDebugOutputCapture::CDebugOutputCapture() noexcept {
  g_pCapture = this;
  m_hHandler = AddVectoredExceptionHandler(1, &CDebugOutputCapture::Handler);
}

CDebugOutputCapture::~CDebugOutputCapture() {
  if (m_hHandler != nullptr) {
    RemoveVectoredExceptionHandler(m_hHandler);
  }
  if (g_pCapture == this) {
    g_pCapture = nullptr;
  }
}

LONG CALLBACK CDebugOutputCapture::Handler(EXCEPTION_POINTERS* pInfo) noexcept {
  const EXCEPTION_RECORD* pRecord = pInfo->ExceptionRecord;
  if (g_pCapture == nullptr || pRecord->NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  const auto cch = static_cast<size_t>(pRecord->ExceptionInformation[0]);
  if (pRecord->ExceptionCode == kDbgPrintExceptionWideC) {
    const auto* psz = reinterpret_cast<const wchar_t*>(pRecord->ExceptionInformation[1]);
    std::wstring line(psz, cch);
    while (!line.empty() && line.back() == L'\0') {
      line.pop_back();
    }
    g_pCapture->m_lines.push_back(std::move(line));
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  if (pRecord->ExceptionCode == kDbgPrintExceptionC) {
    const auto* psz = reinterpret_cast<const char*>(pRecord->ExceptionInformation[1]);
    size_t cb = cch;
    while (cb > 0 && psz[cb - 1] == '\0') {
      --cb;
    }
    std::wstring line(static_cast<size_t>(cb), L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, psz, static_cast<int>(cb), line.data(),
                                      static_cast<int>(line.size()));
    line.resize(n > 0 ? static_cast<size_t>(n) : 0);
    g_pCapture->m_lines.push_back(std::move(line));
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

CTestPublisher::CTestPublisher(LPCWSTR lpszName, DWORD cbSection) noexcept
    : m_cbSection(cbSection) {
  m_hSection =
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, cbSection, lpszName);
  if (m_hSection == nullptr) {
    return;
  }
  m_pRecord =
      static_cast<SharedTrafficRecord*>(MapViewOfFile(m_hSection, FILE_MAP_WRITE, 0, 0, cbSection));
  if (m_pRecord != nullptr) {
    std::memset(m_pRecord, 0, cbSection);
  }
}

CTestPublisher::~CTestPublisher() { Close(); }

void CTestPublisher::Publish(const SharedTrafficRecord& record) noexcept {
  if (m_pRecord != nullptr) {
    std::memcpy(m_pRecord, &record, std::min<std::size_t>(m_cbSection, sizeof(record)));
  }
}

void CTestPublisher::SetSequence(std::uint64_t nSequence) noexcept {
  if (m_pRecord != nullptr) {
    m_pRecord->Sequence = nSequence;
  }
}

void CTestPublisher::Close() noexcept {
  if (m_pRecord != nullptr) {
    UnmapViewOfFile(m_pRecord);
    m_pRecord = nullptr;
  }
  if (m_hSection != nullptr) {
    CloseHandle(m_hSection);
    m_hSection = nullptr;
  }
}

void PumpMessagesFor(std::chrono::milliseconds duration) noexcept {
  const auto end = std::chrono::steady_clock::now() + duration;
  MSG msg{};
  while (std::chrono::steady_clock::now() < end) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

bool PumpMessagesUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  MSG msg{};
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= end) {
      return false;
    }
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return pred();
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (!pred()) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
  }
  return true;
}

bool TakeQuitMessage(int& nExitCode) noexcept {
  MSG msg{};
  if (!PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    return false;
  }
  nExitCode = static_cast<int>(msg.wParam);
  return true;
}

HWND TopChild(HWND hParent) noexcept { return GetWindow(hParent, GW_CHILD); }

namespace {
constexpr wchar_t kWithoutTaskbarVariable[] = L"NIMBREL_TEST_WITHOUT_TASKBAR";
}

bool IsRunningWithoutTaskbar() noexcept {
  return GetEnvironmentVariableW(kWithoutTaskbarVariable, nullptr, 0) != 0;
}

int RunTestsWithoutTaskbar(LPCWSTR lpszTestFilter) noexcept {
  wchar_t szPath[MAX_PATH] = {};
  if (GetModuleFileNameW(nullptr, szPath, MAX_PATH) == 0) {
    return -1;
  }
  std::wstring commandLine = L"\"" + std::wstring(szPath) + L"\" --gtest_filter=" + lpszTestFilter;
  std::wstring desktop = L"NimbrelTest" + std::to_wstring(GetCurrentProcessId()) + L"\\Default";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.lpDesktop = desktop.data();
  PROCESS_INFORMATION pi{};
  SetEnvironmentVariableW(kWithoutTaskbarVariable, L"1");
  const BOOL bStarted = CreateProcessW(szPath, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                       nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableW(kWithoutTaskbarVariable, nullptr);
  if (!bStarted) {
    return -1;
  }
  DWORD nExitCode = static_cast<DWORD>(-1);
  if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, static_cast<UINT>(-1));
    WaitForSingleObject(pi.hProcess, 5000);
  } else {
    GetExitCodeProcess(pi.hProcess, &nExitCode);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(nExitCode);
}
