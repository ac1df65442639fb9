#pragma once
// The two requests the router source makes, over WinHTTP: GET the device
// description, POST a SOAP action. No proxy: the router is on the LAN.

#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <string>

struct HttpResult {
  DWORD m_dwError = ERROR_SUCCESS;  // nonzero: no answer (WinHTTP or Win32 error)
  DWORD m_dwStatus = 0;             // the answer's HTTP status
  std::string m_strBody;
};

class CHttpClient {
 public:
  // Each of resolve, connect, send and receive may take dwTimeoutMs.
  explicit CHttpClient(DWORD dwTimeoutMs) noexcept;

  [[nodiscard]] HttpResult Get(const std::wstring& strUrl);
  [[nodiscard]] HttpResult PostSoap(const std::wstring& strUrl,
                                    const std::wstring& strSoapActionHeader,
                                    const std::string& strBody);

 private:
  struct InternetCloser {
    void operator()(HINTERNET h) const noexcept { WinHttpCloseHandle(h); }
  };
  using InternetHandle = std::unique_ptr<void, InternetCloser>;

  [[nodiscard]] HttpResult Send(const wchar_t* pszVerb, const std::wstring& strUrl,
                                const std::wstring& strHeaders, const std::string& strBody);

  InternetHandle m_hSession;
  DWORD m_dwTimeoutMs;
};

// "timed out", "connection refused", ... for an error line.
[[nodiscard]] std::wstring DescribeHttpError(DWORD dwError);
