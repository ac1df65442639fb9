// The router's numbers (UPnP ui4/ui8 text from an action's answer) against a
// reader that works in 128 bits: the same value where it fits a signed 64-bit
// figure, INT64_MAX from 2^63 up, so that nothing turns negative or small;
// nothing for more than kMaxUpnpNumberDigits digits.
//
// Input: the element's text as UTF-8 (see FuzzInput.h).

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/FuzzText.h"
#include "publisher/upnp/SoapText.h"

namespace {

using u128 = unsigned __int128;

constexpr u128 kInt64Max = std::numeric_limits<std::int64_t>::max();

std::optional<u128> ReferenceNumber(std::wstring_view text) {
  text = TrimBlanks(text);
  if (text.empty() || text.size() > kMaxUpnpNumberDigits) {
    return std::nullopt;
  }
  u128 nValue = 0;
  for (const wchar_t ch : text) {
    if (ch < L'0' || ch > L'9') {
      return std::nullopt;
    }
    // Past 2^64 only "very large" matters; stop growing so 128 bits suffice.
    if (nValue <= (u128{1} << 64)) {
      nValue = nValue * 10 + static_cast<u128>(ch - L'0');
    }
  }
  return nValue < kInt64Max ? nValue : kInt64Max;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData) {
  CFuzzInput input(pData, cbData);
  const std::wstring text = WideFromFuzzBytes(input.TakeRest());
  const std::optional<std::int64_t> nValue = ParseUpnpUnsigned(text);
  const std::optional<u128> nExpected = ReferenceNumber(text);
  FUZZ_CHECK(nValue.has_value() == nExpected.has_value());
  FUZZ_CHECK(!nValue || (*nValue >= 0 && static_cast<u128>(*nValue) == *nExpected));
  return 0;
}
