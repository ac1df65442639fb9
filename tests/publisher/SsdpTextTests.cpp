#include <gtest/gtest.h>

#include <string>

#include "SsdpText.h"

namespace {

TEST(BuildSsdpSearch, AsksForTheGatewayWithAllHeaders) {
  EXPECT_EQ(
      BuildSsdpSearch(kIgdSearchTarget, 2),
      "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 2\r\n"
      "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n\r\n");
}

struct LocationCase {
  const char* name;
  std::string response;
  std::string expected;
};

TEST(SsdpLocation, TakesTheLocationOfAnOkAnswerOnly) {
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
      {"no location", "HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\n\r\n", ""},
      {"empty", "", ""},
      {"a look-alike header",
       "HTTP/1.1 200 OK\r\nX-LOCATION: http://evil/\r\nLOCATION: http://10.0.0.1/d.xml\r\n",
       "http://10.0.0.1/d.xml"},
  };
  for (const LocationCase& c : kCases) EXPECT_EQ(SsdpLocation(c.response), c.expected) << c.name;
}

}  // namespace
