#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "publisher/upnp/GatewayChoice.h"

namespace {

constexpr std::uint32_t Ip(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  return (a << 24) | (b << 16) | (c << 8) | d;
}

const std::uint32_t kRouter = Ip(192, 168, 178, 1);
const std::uint32_t kMesh = Ip(192, 168, 178, 2);
const std::uint32_t kRepeater = Ip(192, 168, 178, 3);
const std::uint32_t kOtherNet = Ip(10, 0, 0, 1);

struct ChoiceCase {
  const char* name;
  std::vector<std::uint32_t> senders;  // in the order the answers came
  std::vector<std::uint32_t> gateways;
  std::optional<std::size_t> expected;
};

TEST(ChooseGatewayAnswer, TheDefaultGatewayWinsOverEarlierAnswers) {
  const ChoiceCase kCases[] = {
      {"no answers", {}, {kRouter}, std::nullopt},
      {"only the router", {kRouter}, {kRouter}, 0},
      {"a mesh node first, then the router", {kMesh, kRouter}, {kRouter}, 1},
      {"repeater and mesh before the router", {kRepeater, kMesh, kRouter}, {kRouter}, 2},
      {"the router answering twice: its first", {kMesh, kRouter, kRouter}, {kRouter}, 1},
      {"no default gateway among them: the first", {kMesh, kRepeater}, {kRouter}, 0},
      {"no default gateway known: the first", {kMesh, kRouter}, {}, 0},
      {"two default gateways: the preferred one", {kOtherNet, kRouter}, {kRouter, kOtherNet}, 1},
      {"two default gateways, only the second answers",
       {kMesh, kOtherNet},
       {kRouter, kOtherNet},
       1},
  };
  for (const ChoiceCase& c : kCases) {
    std::vector<GatewayAnswer> answers;
    for (std::uint32_t nSender : c.senders) {
      answers.push_back({nSender, L"http://x/" + std::to_wstring(answers.size())});
    }
    EXPECT_EQ(ChooseGatewayAnswer(answers, c.gateways), c.expected) << c.name;
  }
}

TEST(IsPreferredGateway, OnlyTheFirstDefaultGatewayEndsTheSearch) {
  EXPECT_TRUE(IsPreferredGateway(kRouter, {kRouter, kOtherNet}));
  EXPECT_FALSE(IsPreferredGateway(kOtherNet, {kRouter, kOtherNet}));
  EXPECT_FALSE(IsPreferredGateway(kMesh, {kRouter}));
  EXPECT_FALSE(IsPreferredGateway(kRouter, {}));
}

struct RoutesCase {
  const char* name;
  std::vector<RouteRow> routes;
  std::uint32_t best;  // the route lookup's next hop for the internet
  std::vector<std::uint32_t> expected;
};

TEST(DefaultGatewaysOf, TakesTheRoutedGatewayFirstThenTheOtherDefaultRoutes) {
  const RoutesCase kCases[] = {
      {"no routes", {}, 0, {}},
      {"one default route among others",
       {{24, 0, 281}, {0, kRouter, 35}, {32, 0, 281}, {8, kOtherNet, 5}},
       kRouter,
       {kRouter}},
      {"on-link default route has no gateway", {{0, 0, 10}}, 0, {}},
      {"the routed one first, whatever the metrics say",
       {{0, kOtherNet, 0}, {0, kRouter, 0}},
       kRouter,
       {kRouter, kOtherNet}},
      {"no lookup: the lower metric first",
       {{0, kRouter, 55}, {0, kOtherNet, 25}},
       0,
       {kOtherNet, kRouter}},
      {"equal metrics keep the table's order",
       {{0, kRouter, 25}, {0, kOtherNet, 25}},
       0,
       {kRouter, kOtherNet}},
      {"a gateway on two routes counts once",
       {{0, kRouter, 50}, {0, kRouter, 10}},
       kRouter,
       {kRouter}},
      {"a routed gateway the table does not show still comes first",
       {{0, kOtherNet, 5}},
       kRouter,
       {kRouter, kOtherNet}},
  };
  for (const RoutesCase& c : kCases) {
    EXPECT_EQ(DefaultGatewaysOf(c.routes, c.best), c.expected) << c.name;
  }
}

}  // namespace
