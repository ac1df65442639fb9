#pragma once
// The two requests the router source makes, over WinHTTP: GET the device
// description, POST a SOAP action. No proxy: the router is on the LAN. No
// redirect is followed, and each exchange ends by its deadline or as soon as
// the cancel event is set, however slowly the router answers: WinHTTP runs
// asynchronously and the exchange is abandoned by closing its request.

#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

#include "common/UniqueHandle.h"

inline constexpr DWORD kHttpDeadlineMs = 5000;

struct HttpResult {
  DWORD m_dwError = ERROR_SUCCESS;  // nonzero: no answer (WinHTTP or Win32 error)
  DWORD m_dwStatus = 0;             // the answer's HTTP status
  std::string m_strBody;
  std::wstring m_strLocation;  // a redirect's Location header, never followed
};

// A WinHTTP session, connection or request, owned.
struct InternetHandleTraits : TNullHandle<HINTERNET> {
  static void Close(Handle h) noexcept { ::WinHttpCloseHandle(h); }
};
using CUniqueInternetHandle = TUniqueHandle<InternetHandleTraits>;

class CHttpClient {
 public:
  // hCancel may be null; when it is set, exchanges end with ERROR_OPERATION_ABORTED.
  explicit CHttpClient(DWORD dwDeadlineMs = kHttpDeadlineMs, HANDLE hCancel = nullptr) noexcept;

  [[nodiscard]] HttpResult Get(const std::wstring& strUrl);
  [[nodiscard]] HttpResult PostSoap(const std::wstring& strUrl,
                                    const std::wstring& strSoapActionHeader,
                                    const std::string& strBody);

 private:
  [[nodiscard]] HttpResult Send(const wchar_t* pszVerb, const std::wstring& strUrl,
                                const std::vector<std::wstring>& headerLines,
                                const std::string& strBody);

  CUniqueInternetHandle m_hSession;
  DWORD m_dwDeadlineMs;
  HANDLE m_hCancel;
};

// "timed out", "connection refused", ... for an error line.
[[nodiscard]] std::wstring DescribeHttpError(DWORD dwError);
