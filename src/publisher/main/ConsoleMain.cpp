// nimbrel-publisher.exe: the publisher in a console, printing as it goes,
// until Ctrl+C, the console closing or --stop.

#include <string_view>
#include <vector>

#include "publisher/main/PublisherMain.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring_view> args;
  for (int i = 1; i < argc; ++i) {
    args.emplace_back(argv[i]);
  }
  CConsoleSink output;
  return PublisherMain(ParsePublisherOptions(args), output);
}
