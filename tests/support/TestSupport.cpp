#include "support/TestSupport.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>

#include "common/RecordSequence.h"
#include "common/UniqueHandle.h"

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
                      KEY_ALL_ACCESS, nullptr, m_scratch.Put(), nullptr) != ERROR_SUCCESS ||
      RegOverridePredefKey(m_hPredefined, m_scratch.Get()) != ERROR_SUCCESS) {
    m_scratch.Reset();
  }
}

CRegistryOverride::~CRegistryOverride() {
  if (!m_scratch) {
    return;
  }
  RegOverridePredefKey(m_hPredefined, nullptr);
  // The refusals go first, or the scratch tree could not be deleted.
  for (const std::wstring& subKey : m_deniedKeys) {
    CUniqueKey key;
    if (RegOpenKeyExW(m_scratch.Get(), subKey.c_str(), 0, WRITE_DAC, key.Put()) == ERROR_SUCCESS) {
      SECURITY_DESCRIPTOR descriptor{};
      InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
      SetSecurityDescriptorDacl(&descriptor, FALSE, nullptr, FALSE);
      RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, &descriptor);
    }
  }
  m_scratch.Reset();
  RegDeleteTreeW(HKEY_CURRENT_USER, m_scratchPath.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, m_scratchPath.c_str());
}

bool CRegistryOverride::CreateKey(LPCWSTR lpszSubKey) noexcept {
  CUniqueKey key;
  return m_scratch &&
         RegCreateKeyExW(m_scratch.Get(), lpszSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) == ERROR_SUCCESS;
}

bool CRegistryOverride::CreateVolatileKey(LPCWSTR lpszSubKey) noexcept {
  CUniqueKey key;
  return m_scratch && RegCreateKeyExW(m_scratch.Get(), lpszSubKey, 0, nullptr, REG_OPTION_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) == ERROR_SUCCESS;
}

bool CRegistryOverride::DenyAccess(LPCWSTR lpszSubKey, REGSAM samDenied) noexcept {
  CUniqueKey key;
  if (!m_scratch ||
      RegCreateKeyExW(m_scratch.Get(), lpszSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  BYTE everyone[SECURITY_MAX_SID_SIZE];
  DWORD cbEveryone = sizeof(everyone);
  BYTE aclBytes[256];
  const auto pAcl = reinterpret_cast<PACL>(aclBytes);
  SECURITY_DESCRIPTOR descriptor{};
  if (!CreateWellKnownSid(WinWorldSid, nullptr, everyone, &cbEveryone) ||
      !InitializeAcl(pAcl, sizeof(aclBytes), ACL_REVISION) ||
      !AddAccessDeniedAce(pAcl, ACL_REVISION, samDenied, everyone) ||
      !AddAccessAllowedAce(pAcl, ACL_REVISION, KEY_ALL_ACCESS, everyone) ||
      !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, pAcl, FALSE)) {
    return false;
  }
  m_deniedKeys.emplace_back(lpszSubKey);
  return RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
}

bool CRegistryOverride::SetBytes(LPCWSTR lpszSubKey, LPCWSTR lpszValue, DWORD dwType,
                                 const void* pData, DWORD cbData) noexcept {
  CUniqueKey key;
  return m_scratch &&
         RegCreateKeyExW(m_scratch.Get(), lpszSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, key.Put(), nullptr) == ERROR_SUCCESS &&
         RegSetValueExW(key.Get(), lpszValue, 0, dwType, static_cast<const BYTE*>(pData), cbData) ==
             ERROR_SUCCESS;
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
    : m_section(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, cbSection,
                                   lpszName)),
      m_cbSection(cbSection) {
  if (!m_section) {
    return;
  }
  m_pRecord = static_cast<SharedTrafficRecord*>(
      MapViewOfFile(m_section.Get(), FILE_MAP_WRITE, 0, 0, cbSection));
  m_view.Reset(m_pRecord);
  if (m_pRecord != nullptr) {
    std::memset(m_pRecord, 0, cbSection);
  }
}

void CTestPublisher::Publish(const SharedTrafficRecord& record) noexcept {
  if (m_pRecord != nullptr) {
    std::memcpy(m_pRecord, &record, std::min<std::size_t>(m_cbSection, sizeof(record)));
  }
}

void CTestPublisher::PublishGuarded(const SharedTrafficRecord& record) noexcept {
  if (m_pRecord != nullptr && m_cbSection >= sizeof(record)) {
    StoreTrafficRecord(*m_pRecord, record);
  }
}

void CTestPublisher::SetSequence(std::uint64_t nSequence) noexcept {
  if (m_pRecord != nullptr) {
    m_pRecord->Sequence = nSequence;
  }
}

void CTestPublisher::Close() noexcept {
  m_pRecord = nullptr;
  m_view.Reset();
  m_section.Reset();
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
  const CUniqueHandle hThread(pi.hThread);
  const CUniqueHandle hProcess(pi.hProcess);
  DWORD nExitCode = static_cast<DWORD>(-1);
  if (WaitForSingleObject(hProcess.Get(), 60000) != WAIT_OBJECT_0) {
    TerminateProcess(hProcess.Get(), static_cast<UINT>(-1));
    WaitForSingleObject(hProcess.Get(), 5000);
  } else {
    GetExitCodeProcess(hProcess.Get(), &nExitCode);
  }
  return static_cast<int>(nExitCode);
}

namespace {

void WriteSlot(void** ppSlot, void* pValue) noexcept {
  DWORD dwOld = 0;
  if (VirtualProtect(ppSlot, sizeof(*ppSlot), PAGE_READWRITE, &dwOld)) {
    *ppSlot = pValue;
    VirtualProtect(ppSlot, sizeof(*ppSlot), dwOld, &dwOld);
  }
}

}  // namespace

CCallPatch::CCallPatch(IUnknown* pObject, std::size_t nMethod, const void* pReplacement) noexcept {
  void** ppSlot = *reinterpret_cast<void***>(pObject) + nMethod;
  m_pOriginal = *ppSlot;
  m_slots.push_back(ppSlot);
  WriteSlot(ppSlot, const_cast<void*>(pReplacement));
}

CCallPatch::CCallPatch(LPCWSTR lpszModule, LPCSTR lpszFunction, const void* pReplacement) noexcept {
  HMODULE hModule = GetModuleHandleW(lpszModule);
  m_pOriginal =
      hModule != nullptr ? reinterpret_cast<void*>(GetProcAddress(hModule, lpszFunction)) : nullptr;
  if (m_pOriginal == nullptr) {
    return;
  }
  auto* const pBase = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase);
  const auto* pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(pBase + pDos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      pNt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) {
    return;
  }
  for (auto* pImport =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(pBase + imports.VirtualAddress);
       pImport->Name != 0; ++pImport) {
    for (auto** ppSlot = reinterpret_cast<void**>(pBase + pImport->FirstThunk); *ppSlot != nullptr;
         ++ppSlot) {
      if (*ppSlot == m_pOriginal) {
        m_slots.push_back(ppSlot);
        WriteSlot(ppSlot, const_cast<void*>(pReplacement));
      }
    }
  }
}

CCallPatch::~CCallPatch() {
  for (void** ppSlot : m_slots) {
    WriteSlot(ppSlot, m_pOriginal);
  }
}

namespace {

constexpr UINT_PTR kHandleStep = 4;
constexpr DWORD kEmptySlotsAfterLast = 1024;
constexpr int kHandleCounts = 3;

// The handles open in the process, found one slot after the other: a slot is
// open when it can be duplicated. The search ends well past the last one.
[[nodiscard]] DWORD CountOpenHandles(HANDLE hProcess) noexcept {
  DWORD nOpen = 0;
  DWORD nEmpty = 0;
  for (UINT_PTR nValue = kHandleStep; nEmpty < kEmptySlotsAfterLast; nValue += kHandleStep) {
    CUniqueHandle hCopy;
    if (DuplicateHandle(hProcess, reinterpret_cast<HANDLE>(nValue), GetCurrentProcess(),
                        hCopy.Put(), 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      ++nOpen;
      nEmpty = 0;
    } else {
      ++nEmpty;
    }
  }
  return nOpen;
}

DWORD CountThreads(DWORD dwProcessId) noexcept {
  const HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (hSnapshot == INVALID_HANDLE_VALUE) {
    return 0;
  }
  const CUniqueHandle snapshot(hSnapshot);
  DWORD nThreads = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL bMore = Thread32First(snapshot.Get(), &entry); bMore;
       bMore = Thread32Next(snapshot.Get(), &entry)) {
    nThreads += entry.th32OwnerProcessID == dwProcessId ? 1 : 0;
  }
  return nThreads;
}

struct WindowCount {
  DWORD m_dwProcessId;
  DWORD m_nWindows;
};

BOOL CALLBACK CountIfOwned(HWND hWnd, LPARAM lParam) {
  auto* pCount = reinterpret_cast<WindowCount*>(lParam);
  DWORD dwProcessId = 0;
  GetWindowThreadProcessId(hWnd, &dwProcessId);
  if (dwProcessId == pCount->m_dwProcessId) {
    ++pCount->m_nWindows;
  }
  return TRUE;
}

// A docked band is a child of another process's taskbar: every window on
// the desktop is looked at, children included (EnumChildWindows goes down
// the whole tree).
BOOL CALLBACK CountOwnedTree(HWND hWnd, LPARAM lParam) {
  CountIfOwned(hWnd, lParam);
  EnumChildWindows(hWnd, &CountIfOwned, lParam);
  return TRUE;
}

}  // namespace

// Wine answers 0 to GetProcessHandleCount, GetGuiResources and PrivateUsage.
// There the handles are counted slot by slot and the process's windows stand
// in for its USER objects. Private memory and mapped views are the committed
// pages of each kind, summed with VirtualQueryEx, on both.
ProcessCounts TakeProcessCounts(HANDLE hProcess) noexcept {
  ProcessCounts counts;
  GetProcessHandleCount(hProcess, &counts.m_nHandles);
  if (counts.m_nHandles == 0) {
    // A handle that lives for one operation (the poll's section) may be open
    // at one count and not at the next; a leaked one is open at all of them.
    counts.m_nHandles = CountOpenHandles(hProcess);
    for (int i = 1; i < kHandleCounts; ++i) {
      Sleep(10);
      counts.m_nHandles = std::min(counts.m_nHandles, CountOpenHandles(hProcess));
    }
  }
  counts.m_nThreads = CountThreads(GetProcessId(hProcess));
  counts.m_nGdiObjects = GetGuiResources(hProcess, GR_GDIOBJECTS);
  counts.m_nUserObjects = GetGuiResources(hProcess, GR_USEROBJECTS);
  if (counts.m_nUserObjects == 0) {
    WindowCount windows{GetProcessId(hProcess), 0};
    EnumWindows(&CountOwnedTree, reinterpret_cast<LPARAM>(&windows));
    counts.m_nUserObjects = windows.m_nWindows;
  }
  MEMORY_BASIC_INFORMATION info{};
  for (const BYTE* p = nullptr; VirtualQueryEx(hProcess, p, &info, sizeof(info)) == sizeof(info);) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) {
      counts.m_cbPrivate += info.RegionSize;
    } else if (info.State == MEM_COMMIT && info.Type == MEM_MAPPED) {
      counts.m_cbMapped += info.RegionSize;
    }
    const BYTE* pNext = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize;
    if (pNext <= p) {
      break;
    }
    p = pNext;
  }
  return counts;
}
