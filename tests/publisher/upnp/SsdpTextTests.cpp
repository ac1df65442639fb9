#include <gtest/gtest.h>

#include <string>

#include "publisher/upnp/SsdpText.h"

namespace {

constexpr std::uint32_t kRouter = 0xC0A8B201;  // 192.168.178.1

TEST(BuildSsdpSearch, AsksForTheGatewayWithAllHeaders) {
  EXPECT_EQ(
      BuildSsdpSearch("239.255.255.250:1900", kIgdSearchTarget, 2),
      "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 2\r\n"
      "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n\r\n");
}

TEST(SsdpStatusCode, ReadsTheStatusLineAsAStatusLine) {
  static constexpr std::pair<const char*, int> kCases[] = {
      {"HTTP/1.1 200 OK\r\n", 200},    {"HTTP/1.0 200 OK\n", 200},
      {"HTTP/1.1 200\r\n", 200},       {"HTTP/1.1 200", 200},
      {"HTTP/1.1 404 x 200\r\n", 404}, {"HTTP/1.1 404 Not Found 200 OK\r\n", 404},
      {"HTTP/1.1 2000 OK\r\n", -1},    {"HTTP/1.1 20 OK\r\n", -1},
      {"HTTP/1.1  200 OK\r\n", -1},    {"HTTP/11 200 OK\r\n", -1},
      {"http/1.1 200 OK\r\n", -1},     {"NOTIFY * HTTP/1.1\r\n", -1},
      {"X HTTP/1.1 200 OK\r\n", -1},   {"", -1},
  };
  for (const auto& [pszAnswer, nCode] : kCases) {
    EXPECT_EQ(SsdpStatusCode(pszAnswer), nCode) << pszAnswer;
  }
}

struct LocationCase {
  const char* name;
  std::string response;
  std::string expected;
};

TEST(SsdpLocation, TakesThePrintableLocationOfAnOkAnswerOnly) {
  const LocationCase kCases[] = {
      {"plain",
       "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nLOCATION: "
       "http://192.168.178.1:49000/igddesc.xml\r\n\r\n",
       "http://192.168.178.1:49000/igddesc.xml"},
      {"lower case, no space, bare newlines",
       "HTTP/1.1 200 OK\nlocation:http://10.0.0.1:5000/rootDesc.xml\n\n",
       "http://10.0.0.1:5000/rootDesc.xml"},
      {"padded", "HTTP/1.1 200 OK\r\nLocation: \t http://10.0.0.1/d.xml \t\r\n",
       "http://10.0.0.1/d.xml"},
      {"not an answer", "NOTIFY * HTTP/1.1\r\nLOCATION: http://10.0.0.1/d.xml\r\n\r\n", ""},
      {"an error answer", "HTTP/1.1 404 Not Found\r\nLOCATION: http://10.0.0.1/d.xml\r\n\r\n", ""},
      {"an error answer that mentions 200",
       "HTTP/1.1 404 x 200\r\nLOCATION: http://10.0.0.1/d.xml\r\n\r\n", ""},
      {"no location", "HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\n\r\n", ""},
      {"location in the body", "HTTP/1.1 200 OK\r\n\r\nLOCATION: http://10.0.0.1/d.xml\r\n", ""},
      {"empty", "", ""},
      {"a look-alike header",
       "HTTP/1.1 200 OK\r\nX-LOCATION: http://evil/\r\nLOCATION: http://10.0.0.1/d.xml\r\n",
       "http://10.0.0.1/d.xml"},
      {"bytes beyond ASCII", "HTTP/1.1 200 OK\r\nLOCATION: http://10.0.0.1/\xe9\xff.xml\r\n", ""},
      {"an escape sequence", "HTTP/1.1 200 OK\r\nLOCATION: http://10.0.0.1/\x1b[2J\r\n", ""},
      {"a blank inside", "HTTP/1.1 200 OK\r\nLOCATION: http://10.0.0.1/a b\r\n", ""},
      {"a NUL inside",
       std::string("HTTP/1.1 200 OK\r\nLOCATION: http://10.0.0.1/a") + '\0' + "b\r\n", ""},
  };
  for (const LocationCase& c : kCases) {
    EXPECT_EQ(SsdpLocation(c.response), c.expected) << c.name;
  }
}

TEST(ParseIpv4, ReadsStrictDottedDecimalOnly) {
  static constexpr std::pair<const char*, std::optional<std::uint32_t>> kCases[] = {
      {"192.168.178.1", 0xC0A8B201},
      {"0.0.0.0", 0},
      {"255.255.255.255", 0xFFFFFFFF},
      {"127.0.0.1", 0x7F000001},
      {"256.0.0.1", std::nullopt},
      {"1.2.3", std::nullopt},
      {"1.2.3.4.5", std::nullopt},
      {"1.2.3.4.", std::nullopt},
      {"01.2.3.4", std::nullopt},
      {"1.2.3.0400", std::nullopt},
      {"1..3.4", std::nullopt},
      {"1.2.3.-4", std::nullopt},
      {" 1.2.3.4", std::nullopt},
      {"0x7f.0.0.1", std::nullopt},
      {"2130706433", std::nullopt},
      {"router.lan", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [pszText, expected] : kCases) {
    EXPECT_EQ(ParseIpv4(pszText), expected) << pszText;
  }
}

TEST(SsdpGatewayLocation, CountsAnAnswerOnlyWhenItsSenderIsTheLocationsHost) {
  struct Case {
    const char* name;
    std::string answer;
    std::uint32_t nSender;
    std::wstring expected;
  };
  const std::string kOk =
      "HTTP/1.1 200 OK\r\nST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n";
  const Case kCases[] = {
      {"from the router itself", kOk + "LOCATION: http://192.168.178.1:49000/igddesc.xml\r\n\r\n",
       kRouter, L"http://192.168.178.1:49000/igddesc.xml"},
      {"another machine naming the router",
       kOk + "LOCATION: http://192.168.178.1:49000/igddesc.xml\r\n\r\n", 0xC0A8B202, L""},
      {"the router naming this PC", kOk + "LOCATION: http://127.0.0.1:8080/d.xml\r\n\r\n", kRouter,
       L""},
      {"a host name", kOk + "LOCATION: http://fritz.box:49000/igddesc.xml\r\n\r\n", kRouter, L""},
      {"another scheme", kOk + "LOCATION: https://192.168.178.1/d.xml\r\n\r\n", kRouter, L""},
      {"a user name", kOk + "LOCATION: http://x@192.168.178.1/d.xml\r\n\r\n", kRouter, L""},
      {"an octal look-alike", kOk + "LOCATION: http://0300.0250.0262.01/d.xml\r\n\r\n", kRouter,
       L""},
      {"an error answer", "HTTP/1.1 500 x 200\r\nLOCATION: http://192.168.178.1/d.xml\r\n\r\n",
       kRouter, L""},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(SsdpGatewayLocation(c.answer, c.nSender), c.expected) << c.name;
  }
}

}  // namespace
