// The publisher's command line over arbitrary argument lists: it never
// crashes, a mistake is reported as one line, and options it accepts hold
// values the program can use as they are.
//
// Input: the arguments, each ending at a NUL byte, as UTF-8 (see FuzzInput.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "PublisherOptions.h"

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

void CheckAccepted(const PublisherOptions& options) {
  FUZZ_CHECK(options.m_nIntervalMs >= kMinIntervalMs && options.m_nIntervalMs <= kMaxIntervalMs);
  FUZZ_CHECK(options.m_nColorDown <= 0xFFFFFF && options.m_nColorUp <= 0xFFFFFF);
  FUZZ_CHECK(options.m_nMaxDown >= -1 && options.m_nMaxUp >= -1);
  FUZZ_CHECK(!options.m_strSectionName.empty());
  if (options.m_bHelp || options.m_bStop) {
    return;
  }
  if (options.m_source == SourceKind::Router) {
    FUZZ_CHECK(options.m_strRouter == L"auto" || options.m_strRouter.starts_with(L"http://"));
  } else {
    FUZZ_CHECK(options.m_strRouter.empty());
  }
  if (options.m_source != SourceKind::Adapter) {
    FUZZ_CHECK(options.m_strAdapter.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData) {
  CFuzzInput input(pData, cbData);
  std::vector<std::wstring> storage;
  while (!input.Empty()) {
    storage.push_back(WideFromFuzzBytes(input.TakeField()));
  }
  const std::vector<std::wstring_view> args(storage.begin(), storage.end());

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
