#include "publisher/options/CommandLineSplitting.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>

namespace {

struct LocalFreeDeleter {
  void operator()(wchar_t** p) const noexcept { LocalFree(p); }
};

}  // namespace

std::vector<std::wstring> SplitCommandLine(const wchar_t* pszCommandLine) {
  if (pszCommandLine == nullptr || *pszCommandLine == L'\0') {
    return {};
  }
  int argc = 0;
  const std::unique_ptr<wchar_t*, LocalFreeDeleter> argv(CommandLineToArgvW(pszCommandLine, &argc));
  std::vector<std::wstring> args;
  for (int i = 0; argv && i < argc; ++i) {
    args.emplace_back(argv.get()[i]);
  }
  return args;
}
