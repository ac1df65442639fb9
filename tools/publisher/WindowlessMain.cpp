// nimbrel-publisherw.exe: the same publisher without a console window, for
// log-on and for shortcuts. Its lines go to the debugger output and its log
// file (and to the standard handles when a caller handed some over); --stop
// ends it.

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string_view>
#include <vector>

#include "PublisherMain.h"
#include "WindowlessOutput.h"

namespace {

struct LocalFreeDeleter {
  void operator()(wchar_t** p) const noexcept { LocalFree(p); }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  const std::unique_ptr<wchar_t*, LocalFreeDeleter> argv(
      CommandLineToArgvW(GetCommandLineW(), &argc));
  std::vector<std::wstring_view> args;
  for (int i = 1; argv && i < argc; ++i) {
    args.emplace_back(argv.get()[i]);
  }
  const ParseResult parsed = ParsePublisherOptions(args);
  CWindowlessSink output(parsed.m_options.m_strLogFolder);
  return PublisherMain(parsed, output);
}
