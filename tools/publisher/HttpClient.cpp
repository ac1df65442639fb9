#include "HttpClient.h"

namespace {

// A description or SOAP answer is a few kilobytes; anything far larger is not one.
constexpr std::size_t kMaxBody = 1 << 20;

}  // namespace

CHttpClient::CHttpClient(DWORD dwTimeoutMs) noexcept
    : m_hSession(WinHttpOpen(L"nimbrel-publisher/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY,
                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)),
      m_dwTimeoutMs(dwTimeoutMs) {
  if (m_hSession) {
    const int nTimeout = static_cast<int>(dwTimeoutMs);
    WinHttpSetTimeouts(m_hSession.get(), nTimeout, nTimeout, nTimeout, nTimeout);
  }
}

HttpResult CHttpClient::Get(const std::wstring& strUrl) { return Send(L"GET", strUrl, L"", ""); }

HttpResult CHttpClient::PostSoap(const std::wstring& strUrl,
                                 const std::wstring& strSoapActionHeader,
                                 const std::string& strBody) {
  return Send(L"POST", strUrl,
              L"Content-Type: text/xml; charset=\"utf-8\"\r\n" + strSoapActionHeader, strBody);
}

HttpResult CHttpClient::Send(const wchar_t* pszVerb, const std::wstring& strUrl,
                             const std::wstring& strHeaders, const std::string& strBody) {
  HttpResult result;
  const auto fail = [&result](DWORD dwError) {
    result.m_dwError =
        dwError == ERROR_SUCCESS ? static_cast<DWORD>(ERROR_WINHTTP_INTERNAL_ERROR) : dwError;
    return result;
  };
  if (!m_hSession) return fail(GetLastError());

  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(strUrl.c_str(), static_cast<DWORD>(strUrl.size()), 0, &parts))
    return fail(GetLastError());
  const std::wstring strHost(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring strPath(parts.lpszUrlPath, parts.dwUrlPathLength);
  strPath.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (strPath.empty()) strPath = L"/";

  const InternetHandle hConnect(WinHttpConnect(m_hSession.get(), strHost.c_str(), parts.nPort, 0));
  if (!hConnect) return fail(GetLastError());
  const DWORD dwFlags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
  const InternetHandle hRequest(WinHttpOpenRequest(hConnect.get(), pszVerb, strPath.c_str(),
                                                   nullptr, WINHTTP_NO_REFERER,
                                                   WINHTTP_DEFAULT_ACCEPT_TYPES, dwFlags));
  if (!hRequest) return fail(GetLastError());
  // Waiting for the answer's headers has a limit of its own, 90 s unless set.
  DWORD dwResponseTimeout = m_dwTimeoutMs;
  WinHttpSetOption(hRequest.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &dwResponseTimeout,
                   sizeof(dwResponseTimeout));

  void* pBody = strBody.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(strBody.data());
  const auto cbBody = static_cast<DWORD>(strBody.size());
  if (!WinHttpSendRequest(
          hRequest.get(), strHeaders.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : strHeaders.c_str(),
          strHeaders.empty() ? 0 : static_cast<DWORD>(-1L), pBody, cbBody, cbBody, 0)) {
    return fail(GetLastError());
  }
  if (!WinHttpReceiveResponse(hRequest.get(), nullptr)) return fail(GetLastError());

  DWORD dwStatus = 0;
  DWORD cbStatus = sizeof(dwStatus);
  if (!WinHttpQueryHeaders(hRequest.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &dwStatus, &cbStatus,
                           WINHTTP_NO_HEADER_INDEX)) {
    return fail(GetLastError());
  }
  result.m_dwStatus = dwStatus;

  for (;;) {
    DWORD cbAvailable = 0;
    if (!WinHttpQueryDataAvailable(hRequest.get(), &cbAvailable)) return fail(GetLastError());
    if (cbAvailable == 0) break;
    if (result.m_strBody.size() + cbAvailable > kMaxBody) return fail(ERROR_INSUFFICIENT_BUFFER);
    const std::size_t nOld = result.m_strBody.size();
    result.m_strBody.resize(nOld + cbAvailable);
    DWORD cbRead = 0;
    if (!WinHttpReadData(hRequest.get(), result.m_strBody.data() + nOld, cbAvailable, &cbRead)) {
      return fail(GetLastError());
    }
    result.m_strBody.resize(nOld + cbRead);
    if (cbRead == 0) break;
  }
  return result;
}

std::wstring DescribeHttpError(DWORD dwError) {
  switch (dwError) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT:
      return L"timed out";
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case WSAECONNREFUSED:
      return L"cannot connect";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return L"connection lost";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return L"host name not found";
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      return L"invalid URL";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return L"not an HTTP answer";
    case ERROR_INSUFFICIENT_BUFFER:
      return L"answer too large";
    default:
      return L"error " + std::to_wstring(dwError);
  }
}
