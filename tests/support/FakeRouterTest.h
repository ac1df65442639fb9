#pragma once
// The fixture of the router tests: a FakeGateway served by a CFakeIgd on
// 127.0.0.1, and what the tests ask of it.

// Winsock's headers (through the fake gateway) must come before <windows.h>.
#include "support/FakeIgd.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr std::int64_t kLinkDownBytes = 100'000'000 / 8;
inline constexpr std::int64_t kLinkUpBytes = 40'000'000 / 8;
inline constexpr std::uint32_t kLoopbackIpv4 = 0x7F000001;  // 127.0.0.1

[[nodiscard]] inline std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());
}

class FakeRouterTest : public ::testing::Test {
 protected:
  // Serves m_gateway; discovery searches are answered with its description's
  // address, on whatever port the fake listens on at the time.
  void Serve() {
    ASSERT_TRUE(m_igd.Start(
        [this](const FakeRequest& request) { return m_gateway.Answer(request); },
        [this](const std::string&) {
          return std::vector<std::string>{
              "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\n"
              "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\nLOCATION: http://"
              "127.0.0.1:" +
              std::to_string(m_igd.Port()) + m_gateway.m_strDescriptionPath + "\r\n\r\n"};
        }));
  }
  // Changes the gateway while it serves.
  void Change(const std::function<void(FakeGateway&)>& change) {
    m_igd.Change([&] { change(m_gateway); });
  }
  [[nodiscard]] std::wstring DescriptionUrl() const { return m_igd.Url("/igddesc.xml"); }
  [[nodiscard]] std::string PortText() const { return std::to_string(m_igd.Port()); }
  [[nodiscard]] std::vector<std::string> Actions() {
    std::vector<std::string> actions;
    for (const FakeRequest& request : m_igd.Requests()) {
      actions.push_back(request.m_strMethod == "GET" ? "GET " + request.m_strPath
                                                     : ActionOf(request));
    }
    return actions;
  }
  [[nodiscard]] int CountOf(const std::string& action) {
    int nCount = 0;
    for (const std::string& seen : Actions()) {
      nCount += seen == action ? 1 : 0;
    }
    return nCount;
  }

  FakeGateway m_gateway;
  CFakeIgd m_igd;
};
