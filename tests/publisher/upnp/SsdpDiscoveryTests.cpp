// Winsock's headers (through the fake gateway) must come before <windows.h>.
#include "support/FakeIgd.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <iphlpapi.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "publisher/upnp/SsdpDiscovery.h"
#include "publisher/upnp/SsdpText.h"

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;  // 127.0.0.1

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string OkAnswer(const std::string& location) {
  return "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\n"
         "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\nLOCATION: " +
         location + "\r\n\r\n";
}

// The fake answers every search with the same datagrams, in order; they are
// made once the fake knows its port.
class SsdpDiscovery : public ::testing::Test {
 protected:
  void Answer(std::function<std::vector<std::string>()> answers) {
    ASSERT_TRUE(m_fake.Start(
        [](const FakeRequest&) {
          return FakeResponse{404, ""};
        },
        [answers](const std::string&) { return answers(); }));
  }
  SsdpTarget Target() const { return {kLoopback, static_cast<std::uint16_t>(m_fake.SsdpPort())}; }
  std::string At(const char* pszHost, const char* pszPath) const {
    return std::string("http://") + pszHost + ":" + std::to_string(m_fake.Port()) + pszPath;
  }
  // Answers that must not count: errors, a notice, and 127.0.0.1 speaking for other machines.
  std::vector<std::string> FalseAnswers() const {
    return {
        "HTTP/1.1 404 Not Found\r\nLOCATION: " + At("127.0.0.1", "/404.xml") + "\r\n\r\n",
        "HTTP/1.1 404 x 200\r\nLOCATION: " + At("127.0.0.1", "/status.xml") + "\r\n\r\n",
        "NOTIFY * HTTP/1.1\r\nLOCATION: " + At("127.0.0.1", "/notify.xml") + "\r\n\r\n",
        OkAnswer(At("127.0.0.2", "/spoofed.xml")),
        OkAnswer(At("localhost", "/by-name.xml")),
        OkAnswer(At("127.0.0.1", "/\xe9.xml")),
    };
  }

  CFakeIgd m_fake;
};

// The answers all come from 127.0.0.1, so this PC's default gateway is played
// by 127.0.0.1; which of several senders wins is the pure rule's, tested in
// GatewayChoiceTests.
TEST_F(SsdpDiscovery, TheDefaultGatewaysFirstTrueAnswerEndsTheSearchAtOnce) {
  Answer([this] {
    std::vector<std::string> answers = FalseAnswers();
    answers.push_back(OkAnswer(At("127.0.0.1", "/igddesc.xml")));
    answers.push_back(OkAnswer(At("127.0.0.1", "/second.xml")));
    return answers;
  });
  std::wstring strError;
  const ULONGLONG nStart = GetTickCount64();
  const std::wstring strFound =
      DiscoverGatewayDescription(Target(), 20'000, nullptr, {kLoopback, 0x0A000001}, strError);
  const ULONGLONG nElapsed = GetTickCount64() - nStart;
  EXPECT_EQ(Narrow(strFound), At("127.0.0.1", "/igddesc.xml"));
  EXPECT_EQ(strError, L"");
  EXPECT_LT(nElapsed, 15'000u) << "the search went on after the default gateway answered";

  const std::vector<std::string> searches = m_fake.SsdpSearches();
  ASSERT_FALSE(searches.empty());
  for (const std::string& search : searches) {
    EXPECT_EQ(search,
              "M-SEARCH * HTTP/1.1\r\nHOST: 127.0.0.1:" + std::to_string(m_fake.SsdpPort()) +
                  "\r\nMAN: \"ssdp:discover\"\r\nMX: 20\r\n"
                  "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n\r\n");
  }
}

// A mesh node or repeater answering first must not end the search: the
// router may still answer. When it does not, the first true answer serves.
TEST_F(SsdpDiscovery, WithoutTheDefaultGatewayAnsweringTheFirstTrueAnswerServesAfterTheWait) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> gateways;
  };
  const Case kCases[] = {
      {"another default gateway", {0xC0A8B201}},
      {"no default gateway known", {}},
      {"this sender only second among the gateways", {0xC0A8B201, kLoopback}},
  };
  Answer([this] {
    std::vector<std::string> answers = FalseAnswers();
    answers.push_back(OkAnswer(At("127.0.0.1", "/mesh.xml")));
    answers.push_back(OkAnswer(At("127.0.0.1", "/later.xml")));
    return answers;
  });
  for (const Case& c : kCases) {
    std::wstring strError;
    const ULONGLONG nStart = GetTickCount64();
    const std::wstring strFound =
        DiscoverGatewayDescription(Target(), 1500, nullptr, c.gateways, strError);
    const ULONGLONG nElapsed = GetTickCount64() - nStart;
    EXPECT_EQ(Narrow(strFound), At("127.0.0.1", "/mesh.xml")) << c.name;
    EXPECT_EQ(strError, L"") << c.name;
    EXPECT_GE(nElapsed, 1400u) << c.name << ": ended before the wait was over";
  }
}

TEST_F(SsdpDiscovery, FalseAnswersFindNothingAndSayWhatToDoAfterTheWait) {
  Answer([this] { return FalseAnswers(); });
  std::wstring strError;
  const ULONGLONG nStart = GetTickCount64();
  EXPECT_EQ(DiscoverGatewayDescription(Target(), 700, nullptr, {kLoopback}, strError), L"");
  const ULONGLONG nElapsed = GetTickCount64() - nStart;
  EXPECT_EQ(strError,
            L"no router answered the UPnP search within 1 s; turn on UPnP in the router, or give "
            L"its description with --router URL");
  EXPECT_GE(nElapsed, 650u);
  EXPECT_LT(nElapsed, 5000u);
  EXPECT_FALSE(m_fake.SsdpSearches().empty());
}

TEST_F(SsdpDiscovery, SilenceEndsAfterTheWait) {
  Answer([] { return std::vector<std::string>{}; });
  std::wstring strError;
  const ULONGLONG nStart = GetTickCount64();
  EXPECT_EQ(DiscoverGatewayDescription(Target(), 700, nullptr, {kLoopback}, strError), L"");
  const ULONGLONG nElapsed = GetTickCount64() - nStart;
  EXPECT_NE(strError, L"");
  EXPECT_GE(nElapsed, 650u);
  EXPECT_LT(nElapsed, 5000u);
}

TEST_F(SsdpDiscovery, TheCancelEventEndsTheSearchAtOnce) {
  Answer([] { return std::vector<std::string>{}; });
  const CUniqueHandle hCancel(CreateEventW(nullptr, TRUE, TRUE, nullptr));
  std::wstring strError;
  const ULONGLONG nStart = GetTickCount64();
  EXPECT_EQ(DiscoverGatewayDescription(Target(), 30'000, hCancel.Get(), {kLoopback}, strError),
            L"");
  EXPECT_LT(GetTickCount64() - nStart, 5000u);
  EXPECT_EQ(strError, L"stopped while searching for the router");
}

// The routing table read as the system sees it: each default gateway is one
// that an adapter names (another way of asking), in the order a.b.c.d reads.
TEST(DefaultGatewayAddresses, AreTheGatewaysTheAdaptersName) {
  std::vector<std::uint32_t> named;
  ULONG cbAddresses = 64 * 1024;
  std::vector<BYTE> buffer(cbAddresses);
  auto* pAdapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
  ASSERT_EQ(GetAdaptersAddresses(AF_INET,
                                 GAA_FLAG_INCLUDE_GATEWAYS | GAA_FLAG_SKIP_ANYCAST |
                                     GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                 nullptr, pAdapters, &cbAddresses),
            static_cast<ULONG>(NO_ERROR));
  for (const IP_ADAPTER_ADDRESSES* pAdapter = pAdapters; pAdapter; pAdapter = pAdapter->Next) {
    for (const IP_ADAPTER_GATEWAY_ADDRESS_LH* pGateway = pAdapter->FirstGatewayAddress; pGateway;
         pGateway = pGateway->Next) {
      const auto* pAddress = reinterpret_cast<const sockaddr_in*>(pGateway->Address.lpSockaddr);
      if (pAddress->sin_family == AF_INET) {
        named.push_back(ntohl(pAddress->sin_addr.s_addr));
      }
    }
  }
  const std::vector<std::uint32_t> gateways = DefaultGatewayAddresses();
  EXPECT_EQ(gateways.empty(), named.empty());
  for (std::uint32_t nGateway : gateways) {
    EXPECT_NE(std::find(named.begin(), named.end(), nGateway), named.end()) << std::hex << nGateway;
  }
}

}  // namespace
