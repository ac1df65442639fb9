// The development taskbar's geometry and its command line.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "devshell/DevTaskbarCommand.h"
#include "devshell/DevTaskbarLayout.h"

namespace {

TEST(DevTaskbarLayoutTest, ABarAcrossTheBottomWithTheNotificationAreaAtItsRightEnd) {
  const DevTaskbarLayout layout = LayOutDevTaskbar(1920, 1080, 48, DefaultNotifyLeft(1920));
  EXPECT_EQ(layout.m_rcTaskbar.left, 0);
  EXPECT_EQ(layout.m_rcTaskbar.top, 1032);
  EXPECT_EQ(layout.m_rcTaskbar.right, 1920);
  EXPECT_EQ(layout.m_rcTaskbar.bottom, 1080);
  EXPECT_EQ(layout.m_rcNotify.left, 1700);
  EXPECT_EQ(layout.m_rcNotify.top, 0);
  EXPECT_EQ(layout.m_rcNotify.right, 1920);
  EXPECT_EQ(layout.m_rcNotify.bottom, 48);
}

TEST(DevTaskbarLayoutTest, AppButtonsAreCentredSquaresInsideTheBarAndClearOfEachOther) {
  for (const int nHeight : {kDevTaskbarMinHeight, 48, 60, kDevTaskbarMaxHeight}) {
    const DevTaskbarLayout layout = LayOutDevTaskbar(1920, 1080, nHeight, 1700);
    ASSERT_EQ(layout.m_buttons.size(), static_cast<std::size_t>(kDevAppButtons));
    const RECT& first = layout.m_buttons.front();
    const RECT& last = layout.m_buttons.back();
    EXPECT_LE(std::abs((first.left - 0) - (1920 - last.right)), 1) << nHeight;
    for (std::size_t i = 0; i < layout.m_buttons.size(); ++i) {
      const RECT& rc = layout.m_buttons[i];
      EXPECT_EQ(rc.right - rc.left, rc.bottom - rc.top) << nHeight;
      EXPECT_GT(rc.top, 0) << nHeight;
      EXPECT_LT(rc.bottom, nHeight) << nHeight;
      if (i > 0) {
        EXPECT_EQ(rc.left - layout.m_buttons[i - 1].right, kDevAppButtonGap) << nHeight;
      }
    }
  }
}

TEST(DevTaskbarLayoutTest, TheNotificationAreaAndTheHeightStayWithinTheBar) {
  struct Case {
    int nHeight;
    int nNotifyLeft;
    LONG nExpectedTop;
    LONG nExpectedNotifyLeft;
  };
  const Case cases[] = {
      {60, 1500, 1020, 1500},
      {48, 1880, 1032, 1880},
      {48, 1881, 1032, 1880},  // at least the smallest notification area stays
      {48, -5, 1032, 0},
      {10, 1700, 1080 - kDevTaskbarMinHeight, 1700},
      {500, 1700, 1080 - kDevTaskbarMaxHeight, 1700},
  };
  for (const Case& c : cases) {
    const DevTaskbarLayout layout = LayOutDevTaskbar(1920, 1080, c.nHeight, c.nNotifyLeft);
    EXPECT_EQ(layout.m_rcTaskbar.top, c.nExpectedTop) << c.nHeight;
    EXPECT_EQ(layout.m_rcTaskbar.bottom, 1080) << c.nHeight;
    EXPECT_EQ(layout.m_rcNotify.left, c.nExpectedNotifyLeft) << c.nNotifyLeft;
    EXPECT_EQ(layout.m_rcNotify.bottom, layout.m_rcTaskbar.bottom - layout.m_rcTaskbar.top);
  }
}

TEST(DevTaskbarLayoutTest, AShorterBarKeepsTheNotificationAreaWhereItIsOnTheScreen) {
  struct Case {
    int nLeft;
    int nNotifyLeft;
    LONG nExpectedLeft;
    LONG nExpectedNotifyOnScreen;
  };
  const Case cases[] = {
      {300, 1700, 300, 1700},
      {0, 1700, 0, 1700},
      {1800, 1700, 1800, 1800},  // the area stays inside the bar
      {1900, 1700, 1880, 1880},  // and keeps its smallest width
  };
  for (const Case& c : cases) {
    const DevTaskbarLayout layout = LayOutDevTaskbar(1920, 1080, 48, c.nNotifyLeft, c.nLeft);
    EXPECT_EQ(layout.m_rcTaskbar.left, c.nExpectedLeft) << c.nLeft;
    EXPECT_EQ(layout.m_rcTaskbar.right, 1920) << c.nLeft;
    EXPECT_EQ(layout.m_rcTaskbar.left + layout.m_rcNotify.left, c.nExpectedNotifyOnScreen)
        << c.nLeft;
    EXPECT_EQ(layout.m_rcNotify.right, 1920 - layout.m_rcTaskbar.left) << c.nLeft;
    const RECT& first = layout.m_buttons.front();
    const RECT& last = layout.m_buttons.back();
    EXPECT_LE(std::abs(first.left - (layout.m_rcNotify.right - last.right)), 1) << "centred";
  }
}

TEST(DevTaskbarCommandTest, CommandLinesAndTheirValues) {
  struct Case {
    std::vector<std::wstring> args;
    bool bValid;
    DevTaskbarCommand command;
    int nValue;
  };
  using C = DevTaskbarCommand;
  const Case cases[] = {
      {{}, true, C::Host, 0},
      {{L"--notify-left", L"1500"}, true, C::MoveNotifyArea, 1500},
      {{L"--notify-left", L"0"}, true, C::MoveNotifyArea, 0},
      {{L"--notify-left"}, false, C::MoveNotifyArea, 0},
      {{L"--notify-left", L"-1"}, false, C::MoveNotifyArea, 0},
      {{L"--notify-left", L"15x"}, false, C::MoveNotifyArea, 0},
      {{L"--notify-left", L"100001"}, false, C::MoveNotifyArea, 0},
      {{L"--notify-left", L"99999999999"}, false, C::MoveNotifyArea, 0},
      {{L"--height", L"24"}, true, C::SetHeight, 24},
      {{L"--height", L"200"}, true, C::SetHeight, 200},
      {{L"--height", L"23"}, false, C::SetHeight, 0},
      {{L"--height", L"201"}, false, C::SetHeight, 0},
      {{L"--left", L"300"}, true, C::MoveTaskbarLeft, 300},
      {{L"--left"}, false, C::MoveTaskbarLeft, 0},
      {{L"--left", L"-1"}, false, C::MoveTaskbarLeft, 0},
      {{L"--restart"}, true, C::Restart, kDevRestartDefaultMs},
      {{L"--restart", L"0"}, true, C::Restart, 0},
      {{L"--restart", L"10001"}, false, C::Restart, 0},
      {{L"--quit"}, true, C::Quit, 0},
      {{L"--quit", L"1"}, false, C::Quit, 0},
      {{L"--lose-device"}, true, C::LoseBandDevice, 0},
      {{L"--lose-device", L"1"}, false, C::LoseBandDevice, 0},
      {{L"--wait"}, true, C::Ping, kDevPingDefaultSeconds},
      {{L"--wait", L"0"}, false, C::Ping, 0},
      {{L"--help"}, true, C::Help, 0},
      {{L"--height", L"48", L"60"}, false, C::SetHeight, 0},
      {{L"--bogus"}, false, C::Host, 0},
      {{L""}, false, C::Host, 0},
  };
  for (const Case& c : cases) {
    DevTaskbarRequest request;
    std::wstring error;
    const std::wstring shown = c.args.empty() ? L"(none)" : c.args[0];
    ASSERT_EQ(ParseDevTaskbarArgs(c.args, request, error), c.bValid)
        << std::string(shown.begin(), shown.end());
    if (c.bValid) {
      EXPECT_EQ(request.m_command, c.command);
      EXPECT_EQ(request.m_nValue, c.nValue);
      EXPECT_TRUE(error.empty());
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
}

}  // namespace
