#include "feed/StringFormat.h"

#include <cwchar>

HRESULT StringCbVPrintfW(wchar_t* pszDest, std::size_t cbDest, const wchar_t* pszFormat,
                         va_list argList) noexcept {
  const std::size_t cchDest = cbDest / sizeof(wchar_t);
  if (cchDest == 0 || cchDest > STRSAFE_MAX_CCH) {
    return STRSAFE_E_INVALID_PARAMETER;
  }
  const int nWritten = std::vswprintf(pszDest, cchDest, pszFormat, argList);
  if (nWritten < 0) {
    // glibc reports text that does not fit as -1; the cut text is already in
    // place, so only the terminator is made certain.
    pszDest[cchDest - 1] = L'\0';
    return STRSAFE_E_INSUFFICIENT_BUFFER;
  }
  return S_OK;
}

HRESULT StringCbPrintfW(wchar_t* pszDest, std::size_t cbDest, const wchar_t* pszFormat,
                        ...) noexcept {
  va_list argList;
  va_start(argList, pszFormat);
  const HRESULT hr = StringCbVPrintfW(pszDest, cbDest, pszFormat, argList);
  va_end(argList);
  return hr;
}
