#pragma once
// The publisher's command line. Parsing is pure so every option and every
// mistake a user can make is tested natively.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/SharedTrafficRecord.h"
#include "publisher/options/ThemeColors.h"

// Auto: the router when one answers, else this PC's adapters.
enum class SourceKind { Auto, Demo, Adapter, Router };
enum class AutostartAction { None, Show, On, Off };

inline constexpr std::uint64_t kDefaultColorDown = 0x4E9AE6;  // red 78, green 154, blue 230
inline constexpr std::uint64_t kDefaultColorUp = 0x7EE444;    // red 126, green 228, blue 68
inline constexpr std::uint32_t kDefaultIntervalMs = 1000;
inline constexpr std::uint32_t kMinIntervalMs = 100;
inline constexpr std::uint32_t kMaxIntervalMs = 60'000;

struct PublisherOptions {
  SourceKind m_source = SourceKind::Auto;
  std::uint64_t m_nSeed = 1;
  std::wstring m_strAdapter;  // empty: every adapter that is up
  std::wstring m_strRouter;   // description URL, or "auto"; with Auto, empty means "auto"
  bool m_bByteUnits = true;
  bool m_bDownOnLower = true;
  std::uint64_t m_nColorDown = kDefaultColorDown;
  std::uint64_t m_nColorUp = kDefaultColorUp;
  // A colour not given follows the taskbar's look (ApplyTaskbarTheme).
  bool m_bColorDownGiven = false;
  bool m_bColorUpGiven = false;
  std::uint32_t m_nIntervalMs = kDefaultIntervalMs;
  std::int64_t m_nMaxDown = -1;  // -1: the source's own full scale
  std::int64_t m_nMaxUp = -1;
  bool m_bOnce = false;
  bool m_bVerbose = false;
  bool m_bHelp = false;
  bool m_bStop = false;  // ask the running publisher to end
  bool m_bVersion = false;
  AutostartAction m_autostart = AutostartAction::None;
  std::vector<std::wstring> m_autostartArgs;  // On: the options to start with at log-on
  // Not in --help: for tests.
  std::wstring m_strSectionName = kTrafficSectionName;
  std::wstring m_strLogFolder;  // empty: the windowless publisher's usual folder

  bool operator==(const PublisherOptions&) const = default;
};

struct ParseResult {
  bool m_bOk = false;
  PublisherOptions m_options;  // on a mistake: what was read before it
  std::wstring m_strError;     // one line, says what is wrong and what to do
};

// Arguments without the program name.
[[nodiscard]] ParseResult ParsePublisherOptions(const std::vector<std::wstring_view>& args);

[[nodiscard]] std::wstring_view PublisherUsage() noexcept;

// Whether the taskbar's look decides a colour at all.
[[nodiscard]] inline bool FollowsTaskbarTheme(const PublisherOptions& options) noexcept {
  return !options.m_bColorDownGiven || !options.m_bColorUpGiven;
}
// The colours not given on the command line, for this look of the taskbar.
void ApplyTaskbarTheme(PublisherOptions& options, const TaskbarTheme& theme) noexcept;
