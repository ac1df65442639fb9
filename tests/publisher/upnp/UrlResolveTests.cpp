#include <gtest/gtest.h>

#include <string_view>

#include "publisher/upnp/UrlResolve.h"

namespace {

std::string Narrow(std::wstring_view text) {
  std::string narrow;
  for (wchar_t ch : text) {
    narrow.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
  }
  return narrow;
}

using V = ControlUrlVerdict;

struct UrlCase {
  std::wstring_view description;
  std::wstring_view base;
  std::wstring_view control;
  ControlUrlVerdict verdict;
  std::wstring_view url;  // where actions go, or the address refused
  bool bFromUrlBase = false;
};

constexpr UrlCase kSameHostCases[] = {
    {L"http://192.168.178.1:49000/igddesc.xml", L"", L"/igdupnp/control/WANCommonIFC1", V::Ok,
     L"http://192.168.178.1:49000/igdupnp/control/WANCommonIFC1"},
    {L"http://192.168.178.1:49000/desc/igd.xml", L"", L"control/wan", V::Ok,
     L"http://192.168.178.1:49000/desc/control/wan"},
    {L"http://10.0.0.1:5000/rootDesc.xml", L"", L"http://10.0.0.1:6000/ctl/CmnIfCfg", V::Ok,
     L"http://10.0.0.1:6000/ctl/CmnIfCfg"},
    {L"http://10.0.0.1:5000/rootDesc.xml", L"", L"HTTP://10.0.0.1/ctl", V::Ok,
     L"HTTP://10.0.0.1/ctl"},
    {L"http://Router.Lan/d.xml", L"", L"http://router.lan:81/ctl", V::Ok,
     L"http://router.lan:81/ctl"},
    {L"http://10.0.0.1:5000/a/rootDesc.xml", L"http://10.0.0.1:7000/base/", L"ctl/x", V::Ok,
     L"http://10.0.0.1:7000/base/ctl/x"},
    {L"http://10.0.0.1:5000/a/rootDesc.xml", L"http://10.0.0.1:7000", L"ctl/x", V::Ok,
     L"http://10.0.0.1:7000/ctl/x"},
    {L"http://10.0.0.1:5000/a/rootDesc.xml", L"http://10.0.0.1:7000?q", L"ctl/x", V::Ok,
     L"http://10.0.0.1:7000/ctl/x"},
    {L"http://10.0.0.1:5000/a/rootDesc.xml", L"http://10.0.0.1:7000/base/", L"/ctl/x", V::Ok,
     L"http://10.0.0.1:7000/ctl/x"},
    {L"http://10.0.0.1:5000/a/rootDesc.xml?x=1/2", L"", L"ctl", V::Ok,
     L"http://10.0.0.1:5000/a/ctl"},
    {L"http://10.0.0.1:5000", L"", L"ctl", V::Ok, L"http://10.0.0.1:5000/ctl"},
    {L"http://10.0.0.1:5000#a/b", L"", L"ctl", V::Ok, L"http://10.0.0.1:5000/ctl"},
    {L"http://10.0.0.1/d.xml", L"  http://10.0.0.1:80/  ", L"\n  ctl  \n", V::Ok,
     L"http://10.0.0.1:80/ctl"},
    // An unused URL base, even one naming another host, sends nothing anywhere.
    {L"http://10.0.0.1/d.xml", L"https://10.9.9.9/", L"http://10.0.0.1/ctl", V::Ok,
     L"http://10.0.0.1/ctl"},
};

constexpr UrlCase kRefusedCases[] = {
    {L"http://10.0.0.1:5000/rootDesc.xml", L"", L"http://10.0.0.2:5000/ctl", V::OtherHost,
     L"http://10.0.0.2:5000/ctl"},
    {L"http://10.0.0.1/d.xml", L"", L"http://127.0.0.1/ctl", V::OtherHost, L"http://127.0.0.1/ctl"},
    {L"http://10.0.0.1/d.xml", L"", L"http://10.0.0.1.evil.example/ctl", V::OtherHost,
     L"http://10.0.0.1.evil.example/ctl"},
    {L"http://10.0.0.1/d.xml", L"", L"//10.0.0.2/ctl", V::OtherHost, L"http://10.0.0.2/ctl"},
    {L"http://10.0.0.1/d.xml", L"  http://10.0.0.2/  ", L"ctl", V::OtherHost, L"http://10.0.0.2/",
     true},
    {L"http://10.0.0.1/d.xml", L"http://10.9.9.9/", L"/ctl", V::OtherHost, L"http://10.9.9.9/",
     true},
    {L"http://10.0.0.1/d.xml", L"", L"https://10.0.0.1/ctl", V::NotHttp, L"https://10.0.0.1/ctl"},
    {L"http://10.0.0.1/d.xml", L"", L"file:///C:/x", V::NotHttp, L"file:///C:/x"},
    {L"http://10.0.0.1/d.xml", L"ftp://10.0.0.1/", L"ctl", V::NotHttp, L"ftp://10.0.0.1/", true},
    {L"http://10.0.0.1/d.xml", L"", L"", V::Unusable, L""},
    {L"http://10.0.0.1/d.xml", L"", L"http://user@10.0.0.1/ctl", V::Unusable, L""},
    {L"http://10.0.0.1/d.xml", L"", L"http://10.0.0.1:99999/ctl", V::Unusable, L""},
    {L"http://10.0.0.1/d.xml", L"", L"ctl\r\nHost: x", V::Unusable, L""},
    {L"http://10.0.0.1/d.xml", L"", L"ctl x", V::Unusable, L""},
    {L"http://10.0.0.1/d.xml", L"", L"http:/10.0.0.1/ctl", V::Unusable, L""},
    {L"ftp://10.0.0.1/d.xml", L"", L"ctl", V::Unusable, L""},
    {L"http:///d.xml", L"", L"/ctl", V::Unusable, L""},
};

void ExpectResolved(const UrlCase& c) {
  const ControlUrlResult result = ResolveControlUrl(c.description, c.base, c.control);
  const std::string what = Narrow(c.base) + " | " + Narrow(c.control);
  EXPECT_EQ(result.m_verdict, c.verdict) << what;
  EXPECT_EQ(result.m_strUrl, c.url) << what;
  EXPECT_EQ(result.m_bFromUrlBase, c.bFromUrlBase) << what;
}

TEST(ResolveControlUrl, HonoursAbsoluteHostRelativeAndBaseRelativeUrlsOnTheDescriptionsHost) {
  for (const UrlCase& c : kSameHostCases) {
    ExpectResolved(c);
  }
}

TEST(ResolveControlUrl, RefusesOtherHostsOtherSchemesAndWhatIsNoUrl) {
  for (const UrlCase& c : kRefusedCases) {
    ExpectResolved(c);
  }
}

TEST(ParseHttpUrl, TakesHostPortAndPathOfPlainHttpUrls) {
  struct Case {
    std::wstring_view url;
    std::wstring_view host;
    std::uint16_t nPort;
    std::wstring_view path;
  };
  static constexpr Case kCases[] = {
      {L"http://192.168.178.1:49000/igddesc.xml", L"192.168.178.1", 49000, L"/igddesc.xml"},
      {L"HTTP://Fritz.Box", L"Fritz.Box", 80, L"/"},
      {L"http://h:/x?a=1#frag", L"h", 80, L"/x?a=1"},
      {L"http://h?a", L"h", 80, L"/?a"},
      {L"http://[fe80::1]:5000/d.xml", L"[fe80::1]", 5000, L"/d.xml"},
      {L"http://h:65535/", L"h", 65535, L"/"},
  };
  for (const Case& c : kCases) {
    const std::optional<HttpUrl> url = ParseHttpUrl(c.url);
    ASSERT_TRUE(url) << Narrow(c.url);
    EXPECT_EQ(url->m_strHost, c.host) << Narrow(c.url);
    EXPECT_EQ(url->m_nPort, c.nPort) << Narrow(c.url);
    EXPECT_EQ(url->m_strPath, c.path) << Narrow(c.url);
  }
}

TEST(ParseHttpUrl, RefusesOtherSchemesUserNamesBadPortsAndUnprintableText) {
  static constexpr std::wstring_view kCases[] = {
      L"http://h:0/",
      L"http://h:65536/",
      L"http://h:123456/",
      L"http://h:8a/",
      L"http://[fe80::1/",
      L"http://[]/",
      L"http://[::1]x/",
      L"http://a@h/",
      L"http://h%2e/",
      L"http://h\\x/",
      L"http://h/a b",
      L"http://h/a\tb",
      L"http://h/\x00e9",
      L"http:///x",
      L"http://",
      L"https://h/",
      L"h/x",
  };
  for (const std::wstring_view url : kCases) {
    EXPECT_FALSE(ParseHttpUrl(url)) << Narrow(url);
  }
  EXPECT_FALSE(ParseHttpUrl(L"http://h/" + std::wstring(kMaxUrlLength, L'a')));
  EXPECT_FALSE(ParseHttpUrl(std::wstring(L"http://h/\0x", 11)));
}

}  // namespace
