#include "publisher/system/SystemMessage.h"

std::wstring SystemMessage(DWORD dwError) {
  wchar_t szText[256] = {};
  const DWORD cch =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError,
                     0, szText, static_cast<DWORD>(std::size(szText)), nullptr);
  std::wstring text(szText, cch);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                           text.back() == L'.')) {
    text.pop_back();
  }
  return L"error " + std::to_wstring(dwError) + (text.empty() ? L"" : L": " + text);
}
