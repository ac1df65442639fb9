// The publisher's command line over arbitrary argument lists: it never
// crashes, a mistake is reported as one line, and options it accepts hold
// values the program can use as they are. The command line that --autostart on
// stores for log-on gives back exactly the arguments it was built from, read
// the way Windows reads it (CommandLineToArgvW), and so the same options.
//
// Input: the arguments, each ending at a NUL byte, as UTF-8 (see FuzzInput.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "publisher/options/CommandLineQuoting.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "publisher/options/PublisherOptions.h"

namespace {

// No control character (an echoed argument could carry a line break or a
// terminal escape) and none of Unicode's line breaks.
bool IsOneLine(std::wstring_view text) {
  for (const wchar_t ch : text) {
    if (ch < 0x20 || ch == 0x7F || ch == 0x85 || ch == 0x2028 || ch == 0x2029) {
      return false;
    }
  }
  return true;
}

bool IsBlank(wchar_t ch) { return ch == L' ' || ch == L'\t'; }

// CommandLineToArgvW's rules: the program up to the next quote (or blank),
// then arguments split at blanks outside quotes, where 2n backslashes before a
// quote give n and the quote opens or closes, 2n + 1 give n and a quote, and
// backslashes before anything else stay as they are.
std::vector<std::wstring> SplitAsWindows(std::wstring_view line) {
  std::vector<std::wstring> args;
  std::size_t i = 0;
  if (!line.empty() && line.front() == L'"') {
    const std::size_t nClose = line.find(L'"', 1);
    args.emplace_back(line.substr(1, nClose - 1));
    i = nClose == std::wstring_view::npos ? line.size() : nClose + 1;
  } else {
    while (i < line.size() && !IsBlank(line[i])) {
      ++i;
    }
    args.emplace_back(line.substr(0, i));
  }
  while (true) {
    while (i < line.size() && IsBlank(line[i])) {
      ++i;
    }
    if (i == line.size()) {
      return args;
    }
    std::wstring arg;
    bool bQuoted = false;
    while (i < line.size() && (bQuoted || !IsBlank(line[i]))) {
      std::size_t nBackslashes = 0;
      while (i < line.size() && line[i] == L'\\') {
        ++nBackslashes;
        ++i;
      }
      if (i < line.size() && line[i] == L'"') {
        arg.append(nBackslashes / 2, L'\\');
        if (nBackslashes % 2 == 1) {
          arg.push_back(L'"');
        } else {
          bQuoted = !bQuoted;
        }
        ++i;
      } else {
        arg.append(nBackslashes, L'\\');
        if (i < line.size() && (bQuoted || !IsBlank(line[i]))) {
          arg.push_back(line[i++]);
        }
      }
    }
    args.push_back(std::move(arg));
  }
}

void CheckCommandLine(const std::vector<std::wstring>& args) {
  constexpr std::wstring_view kExe = L"C:\\Program Files\\Nimbrel\\nimbrel-publisherw.exe";
  std::vector<std::wstring> expected{std::wstring(kExe)};
  expected.insert(expected.end(), args.begin(), args.end());
  FUZZ_CHECK(SplitAsWindows(BuildCommandLine(kExe, args)) == expected);
}

void CheckAccepted(const PublisherOptions& options) {
  FUZZ_CHECK(options.m_nIntervalMs >= kMinIntervalMs && options.m_nIntervalMs <= kMaxIntervalMs);
  FUZZ_CHECK(options.m_nColorDown <= 0xFFFFFF && options.m_nColorUp <= 0xFFFFFF);
  FUZZ_CHECK(options.m_nMaxDown >= -1 && options.m_nMaxUp >= -1);
  FUZZ_CHECK(!options.m_strSectionName.empty());
  if (options.m_autostart == AutostartAction::On) {
    // What log-on will start: a publisher that runs, with these very options.
    const std::vector<std::wstring_view> startArgs(options.m_autostartArgs.begin(),
                                                   options.m_autostartArgs.end());
    const ParseResult started = ParsePublisherOptions(startArgs);
    FUZZ_CHECK(started.m_bOk && !started.m_options.m_bStop && !started.m_options.m_bOnce);
    CheckCommandLine(options.m_autostartArgs);
    return;
  }
  if (options.m_bHelp || options.m_bStop || options.m_bVersion ||
      options.m_autostart != AutostartAction::None) {
    return;
  }
  if (options.m_source == SourceKind::Router) {
    FUZZ_CHECK(options.m_strRouter == L"auto" || options.m_strRouter.starts_with(L"http://"));
  } else if (options.m_source == SourceKind::Auto) {
    FUZZ_CHECK(options.m_strRouter.empty() || options.m_strRouter == L"auto" ||
               options.m_strRouter.starts_with(L"http://"));
  } else {
    FUZZ_CHECK(options.m_strRouter.empty());
  }
  if (options.m_source != SourceKind::Adapter && options.m_source != SourceKind::Auto) {
    FUZZ_CHECK(options.m_strAdapter.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData) {
  CFuzzInput input(pData, cbData);
  std::vector<std::wstring> storage;
  while (!input.Empty()) {
    storage.push_back(input.TakeWideField());
  }
  const std::vector<std::wstring_view> args(storage.begin(), storage.end());

  CheckCommandLine(storage);
  const ParseResult result = ParsePublisherOptions(args);
  if (result.m_bOk) {
    FUZZ_CHECK(result.m_strError.empty());
    CheckAccepted(result.m_options);
  } else {
    FUZZ_CHECK(!result.m_strError.empty());
    FUZZ_CHECK(IsOneLine(result.m_strError));
  }
  return 0;
}
