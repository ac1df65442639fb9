// SSDP answers as anything on the home network may send them, with the
// address they came from: the status line, the LOCATION header and the sender
// check. A description URL comes out only of a 200 answer whose LOCATION host
// is the sender itself, on one line, exactly as the answer wrote it.
//
// Input: the sender's IPv4 address (4 bytes, first octet first), then the
// datagram's bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/FuzzText.h"
#include "publisher/upnp/SsdpText.h"

namespace {

std::wstring Dotted(std::uint32_t nAddress) {
  return std::to_wstring(nAddress >> 24) + L'.' + std::to_wstring((nAddress >> 16) & 0xFF) + L'.' +
         std::to_wstring((nAddress >> 8) & 0xFF) + L'.' + std::to_wstring(nAddress & 0xFF);
}

void CheckLocation(std::string_view answer, int nStatus) {
  const std::string location = SsdpLocation(answer);
  if (location.empty()) {
    return;
  }
  FUZZ_CHECK(nStatus == 200);
  FUZZ_CHECK(answer.find(location) != std::string_view::npos);
  FUZZ_CHECK(IsPrintableAscii(std::wstring(location.begin(), location.end())));
}

// Only the strict dotted form is read, and it reads back as written.
void CheckIpv4(std::string_view text) {
  const std::optional<std::uint32_t> nAddress = ParseIpv4(text);
  if (nAddress) {
    FUZZ_CHECK(Dotted(*nAddress) == std::wstring(text.begin(), text.end()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData) {
  CFuzzInput input(pData, cbData);
  std::uint32_t nSender = 0;
  for (int i = 0; i < 4; ++i) {
    nSender = (nSender << 8) | input.Take<std::uint8_t>();
  }
  const std::string_view answer = input.TakeRest();

  const int nStatus = SsdpStatusCode(answer);
  FUZZ_CHECK(nStatus == -1 || (nStatus >= 0 && nStatus <= 999));
  CheckLocation(answer, nStatus);
  CheckIpv4(answer.substr(0, answer.find_first_of("\r\n")));

  const std::wstring url = SsdpGatewayLocation(answer, nSender);
  if (url.empty()) {
    return 0;
  }
  FUZZ_CHECK(nStatus == 200);
  FUZZ_CHECK(IsPrintableAscii(url) && StartsWithHttp(url));
  FUZZ_CHECK(NaiveHost(url) == Dotted(nSender));
  FUZZ_CHECK(answer.find(std::string(url.begin(), url.end())) != std::string_view::npos);
  return 0;
}
