// What a description's serviceType reaches: the counters-service check, the
// SOAP envelope and the SOAPAction header. Whatever the router names, the
// request holds no CR, LF, '<', '&' or '"' beyond the envelope's own, the
// header is one safe line, and a service taken as the counters' is usable.
//
// Input: serviceType, action name and a header line, each ending at a NUL
// byte, as UTF-8 (see FuzzInput.h).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/FuzzText.h"
#include "publisher/upnp/SoapText.h"

namespace {

struct MarkupCount {
  std::ptrdiff_t nCr;
  std::ptrdiff_t nLf;
  std::ptrdiff_t nLess;
  std::ptrdiff_t nAmp;
  std::ptrdiff_t nQuote;

  bool operator==(const MarkupCount&) const = default;
};

template <typename Text>
MarkupCount CountMarkup(const Text& text) {
  const auto count = [&text](auto ch) { return std::count(text.begin(), text.end(), ch); };
  return {count('\r'), count('\n'), count('<'), count('&'), count('"')};
}

// The envelope's and the header's own markup, with names that hold none.
const MarkupCount kRequestMarkup = CountMarkup(BuildSoapRequest(L"urn:a", L"A"));
const MarkupCount kHeaderMarkup = CountMarkup(SoapActionHeader(L"urn:a", L"A"));

void CheckRequest(std::wstring_view serviceType, std::wstring_view action) {
  const std::string request = BuildSoapRequest(serviceType, action);
  const std::wstring header = SoapActionHeader(serviceType, action);
  FUZZ_CHECK(request.empty() == header.empty());
  if (request.empty()) {
    return;
  }
  FUZZ_CHECK(CountMarkup(request) == kRequestMarkup);
  FUZZ_CHECK(CountMarkup(header) == kHeaderMarkup);
  FUZZ_CHECK(IsSafeHeaderLine(header));
  // The names go in as they are, not altered into something else.
  const std::string type(serviceType.begin(), serviceType.end());
  const std::string name(action.begin(), action.end());
  FUZZ_CHECK(IsPrintableAscii(serviceType) && IsPrintableAscii(action));
  FUZZ_CHECK(request.find("xmlns:u=\"" + type + "\"") != std::string::npos);
  FUZZ_CHECK(request.find("<u:" + name + " ") != std::string::npos);
  FUZZ_CHECK(header ==
             L"SOAPAction: \"" + std::wstring(serviceType) + L"#" + std::wstring(action) + L"\"");
}

void CheckHeaderLine(std::wstring_view line) {
  if (!IsSafeHeaderLine(line)) {
    return;
  }
  const std::size_t nColon = line.find(L':');
  FUZZ_CHECK(nColon != std::wstring_view::npos && nColon > 0);
  for (const wchar_t ch : line) {
    FUZZ_CHECK(ch >= L' ' && ch <= L'~');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData) {
  CFuzzInput input(pData, cbData);
  const std::wstring serviceType = input.TakeWideField();
  const std::wstring action = input.TakeWideField();
  const std::wstring line = input.TakeWideField();

  CheckRequest(serviceType, action);
  CheckHeaderLine(line);
  if (IsCommonInterfaceService(serviceType)) {
    for (const wchar_t* pszAction :
         {L"GetTotalBytesSent", L"GetTotalBytesReceived", L"GetCommonLinkProperties"}) {
      FUZZ_CHECK(!BuildSoapRequest(serviceType, pszAction).empty());
      FUZZ_CHECK(!SoapActionHeader(serviceType, pszAction).empty());
    }
  }
  return 0;
}
