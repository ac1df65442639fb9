// Colours that follow the taskbar's look, against a redirected
// HKEY_CURRENT_USER: what is read from it, and a real WM_SETTINGCHANGE
// broadcast recolouring a running publisher's next record at once.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/UniqueHandle.h"
#include "publisher/main/PublisherMain.h"
#include "publisher/options/PublisherOptions.h"
#include "publisher/system/PublisherStop.h"
#include "publisher/system/TaskbarTheme.h"
#include "support/TestSupport.h"
#include "support/RecordingSink.h"
#include "support/SectionReader.h"

namespace {

struct ThemeValues {
  std::optional<DWORD> nLight;
  std::optional<DWORD> nPrevalence;
  std::optional<DWORD> nMenuAccent;  // 0xAABBGGRR
  std::optional<DWORD> nDwmAccent;
};

void Write(CRegistryOverride& user, const ThemeValues& values) {
  if (values.nLight) user.SetDword(kPersonalizeKey, L"SystemUsesLightTheme", *values.nLight);
  if (values.nPrevalence) user.SetDword(kPersonalizeKey, L"ColorPrevalence", *values.nPrevalence);
  if (values.nMenuAccent)
    user.SetDword(kExplorerAccentKey, L"AccentColorMenu", *values.nMenuAccent);
  if (values.nDwmAccent) user.SetDword(kDwmKey, L"AccentColor", *values.nDwmAccent);
}

TEST(TaskbarTheme, ReadsLightDarkAndTheTaskbarsAccentFromTheCurrentUser) {
  static const struct {
    const char* name;
    ThemeValues values;
    TaskbarTheme expected;
  } kCases[] = {
      {"nothing set", {}, {false, false, 0}},
      {"dark", {0, 0, {}, {}}, {false, false, 0}},
      {"light", {1, 0, 0xFF9E5A00, {}}, {true, false, 0}},
      {"accent, Start's shade", {0, 1, 0xFF9E5A00, 0xFFD47800}, {false, true, 0x005A9E}},
      {"accent, DWM's only", {0, 1, {}, 0xFF2311E8}, {false, true, 0xE81123}},
      {"accent on, no colour anywhere", {1, 1, {}, {}}, {true, false, 0}},
      {"light, the accent switch left on", {1, 1, 0xFF9E5A00, {}}, {true, true, 0x005A9E}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    CRegistryOverride user(HKEY_CURRENT_USER);
    ASSERT_TRUE(user.IsActive());
    Write(user, c.values);
    EXPECT_EQ(ReadTaskbarTheme(), c.expected);
  }
}

struct PublisherRun {
  std::vector<std::wstring> args;
  CRecordingSink output;
  int nExit = -1;
};

DWORD WINAPI RunPublisher(void* pParam) {
  auto* pRun = static_cast<PublisherRun*>(pParam);
  const std::vector<std::wstring_view> args(pRun->args.begin(), pRun->args.end());
  pRun->nExit = PublisherMain(ParsePublisherOptions(args), pRun->output);
  return 0;
}

std::optional<SharedTrafficRecord> WaitForColors(const std::wstring& strName, LineColors colors,
                                                 DWORD dwTimeoutMs) {
  const ULONGLONG nEnd = GetTickCount64() + dwTimeoutMs;
  std::optional<SharedTrafficRecord> record;
  do {
    record = ReadSection(strName);
    if (record && record->Sequence != 0 && record->ColorDown == colors.m_nDown &&
        record->ColorUp == colors.m_nUp) {
      return record;
    }
    Sleep(10);
  } while (GetTickCount64() < nEnd);
  return std::nullopt;
}

void BroadcastThemeChange() {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                      reinterpret_cast<LPARAM>(kThemeChangeSection), SMTO_ABORTIFHUNG, 5000,
                      &result);
}

class ThemeFollow : public ::testing::Test {
 protected:
  void Start(std::vector<std::wstring> extra) {
    ASSERT_TRUE(m_user.IsActive());
    m_strName = UniqueSectionName(L"ThemeFollow");
    // One record a minute: a change seen sooner came from the broadcast.
    m_run.args = {L"--source", L"demo", L"--interval", L"60000", L"--section-name", m_strName};
    m_run.args.insert(m_run.args.end(), extra.begin(), extra.end());
    m_hThread.Reset(CreateThread(nullptr, 0, RunPublisher, &m_run, 0, nullptr));
    ASSERT_TRUE(m_hThread);
  }
  void TearDown() override {
    if (!m_hThread) {
      return;
    }
    CRecordingSink stop;
    EXPECT_EQ(StopRunningPublisher(m_strName, stop), 0);
    EXPECT_EQ(WaitForSingleObject(m_hThread.Get(), 10'000), WAIT_OBJECT_0);
    m_hThread.Reset();
    EXPECT_EQ(m_run.nExit, 0);
  }
  // Changes the look, tells everyone, and gives the time the new colours took.
  std::optional<ULONGLONG> Switch(const ThemeValues& values, LineColors expected) {
    const std::optional<SharedTrafficRecord> before = ReadSection(m_strName);
    Write(m_user, values);
    const ULONGLONG nStart = GetTickCount64();
    BroadcastThemeChange();
    const std::optional<SharedTrafficRecord> after = WaitForColors(m_strName, expected, 10'000);
    if (!after) {
      const std::optional<SharedTrafficRecord> seen = ReadSection(m_strName);
      ADD_FAILURE() << std::hex << "wanted " << expected.m_nDown << "/" << expected.m_nUp
                    << ", the record has " << (seen ? seen->ColorDown : 0) << "/"
                    << (seen ? seen->ColorUp : 0);
      return std::nullopt;
    }
    EXPECT_NE(after->Sequence, before ? before->Sequence : 0) << "a new record, not an edit";
    if (before) {
      EXPECT_EQ(after->RateDown, before->RateDown) << "the same figures, recoloured";
    }
    return GetTickCount64() - nStart;
  }

  CRegistryOverride m_user{HKEY_CURRENT_USER};
  std::wstring m_strName;
  PublisherRun m_run;
  CUniqueHandle m_hThread;
};

TEST_F(ThemeFollow, LightDarkAndAccentReachTheRecordAsSoonAsWindowsTellsOfThem) {
  Write(m_user, {0, 0, 0xFF9E5A00, {}});
  Start({});
  ASSERT_TRUE(WaitForColors(m_strName, kColorsOnDark, 10'000));

  const std::optional<ULONGLONG> light = Switch({1, {}, {}, {}}, kColorsOnLight);
  ASSERT_TRUE(light) << "the light taskbar's colours never came";
  const std::optional<ULONGLONG> accent =
      Switch({0, 1, {}, {}}, ThemeLineColors({false, true, 0x005A9E}));
  ASSERT_TRUE(accent) << "the accent's colours never came";
  const std::optional<ULONGLONG> dark = Switch({0, 0, {}, {}}, kColorsOnDark);
  ASSERT_TRUE(dark) << "the dark taskbar's colours never came back";
  std::printf("theme switch to record: light %llu ms, accent %llu ms, dark %llu ms\n",
              static_cast<unsigned long long>(*light), static_cast<unsigned long long>(*accent),
              static_cast<unsigned long long>(*dark));
}

TEST_F(ThemeFollow, AColourGivenOnTheCommandLineStaysWhateverTheLook) {
  Write(m_user, {0, 0, {}, {}});
  Start({L"--color-up", L"112233"});
  ASSERT_TRUE(WaitForColors(m_strName, {kColorsOnDark.m_nDown, 0x112233}, 10'000));
  EXPECT_TRUE(Switch({1, {}, {}, {}}, {kColorsOnLight.m_nDown, 0x112233}));
}

}  // namespace
