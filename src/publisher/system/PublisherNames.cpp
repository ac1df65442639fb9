#include "publisher/system/PublisherNames.h"

namespace {

// A backslash would move the object into another namespace ("Local\", "Global\").
std::wstring Suffixed(const wchar_t* pszPrefix, const std::wstring& strSectionName) {
  std::wstring strName = pszPrefix;
  for (wchar_t ch : strSectionName) {
    strName.push_back(ch == L'\\' ? L'_' : ch);
  }
  return strName;
}

}  // namespace

std::wstring PublisherMutexName(const std::wstring& strSectionName) {
  return Suffixed(L"Nimbrel_Publisher_", strSectionName);
}

std::wstring PublisherStopEventName(const std::wstring& strSectionName) {
  return Suffixed(L"Nimbrel_Publisher_Stop_", strSectionName);
}
