#include "PublisherOptions.h"

#include <charconv>
#include <limits>
#include <optional>

namespace {

std::optional<std::uint64_t> ParseUnsigned(std::wstring_view text, int nBase, std::uint64_t nMax) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::string narrow;
  for (wchar_t ch : text) {
    if (ch > 0x7F) return std::nullopt;
    narrow.push_back(static_cast<char>(ch));
  }
  std::uint64_t nValue = 0;
  const char* pEnd = narrow.data() + narrow.size();
  const auto [ptr, ec] = std::from_chars(narrow.data(), pEnd, nValue, nBase);
  if (ec != std::errc() || ptr != pEnd || nValue > nMax) return std::nullopt;
  return nValue;
}

std::optional<std::uint64_t> ParseColor(std::wstring_view text) {
  if (!text.empty() && text.front() == L'#') text.remove_prefix(1);
  if (text.size() != 6) return std::nullopt;
  return ParseUnsigned(text, 16, 0xFFFFFF);
}

std::wstring Quoted(std::wstring_view text) { return L"'" + std::wstring(text) + L"'"; }

ParseResult Fail(std::wstring strError) {
  ParseResult result;
  result.m_strError = std::move(strError);
  return result;
}

}  // namespace

ParseResult ParsePublisherOptions(const std::vector<std::wstring_view>& args) {
  ParseResult result;
  PublisherOptions& options = result.m_options;
  bool bSeedGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::wstring_view arg = args[i];
    const auto value = [&]() -> std::optional<std::wstring_view> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    const auto missing = [&] {
      return Fail(L"option " + Quoted(arg) + L" needs a value; see --help");
    };

    if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
      options.m_bHelp = true;
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
      if (!text) return missing();
      if (*text == L"demo") {
        options.m_source = SourceKind::Demo;
      } else if (*text == L"adapter") {
        options.m_source = SourceKind::Adapter;
      } else if (*text == L"router") {
        options.m_source = SourceKind::Router;
      } else {
        return Fail(L"unknown source " + Quoted(*text) + L"; use demo, adapter or router");
      }
    } else if (arg == L"--seed") {
      const auto text = value();
      if (!text) return missing();
      const auto nSeed = ParseUnsigned(*text, 10, std::numeric_limits<std::uint64_t>::max());
      if (!nSeed) return Fail(L"--seed needs a whole number, not " + Quoted(*text));
      options.m_nSeed = *nSeed;
      bSeedGiven = true;
    } else if (arg == L"--adapter") {
      const auto text = value();
      if (!text || text->empty()) return missing();
      options.m_strAdapter = *text;
    } else if (arg == L"--router") {
      const auto text = value();
      if (!text || text->empty()) return missing();
      if (*text != L"auto" && text->substr(0, 7) != L"http://") {
        return Fail(L"--router needs the device description's http:// URL or 'auto', not " +
                    Quoted(*text));
      }
      options.m_strRouter = *text;
    } else if (arg == L"--color-down" || arg == L"--color-up") {
      const auto text = value();
      if (!text) return missing();
      const auto nColor = ParseColor(*text);
      if (!nColor)
        return Fail(std::wstring(arg) + std::wstring(L" needs six hex digits RRGGBB, not ") +
                    Quoted(*text));
      (arg == L"--color-down" ? options.m_nColorDown : options.m_nColorUp) = *nColor;
    } else if (arg == L"--interval") {
      const auto text = value();
      if (!text) return missing();
      const auto nMs = ParseUnsigned(*text, 10, std::numeric_limits<std::uint32_t>::max());
      if (!nMs || *nMs < kMinIntervalMs || *nMs > kMaxIntervalMs) {
        return Fail(L"--interval needs milliseconds from 100 to 60000, not " + Quoted(*text));
      }
      options.m_nIntervalMs = static_cast<std::uint32_t>(*nMs);
    } else if (arg == L"--max-down" || arg == L"--max-up") {
      const auto text = value();
      if (!text) return missing();
      const auto nMax = ParseUnsigned(
          *text, 10, static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()));
      if (!nMax)
        return Fail(std::wstring(arg) +
                    std::wstring(L" needs bytes per second as a whole number, not ") +
                    Quoted(*text));
      (arg == L"--max-down" ? options.m_nMaxDown : options.m_nMaxUp) =
          static_cast<std::int64_t>(*nMax);
    } else if (arg == L"--section-name") {
      const auto text = value();
      if (!text || text->empty()) return missing();
      options.m_strSectionName = *text;
    } else {
      return Fail(L"unknown option " + Quoted(arg) + L"; run with --help for the list");
    }
  }

  if (options.m_bHelp || options.m_bStop) {
    result.m_bOk = true;
    return result;
  }
  if (options.m_source == SourceKind::Router && options.m_strRouter.empty()) {
    return Fail(
        L"--source router needs --router URL (the router's device description) or --router auto");
  }
  if (options.m_source != SourceKind::Router && !options.m_strRouter.empty()) {
    return Fail(L"--router only applies to --source router");
  }
  if (options.m_source != SourceKind::Adapter && !options.m_strAdapter.empty()) {
    return Fail(L"--adapter only applies to --source adapter");
  }
  if (options.m_source != SourceKind::Demo && bSeedGiven) {
    return Fail(L"--seed only applies to --source demo");
  }
  result.m_bOk = true;
  return result;
}

std::wstring_view PublisherUsage() noexcept {
  return L"Usage: nimbrel-publisher [options]\n"
         L"Publishes traffic figures for the Nimbrel taskbar band until Ctrl+C.\n"
         L"\n"
         L"  --source demo|adapter|router  where the figures come from (default: demo)\n"
         L"  --seed N              demo: the made-up traffic's seed (default 1)\n"
         L"  --adapter NAME        adapter: only this interface (its name or description);\n"
         L"                        default: every interface that is up, except loopback and "
         L"tunnels\n"
         L"  --router URL|auto     router: the UPnP device description URL, e.g.\n"
         L"                        http://192.168.178.1:49000/igddesc.xml, or auto to search the "
         L"network\n"
         L"  --bits                show bits per second (Mbit/s) instead of bytes (MB/s)\n"
         L"  --down-on-upper       download on the upper line, upload on the lower\n"
         L"  --color-down RRGGBB   download colour (default 4E9AE6)\n"
         L"  --color-up RRGGBB     upload colour (default 7EE444)\n"
         L"  --interval MS         milliseconds between updates, 100 to 60000 (default 1000)\n"
         L"  --max-down BYTES      full scale of the download bar in bytes per second\n"
         L"  --max-up BYTES        full scale of the upload bar in bytes per second\n"
         L"  --once                publish one record, print it and exit\n"
         L"  --verbose             print every record published\n"
         L"  --stop                end the publisher that is running (e.g. one started at log-on)\n"
         L"  --help                this text\n";
}
