// nimbrel-publisherw.exe: the same publisher without a console window, for
// log-on and for shortcuts. Its lines go to the debugger output and its log
// file (and to the standard handles when a caller handed some over); --stop
// ends it.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "publisher/main/PublisherMain.h"
#include "publisher/options/CommandLineSplitting.h"
#include "publisher/output/WindowlessOutput.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::vector<std::wstring> commandLine = SplitCommandLine(GetCommandLineW());
  std::vector<std::wstring_view> args;
  for (std::size_t i = 1; i < commandLine.size(); ++i) {
    args.emplace_back(commandLine[i]);
  }
  const ParseResult parsed = ParsePublisherOptions(args);
  CWindowlessSink output(parsed.m_options.m_strLogFolder);
  return PublisherMain(parsed, output);
}
