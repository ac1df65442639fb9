#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "publisher/options/PublisherOptions.h"

namespace {

ParseResult Parse(std::vector<std::wstring_view> args) { return ParsePublisherOptions(args); }

TEST(PublisherOptions, DefaultsChooseTheSourceAutomaticallyInByteUnitsWithDownOnLower) {
  const ParseResult result = Parse({});
  ASSERT_TRUE(result.m_bOk);
  const PublisherOptions& o = result.m_options;
  EXPECT_EQ(o.m_source, SourceKind::Auto);
  EXPECT_EQ(o.m_strRouter, L"");
  EXPECT_EQ(o.m_strAdapter, L"");
  EXPECT_TRUE(o.m_bByteUnits);
  EXPECT_TRUE(o.m_bDownOnLower);
  EXPECT_EQ(o.m_nColorDown, 0x4E9AE6u);
  EXPECT_EQ(o.m_nColorUp, 0x7EE444u);
  EXPECT_EQ(o.m_nIntervalMs, 1000u);
  EXPECT_EQ(o.m_nMaxDown, -1);
  EXPECT_EQ(o.m_nMaxUp, -1);
  EXPECT_FALSE(o.m_bOnce);
  EXPECT_FALSE(o.m_bVerbose);
  EXPECT_FALSE(o.m_bHelp);
  EXPECT_EQ(o.m_strSectionName, std::wstring(L"Fritz!Box-Traffic-MappingObject"));
}

TEST(PublisherOptions, EachOptionSetsItsValue) {
  const ParseResult result =
      Parse({L"--source",   L"adapter",         L"--adapter",      L"Wi-Fi",
             L"--bits",     L"--down-on-upper", L"--color-down",   L"FF0000",
             L"--color-up", L"#00ff80",         L"--interval",     L"250",
             L"--max-down", L"12500000",        L"--max-up",       L"0",
             L"--once",     L"--verbose",       L"--section-name", L"Test-Section"});
  ASSERT_TRUE(result.m_bOk) << std::string(result.m_strError.begin(), result.m_strError.end());
  const PublisherOptions& o = result.m_options;
  EXPECT_EQ(o.m_source, SourceKind::Adapter);
  EXPECT_EQ(o.m_strAdapter, L"Wi-Fi");
  EXPECT_FALSE(o.m_bByteUnits);
  EXPECT_FALSE(o.m_bDownOnLower);
  EXPECT_EQ(o.m_nColorDown, 0xFF0000u);
  EXPECT_EQ(o.m_nColorUp, 0x00FF80u);
  EXPECT_EQ(o.m_nIntervalMs, 250u);
  EXPECT_EQ(o.m_nMaxDown, 12'500'000);
  EXPECT_EQ(o.m_nMaxUp, 0);
  EXPECT_TRUE(o.m_bOnce);
  EXPECT_TRUE(o.m_bVerbose);
  EXPECT_EQ(o.m_strSectionName, L"Test-Section");
}

TEST(PublisherOptions, RouterAndSeedOptions) {
  const ParseResult router =
      Parse({L"--source", L"router", L"--router", L"http://192.168.178.1:49000/igddesc.xml"});
  ASSERT_TRUE(router.m_bOk);
  EXPECT_EQ(router.m_options.m_source, SourceKind::Router);
  EXPECT_EQ(router.m_options.m_strRouter, L"http://192.168.178.1:49000/igddesc.xml");
  const ParseResult autoRouter = Parse({L"--source", L"router", L"--router", L"auto"});
  ASSERT_TRUE(autoRouter.m_bOk);
  EXPECT_EQ(autoRouter.m_options.m_strRouter, L"auto");
  const ParseResult seed = Parse({L"--source", L"demo", L"--seed", L"18446744073709551615"});
  ASSERT_TRUE(seed.m_bOk);
  EXPECT_EQ(seed.m_options.m_nSeed, 18446744073709551615ull);
}

// Without --source, --router and --adapter say where the automatic choice
// looks: the router at that address, only that adapter.
TEST(PublisherOptions, TheAutomaticSourceTakesARouterAndAnAdapter) {
  static constexpr struct {
    std::wstring_view args[4];
    std::size_t nArgs;
    std::wstring_view router;
    std::wstring_view adapter;
  } kCases[] = {
      {{L"--source", L"auto"}, 2, L"", L""},
      {{L"--router", L"http://127.0.0.1:5000/igd.xml"}, 2, L"http://127.0.0.1:5000/igd.xml", L""},
      {{L"--router", L"auto", L"--adapter", L"Wi-Fi"}, 4, L"auto", L"Wi-Fi"},
      {{L"--source", L"auto", L"--adapter", L"Ethernet"}, 4, L"", L"Ethernet"},
  };
  for (const auto& c : kCases) {
    const ParseResult result = Parse(std::vector<std::wstring_view>(c.args, c.args + c.nArgs));
    ASSERT_TRUE(result.m_bOk) << std::string(result.m_strError.begin(), result.m_strError.end());
    EXPECT_EQ(result.m_options.m_source, SourceKind::Auto);
    EXPECT_EQ(result.m_options.m_strRouter, c.router);
    EXPECT_EQ(result.m_options.m_strAdapter, c.adapter);
  }
}

TEST(PublisherOptions, AutostartOnWithoutASourceRegistersTheAutomaticChoice) {
  const ParseResult result = Parse({L"--autostart", L"on"});
  ASSERT_TRUE(result.m_bOk);
  EXPECT_TRUE(result.m_options.m_autostartArgs.empty());
  // What the log-on entry starts with: nothing but the automatic choice.
  const ParseResult started = Parse({});
  EXPECT_EQ(started.m_options.m_source, SourceKind::Auto);
}

TEST(PublisherOptions, StopNeedsNothingElse) {
  const ParseResult result = Parse({L"--stop", L"--source", L"router"});
  ASSERT_TRUE(result.m_bOk);
  EXPECT_TRUE(result.m_options.m_bStop);
  EXPECT_FALSE(Parse({}).m_options.m_bStop);
}

TEST(PublisherOptions, HelpWinsOverEverythingElse) {
  for (std::wstring_view flag : {L"--help", L"-h", L"/?"}) {
    const ParseResult result = Parse({L"--source", L"router", flag});
    EXPECT_TRUE(result.m_bOk);
    EXPECT_TRUE(result.m_options.m_bHelp);
  }
}

struct BadCase {
  std::vector<std::wstring_view> args;
  std::wstring_view mustMention;
};

const std::wstring kLongArgument(5000, L'x');

const BadCase kBadCases[] = {
    {{L"--frobnicate"}, L"unknown option '--frobnicate'"},
    {{L"--source"}, L"'--source' needs a value"},
    {{L"--source", L"wifi"}, L"unknown source 'wifi'; use auto, router, adapter or demo"},
    {{L"--source", L"router"}, L"--router URL"},
    {{L"--source", L"demo", L"--router", L"http://10.0.0.1/x.xml"},
     L"--router only applies to --source router or auto"},
    {{L"--source", L"router", L"--router", L"10.0.0.1"}, L"http:// URL or 'auto'"},
    {{L"--source", L"router", L"--router", L"auto", L"--adapter", L"Ethernet"},
     L"--adapter only applies to --source adapter or auto"},
    {{L"--seed", L"3"}, L"--seed only applies to --source demo"},
    {{L"--source", L"adapter", L"--seed", L"3"}, L"--seed only applies to --source demo"},
    {{L"--seed", L"-1"}, L"--seed needs a whole number"},
    {{L"--seed", L"18446744073709551616"}, L"--seed needs a whole number"},
    {{L"--color-down", L"12345"}, L"--color-down needs six hex digits RRGGBB, not '12345'"},
    {{L"--color-up", L"GG0000"}, L"--color-up needs six hex digits"},
    {{L"--color-up", L"+12345"}, L"--color-up needs six hex digits"},
    {{L"--interval", L"99"}, L"--interval needs milliseconds from 100 to 60000"},
    {{L"--interval", L"60001"}, L"--interval needs milliseconds from 100 to 60000"},
    {{L"--interval", L"1e3"}, L"--interval needs milliseconds"},
    {{L"--interval", L""}, L"--interval needs milliseconds"},
    {{L"--max-down", L"-5"}, L"--max-down needs bytes per second"},
    {{L"--max-up", L"9223372036854775808"}, L"--max-up needs bytes per second"},
    {{L"--max-up"}, L"'--max-up' needs a value"},
    {{L"--section-name", L""}, L"'--section-name' needs a value"},
    {{L"--interval", L"\u0661\u0660\u0660"}, L"--interval needs milliseconds"},
    {{L"--log-folder"}, L"'--log-folder' needs a value"},
    // --autostart on checks the options it would register.
    {{L"--autostart", L"on", L"--source", L"router"}, L"--router URL"},
    {{L"--autostart", L"on", L"--interval", L"5"}, L"--interval needs milliseconds"},
    {{L"--autostart", L"on", L"--once"}, L"not --once, --stop or --version"},
    {{L"--stop", L"--autostart", L"on"}, L"not --once, --stop or --version"},
    {{L"--autostart", L"on", L"--version"}, L"not --once, --stop or --version"},
    {{L"--autostart", L"off", L"--bits"}, L"only --autostart on takes other options"},
    {{L"--source", L"adapter", L"--autostart"}, L"only --autostart on takes other options"},
    {{L"--autostart", L"on", L"--autostart", L"off"}, L"--autostart is given twice"},
    {{L"--fro\nbnicate\x1b[2J"}, L"unknown option '--fro?bnicate?[2J'"},
    {{L"--source", L"wifi\r\n\u2028 6"}, L"unknown source 'wifi??? 6'"},
    {{kLongArgument}, L"unknown option 'xxxxxxxxxxxxxxxx"},
    {{kLongArgument}, L"xxx...'; run with --help"},
};

TEST(PublisherOptions, MistakesGiveOneLineSayingWhatAndWhatToDo) {
  for (const BadCase& c : kBadCases) {
    const ParseResult result = Parse(c.args);
    EXPECT_FALSE(result.m_bOk) << std::string(c.mustMention.begin(), c.mustMention.end());
    EXPECT_NE(result.m_strError.find(c.mustMention), std::wstring::npos)
        << std::string(result.m_strError.begin(), result.m_strError.end());
    EXPECT_EQ(result.m_strError.find(L'\n'), std::wstring::npos);
  }
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(PublisherOptions, EveryOptionThatTakesAValueSaysSoWhenItIsTheLastArgument) {
  const struct {
    std::vector<std::wstring_view> before;  // what makes the option apply
    std::wstring_view option;
    std::wstring_view value;
    bool bEmptyIsMissing;  // an empty value counts as none
  } kCases[] = {
      {{}, L"--source", L"demo", false},
      {{L"--source", L"demo"}, L"--seed", L"3", false},
      {{L"--source", L"adapter"}, L"--adapter", L"Wi-Fi", true},
      {{L"--source", L"router"}, L"--router", L"auto", true},
      {{}, L"--color-down", L"112233", false},
      {{}, L"--color-up", L"112233", false},
      {{}, L"--interval", L"250", false},
      {{}, L"--max-down", L"1000", false},
      {{}, L"--max-up", L"1000", false},
      {{}, L"--section-name", L"S", true},
      {{}, L"--log-folder", L"C:\\t", true},
  };
  for (const auto& c : kCases) {
    const std::wstring strMissing =
        L"option '" + std::wstring(c.option) + L"' needs a value; see --help";
    std::vector<std::wstring_view> args = c.before;
    args.push_back(c.option);
    const ParseResult last = Parse(args);
    EXPECT_FALSE(last.m_bOk) << Narrow(std::wstring(c.option));
    EXPECT_EQ(last.m_strError, strMissing);
    // Also as what --autostart on would register.
    std::vector<std::wstring_view> autostart = {L"--autostart", L"on"};
    autostart.insert(autostart.end(), args.begin(), args.end());
    EXPECT_EQ(Parse(autostart).m_strError, strMissing);

    // Its value as the very last argument, or before another option.
    args.push_back(c.value);
    EXPECT_TRUE(Parse(args).m_bOk) << Narrow(Parse(args).m_strError);
    args.push_back(L"--bits");
    EXPECT_TRUE(Parse(args).m_bOk) << Narrow(Parse(args).m_strError);

    std::vector<std::wstring_view> empty = c.before;
    empty.insert(empty.end(), {c.option, L""});
    const ParseResult emptied = Parse(empty);
    EXPECT_FALSE(emptied.m_bOk) << Narrow(std::wstring(c.option));
    EXPECT_EQ(emptied.m_strError == strMissing, c.bEmptyIsMissing) << Narrow(emptied.m_strError);
  }
}

TEST(PublisherOptions, TheIntervalRunsFrom100To60000Milliseconds) {
  ASSERT_EQ(kMinIntervalMs, 100u);
  ASSERT_EQ(kMaxIntervalMs, 60'000u);
  const std::pair<std::wstring_view, std::uint32_t> kTaken[] = {
      {L"100", 100}, {L"101", 101}, {L"59999", 59'999}, {L"60000", 60'000}, {L"0100", 100}};
  for (const auto& [text, nMs] : kTaken) {
    const ParseResult result = Parse({L"--interval", text});
    ASSERT_TRUE(result.m_bOk) << Narrow(std::wstring(text));
    EXPECT_EQ(result.m_options.m_nIntervalMs, nMs);
  }
  for (const std::wstring_view text : {L"99", L"60001", L"0", L"4294967396"}) {
    EXPECT_EQ(
        Parse({L"--interval", text}).m_strError,
        L"--interval needs milliseconds from 100 to 60000, not '" + std::wstring(text) + L"'");
  }
}

TEST(PublisherOptions, ANumberOfUpTo20CharactersIsReadAndNoLonger) {
  const struct {
    std::vector<std::wstring_view> args;
    bool bOk;
  } kCases[] = {
      {{L"--source", L"demo", L"--seed", L"0000000000000000001"}, true},     // 19
      {{L"--source", L"demo", L"--seed", L"00000000000000000001"}, true},    // 20
      {{L"--source", L"demo", L"--seed", L"000000000000000000001"}, false},  // 21
      {{L"--max-down", L"9223372036854775807"}, true},
      {{L"--max-down", L"09223372036854775807"}, true},
      {{L"--max-down", L"009223372036854775807"}, false},
      {{L"--max-down", L"9223372036854775808"}, false},
      {{L"--interval", L"00000000000000000100"}, true},
      {{L"--interval", L"000000000000000000100"}, false},
      {{L"--color-up", L"#112233"}, true},
      {{L"--color-up", L"1122334"}, false},
      {{L"--color-up", L"#12345"}, false},
  };
  for (const auto& c : kCases) {
    const ParseResult result = Parse(c.args);
    EXPECT_EQ(result.m_bOk, c.bOk)
        << Narrow(std::wstring(c.args.back())) << ": " << Narrow(result.m_strError);
  }
  EXPECT_EQ(Parse({L"--seed", L"00000000000000000001"}).m_options.m_nSeed, 1u);
  EXPECT_EQ(Parse({L"--max-down", L"09223372036854775807"}).m_options.m_nMaxDown, INT64_MAX);
}

TEST(PublisherOptions, UsageListsEveryUserOptionButNotTheTestOnes) {
  const std::wstring_view usage = PublisherUsage();
  for (std::wstring_view option :
       {L"--source", L"--seed", L"--adapter", L"--router", L"--bits", L"--down-on-upper",
        L"--color-down", L"--color-up", L"--interval", L"--max-down", L"--max-up", L"--once",
        L"--verbose", L"--stop", L"--autostart on", L"--autostart off", L"--version", L"--help"}) {
    EXPECT_NE(usage.find(option), std::wstring_view::npos);
  }
  EXPECT_EQ(usage.find(L"--section-name"), std::wstring_view::npos);
  EXPECT_EQ(usage.find(L"--log-folder"), std::wstring_view::npos);
}

TEST(PublisherOptions, AutostartOnKeepsExactlyTheOtherArgumentsInTheirOrder) {
  struct Case {
    std::vector<std::wstring_view> args;
    AutostartAction action;
    std::vector<std::wstring> kept;
  };
  const Case kCases[] = {
      {{L"--autostart"}, AutostartAction::Show, {}},
      {{L"--autostart", L"off"}, AutostartAction::Off, {}},
      {{L"--autostart", L"on"}, AutostartAction::On, {}},
      {{L"--autostart", L"on", L"--source", L"router", L"--router", L"auto"},
       AutostartAction::On,
       {L"--source", L"router", L"--router", L"auto"}},
      // Anywhere on the line; a value that reads "on" stays a value.
      {{L"--source", L"adapter", L"--autostart", L"on", L"--adapter", L"on", L"--bits"},
       AutostartAction::On,
       {L"--source", L"adapter", L"--adapter", L"on", L"--bits"}},
      {{L"--color-up", L"00FF00", L"--autostart", L"on", L"--section-name", L"S"},
       AutostartAction::On,
       {L"--color-up", L"00FF00", L"--section-name", L"S"}},
  };
  for (const Case& c : kCases) {
    const ParseResult result = Parse(c.args);
    ASSERT_TRUE(result.m_bOk) << std::string(result.m_strError.begin(), result.m_strError.end());
    EXPECT_EQ(result.m_options.m_autostart, c.action);
    EXPECT_EQ(result.m_options.m_autostartArgs, c.kept);
  }
}

TEST(PublisherOptions, VersionAndTheTestsLogFolder) {
  EXPECT_TRUE(Parse({L"--version", L"--source", L"router"}).m_options.m_bVersion);
  EXPECT_TRUE(Parse({L"--version"}).m_bOk);
  EXPECT_EQ(Parse({L"--log-folder", L"C:\\t"}).m_options.m_strLogFolder, L"C:\\t");
  // A mistake keeps what came before it: the windowless publisher logs the
  // mistake where it was told to.
  const ParseResult bad = Parse({L"--log-folder", L"C:\\t", L"--interval", L"5"});
  EXPECT_FALSE(bad.m_bOk);
  EXPECT_EQ(bad.m_options.m_strLogFolder, L"C:\\t");
}

// A colour given on the command line is the user's; the other one follows
// the taskbar's look.
TEST(PublisherOptions, ColoursNotGivenFollowTheTaskbarAndGivenOnesStay) {
  static constexpr TaskbarTheme kLight{true, false, 0};
  static constexpr TaskbarTheme kAccent{false, true, 0x0000FF};
  const struct {
    std::vector<std::wstring_view> args;
    TaskbarTheme theme;
    bool bFollows;
    LineColors expected;
  } kCases[] = {
      {{}, kLight, true, kColorsOnLight},
      {{}, kAccent, true, ThemeLineColors(kAccent)},
      {{L"--color-up", L"112233"}, kLight, true, {kColorsOnLight.m_nDown, 0x112233}},
      {{L"--color-down", L"445566"}, kAccent, true, {0x445566, ThemeLineColors(kAccent).m_nUp}},
      {{L"--color-down", L"445566", L"--color-up", L"112233"}, kLight, false, {0x445566, 0x112233}},
  };
  for (const auto& c : kCases) {
    ParseResult result = Parse(c.args);
    ASSERT_TRUE(result.m_bOk);
    EXPECT_EQ(FollowsTaskbarTheme(result.m_options), c.bFollows);
    ApplyTaskbarTheme(result.m_options, c.theme);
    EXPECT_EQ(result.m_options.m_nColorDown, c.expected.m_nDown);
    EXPECT_EQ(result.m_options.m_nColorUp, c.expected.m_nUp);
  }
}

}  // namespace
