// The real Nimbrel.exe under Wine, driven from outside. Wine has no
// DirectComposition, so a start that gets past the gate and the single
// instance ends with the surface's box: that is the program's real
// situation here, and one of the cases.

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "common/UniqueHandle.h"
#include "support/ProgramRun.h"

namespace {

constexpr DWORD kBoxTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 10000;
constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// Sets the build number the whole Wine prefix reports, and puts the old
// value back afterwards (this is the test prefix, not anyone's real system).
class CBuildNumberOverride {
 public:
  explicit CBuildNumberOverride(const wchar_t* pszBuild) {
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      m_hKey.Put()) != ERROR_SUCCESS) {
      m_hKey.Reset();
      return;
    }
    DWORD cb = 0;
    if (RegQueryValueExW(m_hKey.Get(), L"CurrentBuildNumber", nullptr, &m_dwType, nullptr, &cb) ==
        ERROR_SUCCESS) {
      m_saved.resize(cb);
      RegQueryValueExW(m_hKey.Get(), L"CurrentBuildNumber", nullptr, &m_dwType, m_saved.data(),
                       &cb);
      m_bHadValue = true;
    }
    const std::wstring text = pszBuild;
    m_bSet =
        RegSetValueExW(m_hKey.Get(), L"CurrentBuildNumber", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  ~CBuildNumberOverride() {
    if (!m_hKey) {
      return;
    }
    if (m_bHadValue) {
      RegSetValueExW(m_hKey.Get(), L"CurrentBuildNumber", 0, m_dwType, m_saved.data(),
                     static_cast<DWORD>(m_saved.size()));
    } else {
      RegDeleteValueW(m_hKey.Get(), L"CurrentBuildNumber");
    }
  }
  [[nodiscard]] bool IsSet() const { return m_bSet; }

 private:
  CUniqueKey m_hKey;
  DWORD m_dwType = REG_NONE;
  std::vector<BYTE> m_saved;
  bool m_bHadValue = false;
  bool m_bSet = false;
};

// Starts the program and waits for its box, which must say pszText.
void StartUntilBox(CProgramRun& run, const wchar_t* pszText, ProgramBox& box) {
  ASSERT_TRUE(run.Start());
  box = run.WaitForBox(kBoxTimeoutMs);
  ASSERT_NE(box.m_hWnd, nullptr);
  EXPECT_EQ(box.m_caption, L"Nimbrel");
  ASSERT_EQ(box.m_text, pszText);
}

TEST(ProgramTest, OnABuildBelowWindows11ItShowsItsBoxAndEnds) {
  CBuildNumberOverride build(L"21999");
  ASSERT_TRUE(build.IsSet());
  CProgramRun run;
  ProgramBox box;
  ASSERT_NO_FATAL_FAILURE(StartUntilBox(run, L"Nimbrel requires Windows 11 or later.", box));
  CProgramRun::Dismiss(box);
  EXPECT_EQ(run.WaitForExit(kExitTimeoutMs), 1u);
}

TEST(ProgramTest, WithoutDirectCompositionItShowsItsBoxClosesAndEndsNonZero) {
  CProgramRun run;
  ProgramBox box;
  ASSERT_NO_FATAL_FAILURE(StartUntilBox(run, L"DirectComposition initialization failed!", box));
  EXPECT_TRUE(run.IsRunning()) << "the box waits for the user";
  CProgramRun::Dismiss(box);
  EXPECT_EQ(run.WaitForExit(kExitTimeoutMs), 1u) << "no inert band is left behind";
}

TEST(ProgramTest, ASecondInstanceShowsTheRunningBoxAndEndsWhileTheFirstGoesOn) {
  // The first instance holds the single-instance mutex while its box is up.
  CProgramRun first;
  ProgramBox firstBox;
  ASSERT_NO_FATAL_FAILURE(
      StartUntilBox(first, L"DirectComposition initialization failed!", firstBox));

  CProgramRun second;
  ProgramBox secondBox;
  ASSERT_NO_FATAL_FAILURE(StartUntilBox(second, L"Nimbrel already running!", secondBox));
  CProgramRun::Dismiss(secondBox);
  EXPECT_EQ(second.WaitForExit(kExitTimeoutMs), 1u);
  EXPECT_TRUE(first.IsRunning()) << "the first instance is not disturbed";

  CProgramRun::Dismiss(firstBox);
  EXPECT_EQ(first.WaitForExit(kExitTimeoutMs), 1u);
}

}  // namespace
