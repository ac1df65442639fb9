#include "publisher/upnp/SsdpText.h"

#include <algorithm>

#include "publisher/upnp/UrlResolve.h"

namespace {

bool IsDigit(char ch) noexcept { return ch >= '0' && ch <= '9'; }

bool SameTextAscii(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) {
             return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
           };
           return lower(x) == lower(y);
         });
}

std::string_view Trim(std::string_view text) noexcept {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// The next line (without its end) and what follows it.
std::string_view TakeLine(std::string_view& text) noexcept {
  const std::size_t nEnd = text.find('\n');
  const std::string_view line = text.substr(0, nEnd);
  text = nEnd == std::string_view::npos ? std::string_view{} : text.substr(nEnd + 1);
  return line;
}

}  // namespace

std::string BuildSsdpSearch(std::string_view hostPort, std::string_view searchTarget,
                            int nMaxWaitSeconds) {
  std::string request = "M-SEARCH * HTTP/1.1\r\nHOST: ";
  request += hostPort;
  request += "\r\nMAN: \"ssdp:discover\"\r\nMX: ";
  request += std::to_string(nMaxWaitSeconds);
  request += "\r\nST: ";
  request += searchTarget;
  request += "\r\n\r\n";
  return request;
}

int SsdpStatusCode(std::string_view answer) noexcept {
  std::string_view line = answer.substr(0, answer.find('\n'));
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  // HTTP/d.d SP ddd, then a reason after one more blank, or nothing.
  constexpr std::string_view kVersion = "HTTP/";
  if (line.size() < 12 || line.substr(0, kVersion.size()) != kVersion || !IsDigit(line[5]) ||
      line[6] != '.' || !IsDigit(line[7]) || line[8] != ' ') {
    return -1;
  }
  if (!IsDigit(line[9]) || !IsDigit(line[10]) || !IsDigit(line[11]) ||
      (line.size() > 12 && line[12] != ' ')) {
    return -1;
  }
  return (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
}

std::string SsdpLocation(std::string_view answer) {
  if (SsdpStatusCode(answer) != 200) {
    return {};
  }
  std::string_view rest = answer;
  (void)TakeLine(rest);
  while (!rest.empty()) {
    const std::string_view line = TakeLine(rest);
    if (Trim(line).empty()) {
      break;
    }
    const std::size_t nColon = line.find(':');
    if (nColon == std::string_view::npos ||
        !SameTextAscii(Trim(line.substr(0, nColon)), "location")) {
      continue;
    }
    const std::string_view value = Trim(line.substr(nColon + 1));
    const bool bPrintable = std::all_of(value.begin(), value.end(), [](char ch) {
      const auto byte = static_cast<unsigned char>(ch);
      return byte > 0x20 && byte < 0x7F;
    });
    return bPrintable ? std::string(value) : std::string();
  }
  return {};
}

std::optional<std::uint32_t> ParseIpv4(std::string_view text) noexcept {
  std::uint32_t nAddress = 0;
  for (int nPart = 0; nPart < 4; ++nPart) {
    if (nPart > 0) {
      if (text.empty() || text.front() != '.') {
        return std::nullopt;
      }
      text.remove_prefix(1);
    }
    std::size_t nDigits = 0;
    unsigned nValue = 0;
    while (nDigits < text.size() && IsDigit(text[nDigits])) {
      nValue = nValue * 10 + static_cast<unsigned>(text[nDigits] - '0');
      if (++nDigits > 3) {
        return std::nullopt;
      }
    }
    if (nDigits == 0 || nValue > 255 || (nDigits > 1 && text.front() == '0')) {
      return std::nullopt;
    }
    text.remove_prefix(nDigits);
    nAddress = (nAddress << 8) | nValue;
  }
  if (!text.empty()) {
    return std::nullopt;
  }
  return nAddress;
}

std::wstring SsdpGatewayLocation(std::string_view answer, std::uint32_t nSenderIpv4) {
  const std::string location = SsdpLocation(answer);
  // SsdpLocation gives printable ASCII only: each byte is its own character.
  std::wstring wide;
  for (char ch : location) {
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(ch)));
  }
  const std::optional<HttpUrl> url = ParseHttpUrl(wide);
  if (!url) {
    return {};
  }
  std::string host;
  for (wchar_t ch : url->m_strHost) {
    host.push_back(static_cast<char>(ch));
  }
  const std::optional<std::uint32_t> nHost = ParseIpv4(host);
  if (!nHost || *nHost != nSenderIpv4) {
    return {};
  }
  return wide;
}
