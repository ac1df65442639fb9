#include "publisher/upnp/HttpClient.h"

#include <atomic>
#include <memory>
#include <new>

#include "common/UniqueHandle.h"
#include "publisher/upnp/SoapText.h"
#include "publisher/upnp/UrlResolve.h"

namespace {

// A description or SOAP answer is a few kilobytes; anything far larger is not one.
constexpr std::size_t kMaxBody = 1 << 20;
constexpr DWORD kReadChunk = 16 * 1024;

// What one exchange shares with WinHTTP's callbacks. The caller may give up
// on an exchange (deadline, cancel) while WinHTTP still works on it in the
// background, so the callbacks never touch the caller's memory: this object
// holds all they use and lives until both the caller and the request handle
// (its HANDLE_CLOSING notice) have let go.
class CExchange {
 public:
  static CExchange* Create() noexcept {
    auto* pExchange = new (std::nothrow) CExchange();
    if (pExchange != nullptr && !pExchange->m_hStepDone) {
      delete pExchange;
      return nullptr;
    }
    return pExchange;
  }
  CExchange(const CExchange&) = delete;
  CExchange& operator=(const CExchange&) = delete;

  void AddRef() noexcept { m_nRefs.fetch_add(1, std::memory_order_relaxed); }
  void Release() noexcept {
    if (m_nRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      delete this;
    }
  }

  // From the callbacks: the step in progress ended.
  void StepDone(DWORD dwError, DWORD dwCount) noexcept {
    m_dwError = dwError;
    m_dwCount = dwCount;
    SetEvent(m_hStepDone.Get());
  }
  [[nodiscard]] HANDLE StepEvent() const noexcept { return m_hStepDone.Get(); }
  [[nodiscard]] DWORD StepError() const noexcept { return m_dwError; }
  [[nodiscard]] DWORD StepCount() const noexcept { return m_dwCount; }

  // WinHTTP reads and writes these until the step that uses them ends.
  std::wstring m_strHeaders;
  std::string m_strRequestBody;
  char m_buffer[kReadChunk] = {};

 private:
  CExchange() noexcept : m_hStepDone(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  ~CExchange() = default;

  std::atomic<LONG> m_nRefs{1};
  CUniqueHandle m_hStepDone;
  DWORD m_dwError = ERROR_SUCCESS;
  DWORD m_dwCount = 0;
};

struct ExchangeReleaser {
  void operator()(CExchange* pExchange) const noexcept { pExchange->Release(); }
};
using ExchangeRef = std::unique_ptr<CExchange, ExchangeReleaser>;

void CALLBACK OnRequestStatus(HINTERNET, DWORD_PTR dwContext, DWORD dwStatus, void* pInfo,
                              DWORD cbInfo) noexcept {
  auto* pExchange = reinterpret_cast<CExchange*>(dwContext);
  if (pExchange == nullptr) {
    return;
  }
  switch (dwStatus) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      pExchange->StepDone(ERROR_SUCCESS, 0);
      break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      pExchange->StepDone(ERROR_SUCCESS, *static_cast<const DWORD*>(pInfo));
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      pExchange->StepDone(ERROR_SUCCESS, cbInfo);
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
      const DWORD dwError = static_cast<const WINHTTP_ASYNC_RESULT*>(pInfo)->dwError;
      pExchange->StepDone(dwError == ERROR_SUCCESS ? ERROR_WINHTTP_INTERNAL_ERROR : dwError, 0);
      break;
    }
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
      pExchange->Release();
      break;
    default:
      break;
  }
}

}  // namespace

CHttpClient::CHttpClient(DWORD dwDeadlineMs, HANDLE hCancel) noexcept
    : m_hSession(WinHttpOpen(L"nimbrel-publisher/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY,
                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC)),
      m_dwDeadlineMs(dwDeadlineMs),
      m_hCancel(hCancel) {
  if (!m_hSession) {
    return;
  }
  // The deadline bounds the exchange; these only keep WinHTTP from holding
  // a connection it was told to drop for much longer than that.
  const int nTimeout = static_cast<int>(dwDeadlineMs);
  WinHttpSetTimeouts(m_hSession.Get(), nTimeout, nTimeout, nTimeout, nTimeout);
  // Not among those: the wait for an answer's headers. Wine's WinHTTP waits
  // for them forever by default, even after the request handle was closed,
  // holding a thread (a few MB) and the exchange's memory for as long as a
  // hung router keeps the connection open; Windows gives up after 90 s.
  DWORD dwResponseTimeout = dwDeadlineMs;
  WinHttpSetOption(m_hSession.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &dwResponseTimeout,
                   sizeof(dwResponseTimeout));
  DWORD dwPolicy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  if (!WinHttpSetOption(m_hSession.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &dwPolicy,
                        sizeof(dwPolicy))) {
    m_hSession.Reset();
  }
}

HttpResult CHttpClient::Get(const std::wstring& strUrl) { return Send(L"GET", strUrl, {}, ""); }

HttpResult CHttpClient::PostSoap(const std::wstring& strUrl,
                                 const std::wstring& strSoapActionHeader,
                                 const std::string& strBody) {
  return Send(L"POST", strUrl, {L"Content-Type: text/xml; charset=\"utf-8\"", strSoapActionHeader},
              strBody);
}

HttpResult CHttpClient::Send(const wchar_t* pszVerb, const std::wstring& strUrl,
                             const std::vector<std::wstring>& headerLines,
                             const std::string& strBody) {
  const ULONGLONG nDeadline = GetTickCount64() + m_dwDeadlineMs;
  HttpResult result;
  const auto fail = [&result](DWORD dwError) {
    result.m_dwError =
        dwError == ERROR_SUCCESS ? static_cast<DWORD>(ERROR_WINHTTP_INTERNAL_ERROR) : dwError;
    return result;
  };
  if (!m_hSession) {
    return fail(ERROR_WINHTTP_INTERNAL_ERROR);
  }
  const std::optional<HttpUrl> url = ParseHttpUrl(strUrl);
  if (!url) {
    return fail(ERROR_WINHTTP_INVALID_URL);
  }
  const ExchangeRef pExchange(CExchange::Create());
  if (!pExchange) {
    return fail(ERROR_OUTOFMEMORY);
  }
  for (const std::wstring& strLine : headerLines) {
    if (!IsSafeHeaderLine(strLine)) {
      return fail(ERROR_WINHTTP_INVALID_HEADER);
    }
    pExchange->m_strHeaders += strLine + L"\r\n";
  }
  pExchange->m_strRequestBody = strBody;

  const CUniqueInternetHandle hConnect(
      WinHttpConnect(m_hSession.Get(), url->m_strHost.c_str(), url->m_nPort, 0));
  if (!hConnect) {
    return fail(GetLastError());
  }
  const CUniqueInternetHandle hRequest(
      WinHttpOpenRequest(hConnect.Get(), pszVerb, url->m_strPath.c_str(), nullptr,
                         WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!hRequest) {
    return fail(GetLastError());
  }
  // From here on the request handle holds a reference, given back in HANDLE_CLOSING.
  if (WinHttpSetStatusCallback(
          hRequest.Get(), OnRequestStatus,
          WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
          0) == WINHTTP_INVALID_STATUS_CALLBACK) {
    return fail(GetLastError());
  }
  DWORD_PTR nContext = reinterpret_cast<DWORD_PTR>(pExchange.get());
  pExchange->AddRef();
  if (!WinHttpSetOption(hRequest.Get(), WINHTTP_OPTION_CONTEXT_VALUE, &nContext,
                        sizeof(nContext))) {
    pExchange->Release();
    return fail(GetLastError());
  }
  // A redirect is an answer of its own, never a request elsewhere; and no
  // answer earns this user's Windows credentials.
  DWORD dwDisable = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
  if (!WinHttpSetOption(hRequest.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &dwDisable,
                        sizeof(dwDisable))) {
    return fail(GetLastError());
  }
  DWORD dwLogon = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
  WinHttpSetOption(hRequest.Get(), WINHTTP_OPTION_AUTOLOGON_POLICY, &dwLogon, sizeof(dwLogon));

  // Each step either fails at once or ends in exactly one callback.
  const HANDLE waitFor[] = {pExchange->StepEvent(), m_hCancel};
  const DWORD nWaitFor = m_hCancel != nullptr ? 2 : 1;
  const auto step = [&](BOOL bStarted) -> DWORD {
    if (!bStarted) {
      const DWORD dwError = GetLastError();
      return dwError == ERROR_SUCCESS ? static_cast<DWORD>(ERROR_WINHTTP_INTERNAL_ERROR) : dwError;
    }
    const ULONGLONG nNow = GetTickCount64();
    const DWORD dwLeft = nNow < nDeadline ? static_cast<DWORD>(nDeadline - nNow) : 0;
    switch (WaitForMultipleObjects(nWaitFor, waitFor, FALSE, dwLeft)) {
      case WAIT_OBJECT_0:
        return pExchange->StepError();
      case WAIT_OBJECT_0 + 1:
        return ERROR_OPERATION_ABORTED;
      case WAIT_TIMEOUT:
        return ERROR_WINHTTP_TIMEOUT;
      default:
        return GetLastError();
    }
  };

  const std::wstring& strHeaders = pExchange->m_strHeaders;
  std::string& strRequestBody = pExchange->m_strRequestBody;
  void* pBody = strRequestBody.empty() ? WINHTTP_NO_REQUEST_DATA : strRequestBody.data();
  const auto cbBody = static_cast<DWORD>(strRequestBody.size());
  DWORD dwError = step(WinHttpSendRequest(
      hRequest.Get(), strHeaders.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : strHeaders.c_str(),
      static_cast<DWORD>(strHeaders.size()), pBody, cbBody, cbBody, nContext));
  if (dwError == ERROR_SUCCESS) {
    dwError = step(WinHttpReceiveResponse(hRequest.Get(), nullptr));
  }
  if (dwError != ERROR_SUCCESS) {
    return fail(dwError);
  }

  DWORD dwStatus = 0;
  DWORD cbStatus = sizeof(dwStatus);
  if (!WinHttpQueryHeaders(hRequest.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &dwStatus, &cbStatus,
                           WINHTTP_NO_HEADER_INDEX)) {
    return fail(GetLastError());
  }
  result.m_dwStatus = dwStatus;
  if (dwStatus >= 300 && dwStatus < 400) {
    wchar_t szLocation[kMaxUrlLength + 1] = {};
    DWORD cbLocation = sizeof(szLocation) - sizeof(wchar_t);
    if (WinHttpQueryHeaders(hRequest.Get(), WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX,
                            szLocation, &cbLocation, WINHTTP_NO_HEADER_INDEX)) {
      result.m_strLocation.assign(szLocation, cbLocation / sizeof(wchar_t));
    }
  }

  for (;;) {
    dwError = step(WinHttpQueryDataAvailable(hRequest.Get(), nullptr));
    if (dwError != ERROR_SUCCESS) {
      return fail(dwError);
    }
    const DWORD cbAvailable = pExchange->StepCount();
    if (cbAvailable == 0) {
      break;
    }
    if (result.m_strBody.size() + cbAvailable > kMaxBody) {
      return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    const DWORD cbWant = cbAvailable < kReadChunk ? cbAvailable : kReadChunk;
    dwError = step(WinHttpReadData(hRequest.Get(), pExchange->m_buffer, cbWant, nullptr));
    if (dwError != ERROR_SUCCESS) {
      return fail(dwError);
    }
    const DWORD cbRead = pExchange->StepCount();
    if (cbRead == 0) {
      break;
    }
    result.m_strBody.append(pExchange->m_buffer, cbRead);
  }
  return result;
}

std::wstring DescribeHttpError(DWORD dwError) {
  switch (dwError) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT:
      return L"timed out";
    case ERROR_OPERATION_ABORTED:
      return L"stopped";
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
    case ERROR_WINHTTP_INVALID_HEADER:
      return L"request refused: unsafe header";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return L"not an HTTP answer";
    case ERROR_INSUFFICIENT_BUFFER:
      return L"answer too large";
    default:
      return L"error " + std::to_wstring(dwError);
  }
}
