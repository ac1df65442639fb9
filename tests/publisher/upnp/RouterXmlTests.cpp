#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "publisher/upnp/RouterXml.h"
#include "support/TestSupport.h"

namespace {

struct DescriptionCase {
  const char* name;
  std::string xml;
  const wchar_t* urlBase;
  const wchar_t* serviceType;
  const wchar_t* controlUrl;
};

TEST(ParseIgdDescription, FindsTheCountersServiceAndTheRootUrlBase) {
  const DescriptionCase kCases[] = {
      {"nested device, other services first",
       "<root><device><serviceList><service><serviceType>urn:schemas-upnp-org:service:"
       "Layer3Forwarding:1</serviceType>"
       "<controlURL>/l3f</controlURL></service></"
       "serviceList><deviceList><device><serviceList><service>"
       "<serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</"
       "serviceType><eventSubURL/>"
       "<controlURL>/igdupnp/control/WANCommonIFC1</controlURL></service></serviceList></device></"
       "deviceList>"
       "</device></root>",
       L"", L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1",
       L"/igdupnp/control/WANCommonIFC1"},
      {"URLBase at the root, blanks around the type",
       "<?xml version=\"1.0\"?><root "
       "xmlns=\"urn:schemas-upnp-org:device-1-0\"><URLBase>http://10.0.0.1:5000/</URLBase>"
       "<device><serviceList><service><serviceType>\n  "
       "urn:schemas-upnp-org:service:WANCommonInterfaceConfig:2\n</serviceType>"
       "<controlURL>ctl/CmnIfCfg</controlURL></service></serviceList></device></root>",
       L"http://10.0.0.1:5000/", L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:2",
       L"ctl/CmnIfCfg"},
      {"the first of two counters services wins",
       "<root><device><serviceList>"
       "<service><serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</"
       "serviceType><controlURL>/a</controlURL></service>"
       "<service><serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</"
       "serviceType><controlURL>/b</controlURL></service>"
       "</serviceList></device></root>",
       L"", L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1", L"/a"},
      {"a URLBase inside a device is not the document's",
       "<root><device><URLBase>http://wrong/</URLBase><serviceList><service>"
       "<serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</"
       "serviceType><controlURL>/a</controlURL>"
       "</service></serviceList></device></root>",
       L"", L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1", L"/a"},
      {"no counters service",
       "<root><device><serviceList><service><serviceType>urn:schemas-upnp-org:service:"
       "WANIPConnection:1</serviceType>"
       "<controlURL>/ip</controlURL></service></serviceList></device></root>",
       L"", L"", L""},
  };
  for (const DescriptionCase& c : kCases) {
    IgdDescription description;
    ASSERT_GE(ParseIgdDescription(c.xml, description), 0) << c.name;
    EXPECT_EQ(description.m_strUrlBase, c.urlBase) << c.name;
    EXPECT_EQ(description.m_strServiceType, c.serviceType) << c.name;
    EXPECT_EQ(description.m_strControlUrl, c.controlUrl) << c.name;
  }
}

TEST(ParseIgdDescription, TakesTheRootDevicesUdnAsTheBoxsIdentity) {
  struct Case {
    const char* name;
    std::string xml;
    const wchar_t* udn;
  };
  const Case kCases[] = {
      {"root device's, not the embedded one's",
       "<root><device><UDN>uuid:75802409-bccb-40e7-8e6c-989BCB2F9C5D</UDN><deviceList><device>"
       "<UDN>uuid:wan-device</UDN></device></deviceList></device></root>",
       L"uuid:75802409-bccb-40e7-8e6c-989BCB2F9C5D"},
      {"blanks around it", "<root><device><UDN>\n  uuid:abc \n</UDN></device></root>", L"uuid:abc"},
      {"none given",
       "<root><device><deviceList><device><UDN>uuid:inner</UDN></device>"
       "</deviceList></device></root>",
       L""},
      {"outside a device it is not one", "<root><UDN>uuid:loose</UDN><device/></root>", L""},
  };
  for (const Case& c : kCases) {
    IgdDescription description;
    ASSERT_GE(ParseIgdDescription(c.xml, description), 0) << c.name;
    EXPECT_EQ(description.m_strUdn, c.udn) << c.name;
  }
}

// Each parse reads the answer through a stream of its own; it and its copy of
// the text go when the parse ends, or a publisher grows by the size of every
// answer it ever read.
TEST(ParseSoapReply, ThousandsOfParsesLeaveMemoryFlat) {
  const std::string xml =
      "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
      "<u:GetAddonInfosResponse xmlns:u=\"urn:x\"><NewByteSendRate>89012</NewByteSendRate>"
      "<NewByteReceiveRate>1234567</NewByteReceiveRate><NewX>" +
      std::string(1000, 'x') + "</NewX></u:GetAddonInfosResponse></s:Body></s:Envelope>";
  const auto parse = [&xml] {
    SoapReply reply;
    return ParseSoapReply(xml, reply) >= 0 && reply.Find(L"NewByteSendRate") != nullptr;
  };
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(parse());
  // The meter's own first count opens a few handles of its own under Wine.
  (void)TakeProcessCounts();
  const ProcessCounts before = TakeProcessCounts();
  for (int i = 0; i < 5000; ++i) ASSERT_TRUE(parse());
  const ProcessCounts after = TakeProcessCounts();
  EXPECT_LE(after.m_cbPrivate, before.m_cbPrivate + 512 * 1024)
      << "private " << before.m_cbPrivate / 1024 << " KiB -> " << after.m_cbPrivate / 1024
      << " KiB over 5000 parses";
  EXPECT_LE(after.m_nHandles, before.m_nHandles + 4);
}

TEST(ParseIgdDescription, RejectsWhatIsNotWellFormed) {
  for (const char* pszXml : {"", "not xml", "<root><device></root>", "<root/><root/>",
                             "<!DOCTYPE root [<!ENTITY x \"y\">]><root>&x;</root>"}) {
    IgdDescription description;
    EXPECT_LT(ParseIgdDescription(pszXml, description), 0) << pszXml;
  }
}

TEST(ParseSoapReply, CollectsTheValuesOfAnAnswer) {
  SoapReply reply;
  ASSERT_GE(
      ParseSoapReply(
          "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
          "<u:GetAddonInfosResponse xmlns:u=\"urn:x\"><NewByteSendRate>89012</NewByteSendRate>"
          "<NewByteReceiveRate> 1234567 </NewByteReceiveRate><NewDNSServer1/>"
          "</u:GetAddonInfosResponse></s:Body></s:Envelope>",
          reply),
      0);
  EXPECT_FALSE(reply.m_bFault);
  ASSERT_NE(reply.Find(L"NewByteSendRate"), nullptr);
  EXPECT_EQ(*reply.Find(L"NewByteSendRate"), L"89012");
  EXPECT_EQ(*reply.Find(L"NewByteReceiveRate"), L" 1234567 ");
  ASSERT_NE(reply.Find(L"NewDNSServer1"), nullptr);
  EXPECT_EQ(*reply.Find(L"NewDNSServer1"), L"");
  EXPECT_EQ(reply.Find(L"NewTotalBytesSent"), nullptr);
}

TEST(ParseSoapReply, ReadsTheUpnpErrorOfAFault) {
  SoapReply reply;
  ASSERT_GE(
      ParseSoapReply(
          "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><s:Fault>"
          "<faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring><detail>"
          "<UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>401</errorCode>"
          "<errorDescription>Invalid Action</errorDescription></UPnPError></detail></s:Fault>"
          "</s:Body></s:Envelope>",
          reply),
      0);
  EXPECT_TRUE(reply.m_bFault);
  EXPECT_EQ(reply.m_strErrorCode, L"401");
  EXPECT_EQ(reply.m_strErrorDescription, L"Invalid Action");

  SoapReply bare;
  ASSERT_GE(
      ParseSoapReply(
          "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><s:Fault>"
          "<faultcode>s:Server</faultcode><faultstring>Internal Error</faultstring></s:Fault>"
          "</s:Body></s:Envelope>",
          bare),
      0);
  EXPECT_TRUE(bare.m_bFault);
  EXPECT_EQ(bare.m_strErrorCode, L"");
  EXPECT_EQ(bare.m_strErrorDescription, L"Internal Error");
}

}  // namespace
