// Start-up under Wine: the Windows-build gate with HKLM redirected, the
// single-instance rule (in this process and with a second real process),
// the band's creation, icons, the exit code.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/RendererDoubles.h"
#include "support/TestSupport.h"
#include "app/BuildGate.h"
#include "app/NimbrelApp.h"
#include "support/BandTestPeer.h"

namespace {

constexpr wchar_t kRoleVariable[] = L"NIMBREL_APP_TEST_ROLE";
constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

using CTestNimbrelApp = TRecordingApp<CNimbrelApp>;

std::wstring ChildRole() {
  wchar_t szRole[128] = {};
  GetEnvironmentVariableW(kRoleVariable, szRole, 128);
  return szRole;
}

// Everything a start needs that must not be the real thing: the user's
// registry (HKCU is an empty scratch key), a taskbar, and a surface on
// doubles. HKLM stays the Wine prefix's own (build 22631, read only): with
// HKLM redirected, Direct3D finds no display adapter.
class StartFixture {
 public:
  StartFixture() { CBandTestPeer(m_app.m_wndBand).m_renderer.UsePlatform(&m_doubles.Platform()); }
  ~StartFixture() {
    if (m_app.m_wndBand.m_hWnd != nullptr) {
      ::DestroyWindow(m_app.m_wndBand.m_hWnd);
    }
    int nCode = 0;
    while (TakeQuitMessage(nCode)) {
    }
  }

  CRegistryOverride m_hkcu{HKEY_CURRENT_USER};
  CTestTaskbar m_taskbar;
  CRendererDoubles m_doubles;
  CTestNimbrelApp m_app;
};

void ExpectAlreadyRunningBox(const CTestNimbrelApp& app) {
  ASSERT_EQ(app.m_boxes.size(), 1u);
  EXPECT_EQ(app.m_boxes[0].m_text, L"Nimbrel already running!");
  EXPECT_EQ(app.m_boxes[0].m_nType, 0x40u);
  EXPECT_EQ(app.m_boxes[0].m_caption, L"app_tests");
}

// This test executable once more, running only lpszTest, in the given role;
// hProcess holds the child.
bool StartChild(LPCWSTR lpszTest, const std::wstring& role, CUniqueHandle& hProcess) {
  wchar_t szPath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, szPath, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(szPath) + L"\" --gtest_filter=" + lpszTest;
  SetEnvironmentVariableW(kRoleVariable, role.c_str());
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  const BOOL bStarted = CreateProcessW(szPath, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                       nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableW(kRoleVariable, nullptr);
  const CUniqueHandle hThread(pi.hThread);
  hProcess.Reset(pi.hProcess);
  return bStarted != FALSE;
}

void ExpectChildEndsWithZero(HANDLE hProcess, DWORD nTimeoutMs) {
  EXPECT_EQ(WaitForSingleObject(hProcess, nTimeoutMs), WAIT_OBJECT_0);
  DWORD nExitCode = 99;
  GetExitCodeProcess(hProcess, &nExitCode);
  EXPECT_EQ(nExitCode, 0u);
}

class AppTest : public ::testing::Test, protected StartFixture {
 protected:
  void SetUp() override { ASSERT_TRUE(m_hkcu.IsActive()); }
};

struct GateCase {
  const char* m_name;
  DWORD m_dwType;  // REG_NONE: no value at all
  const void* m_pData;
  DWORD m_cbData;
  bool m_bPasses;
};

constexpr DWORD kBuild22000 = 22000;
constexpr DWORD kBuild21999 = 21999;
constexpr DWORD kBuild22631 = 22631;
constexpr wchar_t kText22000[] = L"22000";
constexpr wchar_t kText21999[] = L"21999";
constexpr wchar_t kTextAbc[] = L"abc";
constexpr wchar_t kText22631Point[] = L"22631.4169";
constexpr wchar_t kTextEmpty[] = L"";
constexpr wchar_t kTextMinusOne[] = L"-1";  // taken as unsigned: 4294967295
// 32 digits that fill the whole 64-byte read, stored like kUnterminated; read
// as decimal, not octal, for all the leading zeros.
constexpr wchar_t kText32Digits[] = L"00000000000000000000000000022631y";
static_assert(sizeof(kText32Digits) == 68);
// Stored as its first 64 bytes: 32 characters and no terminator in the value
// (the registry adds one only when the character after the data is NUL).
constexpr wchar_t kUnterminated[] = L"22631xxxxxxxxxxxxxxxxxxxxxxxxxxxy";
static_assert(sizeof(kUnterminated) == 68);

const GateCase kGateCases[] = {
    {"dword 22000 passes", REG_DWORD, &kBuild22000, 4, true},
    {"dword 21999 fails", REG_DWORD, &kBuild21999, 4, false},
    {"dword 22631 passes", REG_DWORD, &kBuild22631, 4, true},
    {"text 22000 passes", REG_SZ, kText22000, sizeof(kText22000), true},
    {"text 21999 fails", REG_SZ, kText21999, sizeof(kText21999), false},
    {"text without digits counts as 0", REG_SZ, kTextAbc, sizeof(kTextAbc), false},
    {"leading digits of a longer text", REG_SZ, kText22631Point, sizeof(kText22631Point), true},
    {"empty text counts as 0", REG_SZ, kTextEmpty, sizeof(kTextEmpty), false},
    {"64-byte text without terminator is read safely", REG_SZ, kUnterminated, 64, true},
    {"32 digits with leading zeros", REG_SZ, kText32Digits, 64, true},
    {"-1 compares as unsigned", REG_SZ, kTextMinusOne, sizeof(kTextMinusOne), true},
    {"a binary value is read as text", REG_BINARY, &kBuild22000, 4, false},
    {"no value counts as 0", REG_NONE, nullptr, 0, false},
};

TEST_F(AppTest, TheBuildGateReadsDwordAndTextValues) {
  for (const GateCase& c : kGateCases) {
    SCOPED_TRACE(c.m_name);
    CRegistryOverride hklm(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(hklm.CreateKey(kCurrentVersion));
    if (c.m_dwType != REG_NONE) {
      ASSERT_TRUE(
          hklm.SetBytes(kCurrentVersion, L"CurrentBuildNumber", c.m_dwType, c.m_pData, c.m_cbData));
    }
    EXPECT_EQ(IsSupportedWindowsBuild(), c.m_bPasses);
  }
}

TEST_F(AppTest, TheTextPathGivesTheLeadingNumber) {
  CRegistryOverride hklm(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(hklm.SetBytes(kCurrentVersion, L"CurrentBuildNumber", REG_SZ, kUnterminated, 64));
  DWORD nBuild = 0;
  ASSERT_TRUE(ReadWindowsBuildNumber(nBuild));
  EXPECT_EQ(nBuild, 22631u);
}

TEST_F(AppTest, AMissingCurrentVersionKeyFailsTheGateAndCreatesNoMutex) {
  CRegistryOverride hklm(HKEY_LOCAL_MACHINE);
  DWORD nBuild = 1;
  EXPECT_FALSE(ReadWindowsBuildNumber(nBuild));
  EXPECT_FALSE(m_app.InitInstance());
  ASSERT_EQ(m_app.m_boxes.size(), 1u);
  EXPECT_EQ(m_app.m_boxes[0].m_text, L"Nimbrel requires Windows 11 or later.");
  EXPECT_EQ(m_app.m_boxes[0].m_nType, 0x10u);
  EXPECT_FALSE(m_app.m_hSingleInstanceMutex);
  EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, kSingleInstanceMutexName), nullptr);
  EXPECT_EQ(m_app.m_wndBand.m_hWnd, nullptr);
}

TEST_F(AppTest, TheGateComesBeforeTheSingleInstanceCheck) {
  CRegistryOverride hklm(HKEY_LOCAL_MACHINE);
  hklm.SetDword(kCurrentVersion, L"CurrentBuildNumber", 21999);
  CUniqueHandle hFirst(CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName));
  ASSERT_TRUE(hFirst);
  EXPECT_FALSE(m_app.InitInstance());
  hFirst.Reset();
  ASSERT_EQ(m_app.m_boxes.size(), 1u);
  EXPECT_EQ(m_app.m_boxes[0].m_text, L"Nimbrel requires Windows 11 or later.");
}

TEST_F(AppTest, ASecondInstanceShowsTheRunningBoxCreatesNoWindowAndLetsGoOfItsHandle) {
  CUniqueHandle hFirst(CreateMutexW(nullptr, TRUE, L"Nimbrel_SingleInstance_Mutex"));
  ASSERT_TRUE(hFirst);
  EXPECT_FALSE(m_app.InitInstance());
  ExpectAlreadyRunningBox(m_app);
  EXPECT_FALSE(m_app.m_hSingleInstanceMutex);
  EXPECT_EQ(m_app.m_wndBand.m_hWnd, nullptr);
  EXPECT_EQ(m_doubles.Log().m_nCalls, 0);
  hFirst.Reset();
  // Our handle was closed: with the first one gone, the name is free again.
  const CUniqueHandle hAgain(CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName));
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST_F(AppTest, ASecondInstanceBringsATopLevelNimbrelWindowForward) {
  const CUniqueHandle hFirst(CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName));
  HWND hOther = CreateWindowExW(0, L"STATIC", L"Nimbrel", WS_POPUP | WS_VISIBLE, 10, 10, 50, 20,
                                nullptr, nullptr, nullptr, nullptr);
  HWND hDecoy = CreateWindowExW(0, L"STATIC", L"Decoy", WS_POPUP | WS_VISIBLE, 80, 10, 50, 20,
                                nullptr, nullptr, nullptr, nullptr);
  SetForegroundWindow(hDecoy);
  EXPECT_FALSE(m_app.InitInstance());
  EXPECT_EQ(GetForegroundWindow(), hOther);
  DestroyWindow(hDecoy);
  DestroyWindow(hOther);
}

TEST_F(AppTest, AFullStartDocksTheBandAsMainWindowWithTheIconAndShowsIt) {
  ASSERT_TRUE(m_app.InitInstance());
  EXPECT_TRUE(m_app.m_boxes.empty());
  EXPECT_TRUE(m_app.m_hSingleInstanceMutex);
  EXPECT_EQ(m_app.m_pMainWnd, &m_app.m_wndBand);
  HWND hBand = m_app.m_wndBand.m_hWnd;
  EXPECT_EQ(GetAncestor(hBand, GA_PARENT), m_taskbar.Handle());
  EXPECT_TRUE(IsWindowVisible(hBand));
  HICON hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME_ICON));
  ASSERT_NE(hIcon, nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(hBand, WM_GETICON, ICON_BIG, 0)), hIcon);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(hBand, WM_GETICON, ICON_SMALL, 0)), hIcon);
  EXPECT_GE(m_doubles.Log().m_nPresents, 1);
}

TEST_F(AppTest, WithoutTheIconResourceTheStartSucceedsAndSetsNoIcon) {
  m_app.m_hInstance = GetModuleHandleW(L"ntdll.dll");
  ASSERT_TRUE(m_app.InitInstance());
  HWND hBand = m_app.m_wndBand.m_hWnd;
  EXPECT_EQ(SendMessageW(hBand, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_EQ(SendMessageW(hBand, WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(AppTest, ClosingTheBandEndsTheLoopWithZeroAndClearsTheMainWindow) {
  ASSERT_TRUE(m_app.InitInstance());
  PostMessageW(m_app.m_wndBand.m_hWnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(m_app.Run(), 0);
  EXPECT_EQ(m_app.m_pMainWnd, nullptr);
  EXPECT_EQ(m_app.m_wndBand.m_hWnd, nullptr);
}

TEST_F(AppTest, AFailedBandStartShowsItsBoxAndEndsTheProcessWithOne) {
  m_doubles.Fail().m_hrCreateCompositionDevice = E_NOTIMPL;
  EXPECT_FALSE(m_app.InitInstance());
  ASSERT_EQ(m_app.m_boxes.size(), 1u);
  EXPECT_EQ(m_app.m_boxes[0].m_text, L"DirectComposition initialization failed!");
  EXPECT_EQ(m_app.m_wndBand.m_hWnd, nullptr);
  EXPECT_EQ(m_app.m_pMainWnd, nullptr);
  EXPECT_EQ(m_app.ExitInstance(), 1);
}

TEST(AppLifetimeTest, TheDestructorClosesTheMutexHandle) {
  {
    StartFixture start;
    ASSERT_TRUE(start.m_app.InitInstance());
    ASSERT_TRUE(start.m_app.m_hSingleInstanceMutex);
  }
  const CUniqueHandle hMutex(OpenMutexW(SYNCHRONIZE, FALSE, kSingleInstanceMutexName));
  EXPECT_FALSE(hMutex);
}

// --- Two real processes -----------------------------------------------------

std::wstring EventName(DWORD nParentPid, LPCWSTR lpszWhat) {
  return L"NimbrelAppTest-" + std::to_wstring(nParentPid) + L"-" + lpszWhat;
}

// Runs only as the child that the test below starts: the first instance.
TEST(AppChildRole, HoldsTheInstanceUntilTold) {
  const std::wstring role = ChildRole();
  if (role.rfind(L"hold:", 0) != 0) {
    GTEST_SKIP() << "child role only";
  }
  const auto nParent = static_cast<DWORD>(std::stoul(role.substr(5)));
  const CUniqueHandle hReady(
      OpenEventW(EVENT_MODIFY_STATE, FALSE, EventName(nParent, L"ready").c_str()));
  const CUniqueHandle hStop(OpenEventW(SYNCHRONIZE, FALSE, EventName(nParent, L"stop").c_str()));
  ASSERT_TRUE(hReady);
  ASSERT_TRUE(hStop);
  StartFixture start;
  ASSERT_TRUE(start.m_app.InitInstance());
  SetEvent(hReady.Get());
  PumpMessagesUntil([&] { return WaitForSingleObject(hStop.Get(), 0) == WAIT_OBJECT_0; },
                    std::chrono::milliseconds(30000));
  PostMessageW(start.m_app.m_wndBand.m_hWnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(start.m_app.Run(), 0);
}

TEST_F(AppTest, WithARealFirstInstanceRunningASecondProcessStopsAndTheFirstGoesOn) {
  const DWORD nPid = GetCurrentProcessId();
  const CUniqueHandle hReady(CreateEventW(nullptr, TRUE, FALSE, EventName(nPid, L"ready").c_str()));
  const CUniqueHandle hStop(CreateEventW(nullptr, TRUE, FALSE, EventName(nPid, L"stop").c_str()));
  CUniqueHandle hChild;
  ASSERT_TRUE(StartChild(L"AppChildRole.HoldsTheInstanceUntilTold",
                         L"hold:" + std::to_wstring(nPid), hChild));
  ASSERT_EQ(WaitForSingleObject(hReady.Get(), 30000), WAIT_OBJECT_0)
      << "the first instance started";

  EXPECT_FALSE(m_app.InitInstance());
  ExpectAlreadyRunningBox(m_app);
  EXPECT_EQ(m_app.m_wndBand.m_hWnd, nullptr);
  EXPECT_FALSE(m_app.m_hSingleInstanceMutex);
  EXPECT_EQ(m_app.ExitInstance(), 1);

  EXPECT_EQ(WaitForSingleObject(hChild.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the first instance is not disturbed";
  SetEvent(hStop.Get());
  ExpectChildEndsWithZero(hChild.Get(), 30000);
}

// --- Start-up time ------------------------------------------------------------

TEST(AppChildRole, MeasuresProcessStartToFirstFrame) {
  if (ChildRole() != L"first-frame") {
    GTEST_SKIP() << "child role only";
  }
  StartFixture start;
  ASSERT_TRUE(start.m_app.InitInstance());
  ASSERT_GE(start.m_doubles.Log().m_nPresents, 1);
  FILETIME ftCreation{}, ftExit{}, ftKernel{}, ftUser{}, ftNow{};
  GetProcessTimes(GetCurrentProcess(), &ftCreation, &ftExit, &ftKernel, &ftUser);
  GetSystemTimeAsFileTime(&ftNow);
  ULARGE_INTEGER created{}, now{};
  created.LowPart = ftCreation.dwLowDateTime;
  created.HighPart = ftCreation.dwHighDateTime;
  now.LowPart = ftNow.dwLowDateTime;
  now.HighPart = ftNow.dwHighDateTime;
  const double fMilliseconds = static_cast<double>(now.QuadPart - created.QuadPart) / 10000.0;
  std::printf("[ first frame ] %.0f ms from process start (test doubles for the surface)\n",
              fMilliseconds);
  EXPECT_LT(fMilliseconds, 10000.0);
}

TEST(AppStartTimeTest, AFreshProcessDrawsItsFirstFrameWithinTenSeconds) {
  CUniqueHandle hChild;
  ASSERT_TRUE(StartChild(L"AppChildRole.MeasuresProcessStartToFirstFrame", L"first-frame", hChild));
  ExpectChildEndsWithZero(hChild.Get(), 60000);
}

}  // namespace
