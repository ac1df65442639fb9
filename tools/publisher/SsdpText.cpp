#include "SsdpText.h"

#include <algorithm>

namespace {

bool SameTextAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) {
             return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
           };
           return lower(x) == lower(y);
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

std::string BuildSsdpSearch(std::string_view searchTarget, int nMaxWaitSeconds) {
  std::string request =
      "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: ";
  request += std::to_string(nMaxWaitSeconds);
  request += "\r\nST: ";
  request += searchTarget;
  request += "\r\n\r\n";
  return request;
}

std::string SsdpLocation(std::string_view response) {
  const std::size_t nFirstEnd = response.find('\n');
  if (nFirstEnd == std::string_view::npos) return {};
  const std::string_view status = Trim(response.substr(0, nFirstEnd));
  if (status.substr(0, 5) != "HTTP/" || status.find(" 200") == std::string_view::npos) return {};
  std::string_view rest = response.substr(nFirstEnd + 1);
  while (!rest.empty()) {
    const std::size_t nEnd = rest.find('\n');
    const std::string_view line = rest.substr(0, nEnd);
    rest = nEnd == std::string_view::npos ? std::string_view{} : rest.substr(nEnd + 1);
    const std::size_t nColon = line.find(':');
    if (nColon == std::string_view::npos) continue;
    if (SameTextAscii(Trim(line.substr(0, nColon)), "location"))
      return std::string(Trim(line.substr(nColon + 1)));
  }
  return {};
}
