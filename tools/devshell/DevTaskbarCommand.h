#pragma once
// What a script or a test can ask of the development taskbar, and how:
// `nimbrel-devtaskbar` with no arguments is the taskbar itself; with one of
// the options below it finds the running taskbar, hands it the command as
// the registered message kDevTaskbarCommandMessage (wParam: the command,
// lParam: its value) and ends with 0 when the taskbar answered kDevTaskbarDone.

#include <string>
#include <vector>

inline constexpr wchar_t kDevTaskbarClass[] = L"Shell_TrayWnd";
inline constexpr wchar_t kDevNotifyClass[] = L"TrayNotifyWnd";
inline constexpr wchar_t kDevTaskbarCommandMessage[] = L"NimbrelDevTaskbarCommand";
// Set on the development taskbar's window, so that it is told apart from Wine's own.
inline constexpr wchar_t kDevTaskbarProperty[] = L"NimbrelDevTaskbar";
inline constexpr long kDevTaskbarDone = 1;

enum class DevTaskbarCommand : unsigned {
  Host = 0,            // be the taskbar
  MoveNotifyArea = 1,  // value: the notification area's new left edge, screen x
  SetHeight = 2,       // value: the taskbar's new height
  Restart = 3,         // value: milliseconds without a taskbar
  Quit = 4,
  Ping = 5,  // value: seconds to wait for a taskbar to answer
  Help = 6,
  // value: the taskbar's left edge, screen x; the notification area keeps
  // its place on the screen, so only its place in the taskbar changes
  MoveTaskbarLeft = 7,
  // Not for the taskbar: the composition stand-in in the docked band's
  // process loses its device (StandInControl.h).
  LoseBandDevice = 8,
};

struct DevTaskbarRequest {
  DevTaskbarCommand m_command = DevTaskbarCommand::Host;
  int m_nValue = 0;
};

inline constexpr int kDevRestartDefaultMs = 500;
inline constexpr int kDevRestartMaxMs = 10000;
inline constexpr int kDevPingDefaultSeconds = 10;
inline constexpr int kDevPingMaxSeconds = 120;
inline constexpr int kDevMaxCoordinate = 100000;

// The arguments after the program's name; false with a reason on bad input.
[[nodiscard]] bool ParseDevTaskbarArgs(const std::vector<std::wstring>& args,
                                       DevTaskbarRequest& request, std::wstring& error);

inline constexpr wchar_t kDevTaskbarUsage[] =
    L"usage: nimbrel-devtaskbar                 run the development taskbar\n"
    L"       nimbrel-devtaskbar --notify-left X  move the notification area's left edge to x\n"
    L"       nimbrel-devtaskbar --height H       make the taskbar H pixels high (24-200)\n"
    L"       nimbrel-devtaskbar --left X         start the taskbar at x, the notification area\n"
    L"                                           staying where it is on the screen\n"
    L"       nimbrel-devtaskbar --restart [MS]   go away for MS ms (500), come back, broadcast\n"
    L"                                           \"TaskbarCreated\"\n"
    L"       nimbrel-devtaskbar --lose-device    the composition stand-in in the docked band's\n"
    L"                                           process loses its graphics device\n"
    L"       nimbrel-devtaskbar --quit           end the running taskbar\n"
    L"       nimbrel-devtaskbar --wait [S]       wait up to S seconds (10) for the taskbar\n";
