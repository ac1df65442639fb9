// URL resolution on what a device description says: its own URL, URLBase and
// a service's controlURL. Whatever the device writes, a URL the publisher
// will send requests to is plain http, on one line, within the length limit,
// and on the host the description came from.
//
// Input: description URL, URLBase and controlURL, each ending at a NUL byte,
// as UTF-8 (see FuzzInput.h).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/FuzzText.h"
#include "publisher/upnp/UrlResolve.h"

namespace {

void CheckParsed(std::wstring_view text) {
  const std::optional<HttpUrl> url = ParseHttpUrl(text);
  if (!url) {
    return;
  }
  FUZZ_CHECK(text.size() <= kMaxUrlLength && IsPrintableAscii(text) && StartsWithHttp(text));
  FUZZ_CHECK(!url->m_strHost.empty() && IsPrintableAscii(url->m_strHost));
  FUZZ_CHECK(url->m_strHost.find_first_of(L"@/?#\\") == std::wstring::npos);
  FUZZ_CHECK(NaiveHost(text) == NaiveHost(L"http://" + url->m_strHost));
  FUZZ_CHECK(url->m_nPort != 0);
  FUZZ_CHECK(!url->m_strPath.empty() && url->m_strPath.front() == L'/');
  FUZZ_CHECK(url->m_strPath.find(L'#') == std::wstring::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData) {
  CFuzzInput input(pData, cbData);
  const std::wstring description = input.TakeWideField();
  const std::wstring base = input.TakeWideField();
  const std::wstring control = input.TakeWideField();
  CheckParsed(description);
  CheckParsed(base);
  CheckParsed(control);

  const ControlUrlResult result = ResolveControlUrl(description, base, control);
  switch (result.m_verdict) {
    case ControlUrlVerdict::Ok: {
      const std::optional<HttpUrl> home = ParseHttpUrl(TrimBlanks(description));
      FUZZ_CHECK(home.has_value() && !TrimBlanks(control).empty());
      FUZZ_CHECK(ParseHttpUrl(result.m_strUrl).has_value());
      FUZZ_CHECK(NaiveHost(result.m_strUrl) == NaiveHost(L"http://" + home->m_strHost));
      FUZZ_CHECK(!result.m_bFromUrlBase);
      break;
    }
    case ControlUrlVerdict::Unusable:
      FUZZ_CHECK(result.m_strUrl.empty());
      break;
    case ControlUrlVerdict::NotHttp:
    case ControlUrlVerdict::OtherHost:
      // The refused address is named in a message, never asked.
      FUZZ_CHECK(!result.m_strUrl.empty());
      break;
  }
  return 0;
}
