#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "SoapText.h"

namespace {

TEST(BuildSoapRequest, NamesTheActionInItsServiceNamespace) {
  EXPECT_EQ(BuildSoapRequest(L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1",
                             L"GetTotalBytesSent"),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
            "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
            "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
            "<s:Body><u:GetTotalBytesSent "
            "xmlns:u=\"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1\">"
            "</u:GetTotalBytesSent></s:Body></s:Envelope>\r\n");
}

TEST(SoapActionHeader, QuotesServiceAndAction) {
  EXPECT_EQ(
      SoapActionHeader(L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1",
                       L"GetAddonInfos"),
      L"SOAPAction: \"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1#GetAddonInfos\"");
}

TEST(ParseUpnpUnsigned, ReadsDecimalCountersOfAnyWidth) {
  static constexpr std::pair<const wchar_t*, std::optional<std::uint64_t>> kCases[] = {
      {L"0", 0},
      {L"4294967295", 4294967295ull},
      {L"4294967296", 4294967296ull},
      {L"18446744073709551615", 18446744073709551615ull},
      {L" \n 1234 \t", 1234},
      {L"18446744073709551616", std::nullopt},
      {L"99999999999999999999", std::nullopt},
      {L"", std::nullopt},
      {L"  ", std::nullopt},
      {L"-1", std::nullopt},
      {L"12a", std::nullopt},
      {L"1 2", std::nullopt},
      {L"0x10", std::nullopt},
  };
  for (const auto& [pszText, expected] : kCases) {
    EXPECT_EQ(ParseUpnpUnsigned(pszText), expected) << std::wstring(pszText).size();
  }
}

TEST(IsCommonInterfaceService, MatchesEveryVersionOfTheServiceOnly) {
  EXPECT_TRUE(IsCommonInterfaceService(L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1"));
  EXPECT_TRUE(IsCommonInterfaceService(L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:2"));
  EXPECT_FALSE(IsCommonInterfaceService(L"urn:schemas-upnp-org:service:WANIPConnection:1"));
  EXPECT_FALSE(IsCommonInterfaceService(L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig"));
  EXPECT_FALSE(IsCommonInterfaceService(L""));
}

}  // namespace
