#include <gtest/gtest.h>

#include <string_view>

#include "UrlResolve.h"

namespace {

struct UrlCase {
  std::wstring_view description;
  std::wstring_view base;
  std::wstring_view control;
  std::wstring_view expected;
};

constexpr UrlCase kCases[] = {
    {L"http://192.168.178.1:49000/igddesc.xml", L"", L"/igdupnp/control/WANCommonIFC1",
     L"http://192.168.178.1:49000/igdupnp/control/WANCommonIFC1"},
    {L"http://192.168.178.1:49000/desc/igd.xml", L"", L"control/wan",
     L"http://192.168.178.1:49000/desc/control/wan"},
    {L"http://10.0.0.1:5000/rootDesc.xml", L"", L"http://10.0.0.1:6000/ctl/CmnIfCfg",
     L"http://10.0.0.1:6000/ctl/CmnIfCfg"},
    {L"http://10.0.0.1:5000/rootDesc.xml", L"", L"HTTP://10.0.0.1/ctl", L"HTTP://10.0.0.1/ctl"},
    {L"http://10.0.0.1:5000/a/rootDesc.xml", L"http://10.0.0.1:7000/base/", L"ctl/x",
     L"http://10.0.0.1:7000/base/ctl/x"},
    {L"http://10.0.0.1:5000/a/rootDesc.xml", L"http://10.0.0.1:7000", L"ctl/x",
     L"http://10.0.0.1:7000/ctl/x"},
    {L"http://10.0.0.1:5000/a/rootDesc.xml", L"http://10.0.0.1:7000/base/", L"/ctl/x",
     L"http://10.0.0.1:7000/ctl/x"},
    {L"http://10.0.0.1:5000/a/rootDesc.xml?x=1/2", L"", L"ctl", L"http://10.0.0.1:5000/a/ctl"},
    {L"http://10.0.0.1:5000", L"", L"ctl", L"http://10.0.0.1:5000/ctl"},
    {L"http://10.0.0.1/d.xml", L"  http://10.0.0.2/  ", L"\n  ctl  \n", L"http://10.0.0.2/ctl"},
    {L"http://10.0.0.1/d.xml", L"", L"", L""},
    {L"ftp://10.0.0.1/d.xml", L"", L"ctl", L""},
    {L"http:///d.xml", L"", L"/ctl", L""},
    {L"http://10.0.0.1/d.xml", L"ftp://10.0.0.1/", L"ctl", L""},
};

TEST(ResolveControlUrl, HonoursAbsoluteHostRelativeAndBaseRelativeUrls) {
  for (const UrlCase& c : kCases) {
    EXPECT_EQ(ResolveControlUrl(c.description, c.base, c.control), c.expected)
        << std::string(c.control.begin(), c.control.end());
  }
}

}  // namespace
