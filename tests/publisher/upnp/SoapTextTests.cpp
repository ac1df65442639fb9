#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "publisher/upnp/SoapText.h"

namespace {

constexpr const wchar_t* kService = L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1";

// Service types a description could carry that must reach neither a header nor the envelope.
constexpr const wchar_t* kHostileServiceTypes[] = {
    L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1\r\nX-Evil: 1",
    L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1\nX-Evil: 1",
    L"urn:x\"><u:Evil/><x a=\"",
    L"urn:a&b",
    L"urn:a<b",
    L"urn:a b",
    L"urn:a\x00e9",
    L"notaurn:x",
    L"",
};

TEST(BuildSoapRequest, NamesTheActionInItsServiceNamespace) {
  EXPECT_EQ(BuildSoapRequest(kService, L"GetTotalBytesSent"),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
            "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
            "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
            "<s:Body><u:GetTotalBytesSent "
            "xmlns:u=\"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1\">"
            "</u:GetTotalBytesSent></s:Body></s:Envelope>\r\n");
}

TEST(SoapActionHeader, QuotesServiceAndAction) {
  EXPECT_EQ(
      SoapActionHeader(kService, L"GetAddonInfos"),
      L"SOAPAction: \"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1#GetAddonInfos\"");
  EXPECT_TRUE(IsSafeHeaderLine(SoapActionHeader(kService, L"GetAddonInfos")));
}

TEST(SoapText, NothingIsBuiltOfAServiceTypeOrActionThatNeedsEscaping) {
  for (const wchar_t* pszType : kHostileServiceTypes) {
    EXPECT_EQ(SoapActionHeader(pszType, L"GetAddonInfos"), L"") << std::wstring(pszType).size();
    EXPECT_EQ(BuildSoapRequest(pszType, L"GetAddonInfos"), "") << std::wstring(pszType).size();
  }
  for (const wchar_t* pszAction : {L"Get#x", L"Get\"", L"A B", L"", L"1st", L"a\r\nb"}) {
    EXPECT_EQ(SoapActionHeader(kService, pszAction), L"");
    EXPECT_EQ(BuildSoapRequest(kService, pszAction), "");
  }
  EXPECT_EQ(SoapActionHeader(L"urn:" + std::wstring(300, L'a'), L"Get"), L"");
}

TEST(SoapText, AServiceTypeOfUpTo256CharactersAndAnActionOfUpTo64AreTaken) {
  for (const std::size_t nLength : {std::size_t{255}, std::size_t{256}, std::size_t{257}}) {
    const std::wstring strType = L"urn:" + std::wstring(nLength - 4, L'a');
    const bool bTaken = nLength <= 256;
    EXPECT_EQ(!SoapActionHeader(strType, L"GetAddonInfos").empty(), bTaken) << nLength;
    EXPECT_EQ(!BuildSoapRequest(strType, L"GetAddonInfos").empty(), bTaken) << nLength;
  }
  for (const std::size_t nLength : {std::size_t{63}, std::size_t{64}, std::size_t{65}}) {
    const std::wstring strAction(nLength, L'G');
    const bool bTaken = nLength <= 64;
    EXPECT_EQ(!SoapActionHeader(kService, strAction).empty(), bTaken) << nLength;
    EXPECT_EQ(!BuildSoapRequest(kService, strAction).empty(), bTaken) << nLength;
  }
}

TEST(IsSafeHeaderLine, RefusesAnythingThatEndsTheLineOrIsNoHeader) {
  static constexpr std::pair<const wchar_t*, bool> kCases[] = {
      {L"SOAPAction: \"urn:x#y\"", true},
      {L"Content-Type: text/xml; charset=\"utf-8\"", true},
      {L"X:", true},
      {L"SOAPAction: a\r\nHost: evil", false},
      {L"SOAPAction: a\nb", false},
      {L"SOAPAction: a\rb", false},
      {L"SOAPAction: a\tb", false},
      {L"SOAPAction: \x00e9", false},
      {L"SOAPAction: a\x7f", false},
      {L"No colon", false},
      {L": no name", false},
      {L"Bad name: x", false},
  };
  for (const auto& [pszLine, bSafe] : kCases) {
    EXPECT_EQ(IsSafeHeaderLine(pszLine), bSafe) << std::wstring(pszLine).size();
  }
  EXPECT_FALSE(IsSafeHeaderLine(std::wstring(L"X: a\0b", 6)));
}

TEST(ParseUpnpUnsigned, ReadsDecimalCountersAndClampsAtTheLargestSignedValue) {
  static constexpr std::pair<const wchar_t*, std::optional<std::int64_t>> kCases[] = {
      {L"0", 0},
      {L"4294967295", 4294967295ll},
      {L"4294967296", 4294967296ll},
      {L"9223372036854775806", INT64_MAX - 1},
      {L"9223372036854775807", INT64_MAX},
      {L"9223372036854775808", INT64_MAX},
      {L"9223372036854775813", INT64_MAX},
      {L"18446744073709551615", INT64_MAX},
      {L"18446744073709551616", INT64_MAX},
      {L"99999999999999999999999999999999", INT64_MAX},
      {L"000000000000000000000000000000042", 42},
      {L" \n 1234 \t", 1234},
      {L"", std::nullopt},
      {L"  ", std::nullopt},
      {L"-1", std::nullopt},
      {L"+1", std::nullopt},
      {L"12a", std::nullopt},
      {L"1 2", std::nullopt},
      {L"0x10", std::nullopt},
      {L"\x0661", std::nullopt},
  };
  for (const auto& [pszText, expected] : kCases) {
    EXPECT_EQ(ParseUpnpUnsigned(pszText), expected) << std::wstring(pszText).size();
  }
}

TEST(ParseUpnpUnsigned, TakesAtMost64DigitsBlanksAroundThemNotCounted) {
  ASSERT_EQ(kMaxUpnpNumberDigits, 64u);
  const struct {
    std::wstring text;
    std::optional<std::int64_t> expected;
  } kCases[] = {
      {std::wstring(62, L'0') + L"42", 42},
      {std::wstring(61, L'0') + L"42", 42},
      {std::wstring(63, L'0') + L"42", std::nullopt},
      {std::wstring(64, L'9'), INT64_MAX},
      {std::wstring(65, L'9'), std::nullopt},
      {L"  \r\n" + std::wstring(63, L'0') + L"7\t ", 7},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ParseUpnpUnsigned(c.text), c.expected) << c.text.size();
  }
}

TEST(IsCommonInterfaceService, MatchesEveryVersionOfTheServiceOnly) {
  static constexpr std::pair<const wchar_t*, bool> kCases[] = {
      {L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1", true},
      {L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:2", true},
      {L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:12345678", true},
      {L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:123456789", true},
      {L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1234567890", false},
      {L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:", false},
      {L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig", false},
      {L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1 ", false},
      {L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1a", false},
      {L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1\r\nX: y", false},
      {L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1\"#", false},
      {L"urn:schemas-upnp-org:service:WANIPConnection:1", false},
      {L"URN:schemas-upnp-org:service:WANCommonInterfaceConfig:1", false},
      {L"", false},
  };
  for (const auto& [pszType, bMatch] : kCases) {
    EXPECT_EQ(IsCommonInterfaceService(pszType), bMatch) << std::wstring(pszType).size();
  }
}

}  // namespace
