#include "devshell/DevTaskbarCommand.h"

#include "devshell/DevTaskbarLayout.h"

namespace {

struct Option {
  const wchar_t* m_pszName;
  DevTaskbarCommand m_command;
  bool m_bNeedsValue;
  bool m_bTakesValue;
  int m_nDefault;
  int m_nMin;
  int m_nMax;
};

constexpr Option kOptions[] = {
    {L"--notify-left", DevTaskbarCommand::MoveNotifyArea, true, true, 0, 0, kDevMaxCoordinate},
    {L"--height", DevTaskbarCommand::SetHeight, true, true, 0, kDevTaskbarMinHeight,
     kDevTaskbarMaxHeight},
    {L"--left", DevTaskbarCommand::MoveTaskbarLeft, true, true, 0, 0, kDevMaxCoordinate},
    {L"--restart", DevTaskbarCommand::Restart, false, true, kDevRestartDefaultMs, 0,
     kDevRestartMaxMs},
    {L"--quit", DevTaskbarCommand::Quit, false, false, 0, 0, 0},
    {L"--lose-device", DevTaskbarCommand::LoseBandDevice, false, false, 0, 0, 0},
    {L"--wait", DevTaskbarCommand::Ping, false, true, kDevPingDefaultSeconds, 1,
     kDevPingMaxSeconds},
    {L"--help", DevTaskbarCommand::Help, false, false, 0, 0, 0},
};

// Decimal digits only, and no more of them than any bound here needs.
[[nodiscard]] bool ReadNumber(const std::wstring& text, int& nValue) {
  if (text.empty() || text.size() > 6) {
    return false;
  }
  nValue = 0;
  for (const wchar_t ch : text) {
    if (ch < L'0' || ch > L'9') {
      return false;
    }
    nValue = nValue * 10 + (ch - L'0');
  }
  return true;
}

}  // namespace

bool ParseDevTaskbarArgs(const std::vector<std::wstring>& args, DevTaskbarRequest& request,
                         std::wstring& error) {
  request = DevTaskbarRequest{};
  if (args.empty()) {
    return true;
  }
  for (const Option& option : kOptions) {
    if (args[0] != option.m_pszName) {
      continue;
    }
    request.m_command = option.m_command;
    request.m_nValue = option.m_nDefault;
    const std::size_t nMaxArgs = option.m_bTakesValue ? 2 : 1;
    if (args.size() > nMaxArgs) {
      error = L"too many arguments for " + args[0];
      return false;
    }
    if (args.size() == 1) {
      if (option.m_bNeedsValue) {
        error = args[0] + L" needs a number";
        return false;
      }
      return true;
    }
    int nValue = 0;
    if (!ReadNumber(args[1], nValue) || nValue < option.m_nMin || nValue > option.m_nMax) {
      error = args[0] + L" takes a number from " + std::to_wstring(option.m_nMin) + L" to " +
              std::to_wstring(option.m_nMax);
      return false;
    }
    request.m_nValue = nValue;
    return true;
  }
  error = L"unknown option (see --help)";
  return false;
}
