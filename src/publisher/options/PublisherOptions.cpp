#include "publisher/options/PublisherOptions.h"

#include <charconv>
#include <limits>
#include <optional>

#include "publisher/output/LineSanitizer.h"

namespace {

std::optional<std::uint64_t> ParseUnsigned(std::wstring_view text, int nBase, std::uint64_t nMax) {
  if (text.empty() || text.size() > 20) {
    return std::nullopt;
  }
  std::string narrow;
  for (wchar_t ch : text) {
    if (ch > 0x7F) {
      return std::nullopt;
    }
    narrow.push_back(static_cast<char>(ch));
  }
  std::uint64_t nValue = 0;
  const char* pEnd = narrow.data() + narrow.size();
  const auto [ptr, ec] = std::from_chars(narrow.data(), pEnd, nValue, nBase);
  if (ec != std::errc() || ptr != pEnd || nValue > nMax) {
    return std::nullopt;
  }
  return nValue;
}

std::optional<std::uint64_t> ParseColor(std::wstring_view text) {
  if (!text.empty() && text.front() == L'#') {
    text.remove_prefix(1);
  }
  if (text.size() != 6) {
    return std::nullopt;
  }
  return ParseUnsigned(text, 16, 0xFFFFFF);
}

// An argument echoed in an error may hold a line break or a terminal escape,
// and be of any length; the error stays one short line.
constexpr std::size_t kMaxEchoedArgument = 100;

std::wstring Quoted(std::wstring_view text) {
  return L"'" + SanitizeConsoleLine(text, kMaxEchoedArgument) + L"'";
}

ParseResult Fail(const PublisherOptions& options, std::wstring strError) {
  ParseResult result;
  result.m_options = options;
  result.m_strError = std::move(strError);
  return result;
}

bool IsAutostartMode(std::wstring_view arg) { return arg == L"on" || arg == L"off"; }

// --autostart on registers exactly the other arguments, so they must make a
// publisher that runs on its own until stopped.
ParseResult CheckAutostartOn(const PublisherOptions& options, const ParseResult& registered) {
  if (!registered.m_bOk) {
    return Fail(options, registered.m_strError);
  }
  const PublisherOptions& started = registered.m_options;
  if (started.m_bStop || started.m_bOnce || started.m_bVersion) {
    return Fail(options,
                L"--autostart on takes the options to start with at log-on; "
                L"not --once, --stop or --version");
  }
  ParseResult result;
  result.m_bOk = true;
  result.m_options = options;
  return result;
}

}  // namespace

ParseResult ParsePublisherOptions(const std::vector<std::wstring_view>& args) {
  ParseResult result;
  PublisherOptions& options = result.m_options;
  bool bSeedGiven = false;
  std::vector<std::wstring_view> startArgs;  // everything but --autostart and its mode
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::size_t nFirst = i;
    const std::wstring_view arg = args[i];
    const auto value = [&]() -> std::optional<std::wstring_view> {
      if (i + 1 >= args.size()) {
        return std::nullopt;
      }
      return args[++i];
    };
    const auto missing = [&] {
      return Fail(options, L"option " + Quoted(arg) + L" needs a value; see --help");
    };

    if (arg == L"--autostart") {
      if (options.m_autostart != AutostartAction::None) {
        return Fail(options, L"--autostart is given twice");
      }
      options.m_autostart = AutostartAction::Show;
      if (i + 1 < args.size() && IsAutostartMode(args[i + 1])) {
        options.m_autostart = args[++i] == L"on" ? AutostartAction::On : AutostartAction::Off;
      }
      continue;
    }

    if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
      options.m_bHelp = true;
    } else if (arg == L"--version") {
      options.m_bVersion = true;
    } else if (arg == L"--bits") {
      options.m_bByteUnits = false;
    } else if (arg == L"--down-on-upper") {
      options.m_bDownOnLower = false;
    } else if (arg == L"--once") {
      options.m_bOnce = true;
    } else if (arg == L"--stop") {
      options.m_bStop = true;
    } else if (arg == L"--verbose") {
      options.m_bVerbose = true;
    } else if (arg == L"--source") {
      const auto text = value();
      if (!text) {
        return missing();
      }
      if (*text == L"auto") {
        options.m_source = SourceKind::Auto;
      } else if (*text == L"demo") {
        options.m_source = SourceKind::Demo;
      } else if (*text == L"adapter") {
        options.m_source = SourceKind::Adapter;
      } else if (*text == L"router") {
        options.m_source = SourceKind::Router;
      } else {
        return Fail(options,
                    L"unknown source " + Quoted(*text) + L"; use auto, router, adapter or demo");
      }
    } else if (arg == L"--seed") {
      const auto text = value();
      if (!text) {
        return missing();
      }
      const auto nSeed = ParseUnsigned(*text, 10, std::numeric_limits<std::uint64_t>::max());
      if (!nSeed) {
        return Fail(options, L"--seed needs a whole number, not " + Quoted(*text));
      }
      options.m_nSeed = *nSeed;
      bSeedGiven = true;
    } else if (arg == L"--adapter") {
      const auto text = value();
      if (!text || text->empty()) {
        return missing();
      }
      options.m_strAdapter = *text;
    } else if (arg == L"--router") {
      const auto text = value();
      if (!text || text->empty()) {
        return missing();
      }
      if (*text != L"auto" && text->substr(0, 7) != L"http://") {
        return Fail(
            options,
            L"--router needs the device description's http:// URL or 'auto', not " + Quoted(*text));
      }
      options.m_strRouter = *text;
    } else if (arg == L"--color-down" || arg == L"--color-up") {
      const auto text = value();
      if (!text) {
        return missing();
      }
      const auto nColor = ParseColor(*text);
      if (!nColor) {
        return Fail(options, std::wstring(arg) +
                                 std::wstring(L" needs six hex digits RRGGBB, not ") +
                                 Quoted(*text));
      }
      const bool bDown = arg == L"--color-down";
      (bDown ? options.m_nColorDown : options.m_nColorUp) = *nColor;
      (bDown ? options.m_bColorDownGiven : options.m_bColorUpGiven) = true;
    } else if (arg == L"--interval") {
      const auto text = value();
      if (!text) {
        return missing();
      }
      const auto nMs = ParseUnsigned(*text, 10, std::numeric_limits<std::uint32_t>::max());
      if (!nMs || *nMs < kMinIntervalMs || *nMs > kMaxIntervalMs) {
        return Fail(options, L"--interval needs milliseconds from " +
                                 std::to_wstring(kMinIntervalMs) + L" to " +
                                 std::to_wstring(kMaxIntervalMs) + L", not " + Quoted(*text));
      }
      options.m_nIntervalMs = static_cast<std::uint32_t>(*nMs);
    } else if (arg == L"--max-down" || arg == L"--max-up") {
      const auto text = value();
      if (!text) {
        return missing();
      }
      const auto nMax = ParseUnsigned(
          *text, 10, static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()));
      if (!nMax) {
        return Fail(options, std::wstring(arg) +
                                 std::wstring(L" needs bytes per second as a whole number, not ") +
                                 Quoted(*text));
      }
      (arg == L"--max-down" ? options.m_nMaxDown : options.m_nMaxUp) =
          static_cast<std::int64_t>(*nMax);
    } else if (arg == L"--section-name") {
      const auto text = value();
      if (!text || text->empty()) {
        return missing();
      }
      options.m_strSectionName = *text;
    } else if (arg == L"--log-folder") {
      const auto text = value();
      if (!text || text->empty()) {
        return missing();
      }
      options.m_strLogFolder = *text;
    } else {
      return Fail(options, L"unknown option " + Quoted(arg) + L"; run with --help for the list");
    }
    startArgs.insert(startArgs.end(), args.begin() + static_cast<std::ptrdiff_t>(nFirst),
                     args.begin() + static_cast<std::ptrdiff_t>(i + 1));
  }

  if (options.m_bHelp) {
    result.m_bOk = true;
    return result;
  }
  if (options.m_autostart == AutostartAction::On) {
    options.m_autostartArgs.assign(startArgs.begin(), startArgs.end());
    return CheckAutostartOn(options, ParsePublisherOptions(startArgs));
  }
  if (options.m_autostart != AutostartAction::None && !startArgs.empty()) {
    return Fail(options, L"only --autostart on takes other options");
  }
  if (options.m_autostart != AutostartAction::None || options.m_bVersion || options.m_bStop) {
    result.m_bOk = true;
    return result;
  }
  if (options.m_source == SourceKind::Router && options.m_strRouter.empty()) {
    return Fail(
        options,
        L"--source router needs --router URL (the router's device description) or --router auto");
  }
  const bool bAuto = options.m_source == SourceKind::Auto;
  if (options.m_source != SourceKind::Router && !bAuto && !options.m_strRouter.empty()) {
    return Fail(options, L"--router only applies to --source router or auto");
  }
  if (options.m_source != SourceKind::Adapter && !bAuto && !options.m_strAdapter.empty()) {
    return Fail(options, L"--adapter only applies to --source adapter or auto");
  }
  if (options.m_source != SourceKind::Demo && bSeedGiven) {
    return Fail(options, L"--seed only applies to --source demo");
  }
  result.m_bOk = true;
  return result;
}

void ApplyTaskbarTheme(PublisherOptions& options, const TaskbarTheme& theme) noexcept {
  const LineColors colors = ThemeLineColors(theme);
  if (!options.m_bColorDownGiven) {
    options.m_nColorDown = colors.m_nDown;
  }
  if (!options.m_bColorUpGiven) {
    options.m_nColorUp = colors.m_nUp;
  }
}

std::wstring_view PublisherUsage() noexcept {
  return L"Usage: nimbrel-publisher [options]\n"
         L"       nimbrel-publisherw [options]   the same without a console window\n"
         L"Publishes traffic figures for the Nimbrel taskbar band until stopped (Ctrl+C, "
         L"--stop).\n"
         L"\n"
         L"  --source auto|router|adapter|demo  where the figures come from (default: auto,\n"
         L"                        the router when one answers, else this PC's adapters, looking\n"
         L"                        for the router again every 5 minutes; demo: made-up traffic)\n"
         L"  --seed N              demo: the made-up traffic's seed (default 1)\n"
         L"  --adapter NAME        adapter, auto: only this interface (its name or description);\n"
         L"                        default: this PC's own adapters that are up, without\n"
         L"                        loopback, tunnels, VPNs and virtual switches (vEthernet)\n"
         L"  --router URL|auto     router, auto: the UPnP device description URL, e.g.\n"
         L"                        http://192.168.178.1:49000/igddesc.xml, or auto to search the "
         L"network\n"
         L"  --bits                show bits per second (Mbit/s) instead of bytes (MB/s)\n"
         L"  --down-on-upper       download on the upper line, upload on the lower\n"
         L"  --color-down RRGGBB   download colour (default: readable on the taskbar's colours,\n"
         L"                        4E9AE6 on a dark taskbar, 005A9E on a light one)\n"
         L"  --color-up RRGGBB     upload colour (default: 7EE444 dark, 0E6B0E light)\n"
         L"  --interval MS         milliseconds between updates, 100 to 60000 (default 1000)\n"
         L"  --max-down BYTES      full scale of the download bar in bytes per second\n"
         L"  --max-up BYTES        full scale of the upload bar in bytes per second\n"
         L"  --once                publish one record, print it and exit\n"
         L"  --verbose             print every record published\n"
         L"  --stop                end the publisher that is running (e.g. one started at log-on)\n"
         L"  --autostart on [options]  start nimbrel-publisherw with these options at log-on\n"
         L"                        (none: the automatic source)\n"
         L"  --autostart off       no longer start at log-on\n"
         L"  --autostart           show what starts at log-on\n"
         L"  --version             the version\n"
         L"  --help                this text\n"
         L"\n"
         L"nimbrel-publisherw writes what it has to say to %LOCALAPPDATA%\\Nimbrel\\publisher.log\n"
         L"(and to the debugger output).\n";
}
