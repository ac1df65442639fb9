#include "SoapText.h"

std::string BuildSoapRequest(std::wstring_view serviceType, std::wstring_view action) {
  std::string type(serviceType.begin(), serviceType.end());
  std::string name(action.begin(), action.end());
  for (char& ch : type) ch = (static_cast<unsigned char>(ch) < 0x80) ? ch : '?';
  for (char& ch : name) ch = (static_cast<unsigned char>(ch) < 0x80) ? ch : '?';
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
         "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
         "<s:Body><u:" +
         name + " xmlns:u=\"" + type + "\"></u:" + name + "></s:Body></s:Envelope>\r\n";
}

std::wstring SoapActionHeader(std::wstring_view serviceType, std::wstring_view action) {
  return L"SOAPAction: \"" + std::wstring(serviceType) + L"#" + std::wstring(action) + L"\"";
}

std::optional<std::uint64_t> ParseUpnpUnsigned(std::wstring_view text) noexcept {
  const auto blank = [](wchar_t ch) {
    return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n';
  };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t nValue = 0;
  for (wchar_t ch : text) {
    if (ch < L'0' || ch > L'9') return std::nullopt;
    const std::uint64_t nDigit = static_cast<std::uint64_t>(ch - L'0');
    if (nValue > (UINT64_MAX - nDigit) / 10) return std::nullopt;
    nValue = nValue * 10 + nDigit;
  }
  return nValue;
}

bool IsCommonInterfaceService(std::wstring_view serviceType) noexcept {
  return serviceType.substr(0, kCommonInterfaceService.size()) == kCommonInterfaceService;
}
