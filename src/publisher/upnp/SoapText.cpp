#include "publisher/upnp/SoapText.h"

#include <cstdint>

namespace {

// Service types are URNs, and the action names are our own; neither needs
// more than these, and none of these needs escaping in XML or in a header.
constexpr std::size_t kMaxServiceType = 256;
constexpr std::size_t kMaxVersionDigits = 9;

bool IsDigit(wchar_t ch) noexcept { return ch >= L'0' && ch <= L'9'; }
bool IsAlnum(wchar_t ch) noexcept {
  return IsDigit(ch) || (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z');
}

bool IsPlainUrn(std::wstring_view text) noexcept {
  if (text.size() > kMaxServiceType || text.substr(0, 4) != L"urn:") {
    return false;
  }
  for (wchar_t ch : text) {
    if (!IsAlnum(ch) && ch != L':' && ch != L'.' && ch != L'-' && ch != L'_') {
      return false;
    }
  }
  return true;
}

bool IsPlainName(std::wstring_view text) noexcept {
  if (text.empty() || text.size() > 64 || IsDigit(text.front())) {
    return false;
  }
  for (wchar_t ch : text) {
    if (!IsAlnum(ch) && ch != L'_') {
      return false;
    }
  }
  return true;
}

// Both are checked to be ASCII first.
std::string Narrow(std::wstring_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (wchar_t ch : text) {
    narrow.push_back(static_cast<char>(ch));
  }
  return narrow;
}

}  // namespace

bool IsCommonInterfaceService(std::wstring_view serviceType) noexcept {
  if (serviceType.substr(0, kCommonInterfaceService.size()) != kCommonInterfaceService) {
    return false;
  }
  const std::wstring_view version = serviceType.substr(kCommonInterfaceService.size());
  if (version.empty() || version.size() > kMaxVersionDigits) {
    return false;
  }
  for (wchar_t ch : version) {
    if (!IsDigit(ch)) {
      return false;
    }
  }
  return true;
}

std::string BuildSoapRequest(std::wstring_view serviceType, std::wstring_view action) {
  if (!IsPlainUrn(serviceType) || !IsPlainName(action)) {
    return {};
  }
  const std::string type = Narrow(serviceType);
  const std::string name = Narrow(action);
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
         "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
         "<s:Body><u:" +
         name + " xmlns:u=\"" + type + "\"></u:" + name + "></s:Body></s:Envelope>\r\n";
}

std::wstring SoapActionHeader(std::wstring_view serviceType, std::wstring_view action) {
  if (!IsPlainUrn(serviceType) || !IsPlainName(action)) {
    return {};
  }
  return L"SOAPAction: \"" + std::wstring(serviceType) + L"#" + std::wstring(action) + L"\"";
}

bool IsSafeHeaderLine(std::wstring_view line) noexcept {
  const std::size_t nColon = line.find(L':');
  if (nColon == 0 || nColon == std::wstring_view::npos) {
    return false;
  }
  for (std::size_t i = 0; i < line.size(); ++i) {
    const wchar_t ch = line[i];
    const bool bInName = i < nColon;
    if (ch > L'~' || ch < L' ' || (bInName && (ch == L' ' || ch == L'"'))) {
      return false;
    }
  }
  return true;
}

std::optional<std::int64_t> ParseUpnpUnsigned(std::wstring_view text) noexcept {
  const auto blank = [](wchar_t ch) {
    return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n';
  };
  while (!text.empty() && blank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && blank(text.back())) {
    text.remove_suffix(1);
  }
  if (text.empty() || text.size() > kMaxUpnpNumberDigits) {
    return std::nullopt;
  }
  std::int64_t nValue = 0;
  for (wchar_t ch : text) {
    if (!IsDigit(ch)) {
      return std::nullopt;
    }
    const auto nDigit = static_cast<std::int64_t>(ch - L'0');
    nValue = nValue > (INT64_MAX - nDigit) / 10 ? INT64_MAX : nValue * 10 + nDigit;
  }
  return nValue;
}
