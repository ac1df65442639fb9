#include "publisher/sources/RouterSource.h"

#include <string_view>
#include <vector>

#include "publisher/output/LineSanitizer.h"
#include "publisher/upnp/SoapText.h"
#include "publisher/upnp/UrlResolve.h"

namespace {

// UPnP: 401 Invalid Action, 602 Optional Action Not Implemented.
bool IsUnknownActionCode(const std::wstring& strCode) {
  return strCode == L"401" || strCode == L"602";
}

// The router's own words inside one of our lines: no line break or other
// control character of theirs may split or steer it, and they take only part of it.
constexpr std::size_t kMaxShownWords = 200;
std::wstring Shown(std::wstring_view words) { return SanitizeConsoleLine(words, kMaxShownWords); }

std::wstring FaultText(const SoapReply& reply) {
  std::wstring text = L"UPnP error";
  if (!reply.m_strErrorCode.empty()) {
    text += L" " + Shown(reply.m_strErrorCode);
  }
  if (!reply.m_strErrorDescription.empty()) {
    text += L" (" + Shown(reply.m_strErrorDescription) + L")";
  }
  return text;
}

std::wstring RefusedControlUrl(const std::wstring& strDescriptionUrl,
                               const std::wstring& strControlUrl, const ControlUrlResult& control) {
  const std::wstring strAt = L"the router's description at " + strDescriptionUrl;
  const std::wstring strWhat = control.m_bFromUrlBase ? L" as its URL base" : L" for its actions";
  switch (control.m_verdict) {
    case ControlUrlVerdict::Ok:
    case ControlUrlVerdict::Unusable:
      break;
    case ControlUrlVerdict::NotHttp:
      return strAt + L" names " + Shown(control.m_strUrl) + strWhat +
             L"; refused: only http:// addresses are asked";
    case ControlUrlVerdict::OtherHost:
      return strAt + L" names " + Shown(control.m_strUrl) + strWhat +
             L"; refused: requests go only to the host the description came from";
  }
  return strAt + L" gives an unusable control URL '" + Shown(strControlUrl) + L"'";
}

// "HTTP 302, a redirect to http://..." (or without the target when it gave none).
std::wstring RedirectText(const HttpResult& answer) {
  std::wstring text = L"HTTP " + std::to_wstring(answer.m_dwStatus) + L", a redirect";
  if (!answer.m_strLocation.empty()) {
    text += L" to " + Shown(answer.m_strLocation);
  }
  return text;
}

bool IsRedirect(const HttpResult& answer) noexcept {
  return answer.m_dwStatus >= 300 && answer.m_dwStatus < 400;
}

// UDNs are uuids, whose hex digits either case may write. Two devices that
// both give none cannot be told apart, and count as one.
bool SameUdn(std::wstring_view a, std::wstring_view b) noexcept {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](wchar_t ch) {
      return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
    };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

// Bits per second as the answer gives them, in bytes per second; 0 (unknown)
// when missing, not a number or 0.
std::int64_t LinkBytesPerSec(const SoapReply& reply, std::wstring_view name) {
  const std::wstring* pText = reply.Find(name);
  const std::optional<std::int64_t> nBits = pText ? ParseUpnpUnsigned(*pText) : std::nullopt;
  return nBits ? *nBits / 8 : 0;
}

}  // namespace

CRouterSource::CRouterSource(std::wstring strRouter, DWORD dwDeadlineMs, HANDLE hCancel,
                             SsdpTarget ssdp)
    : m_http(dwDeadlineMs, hCancel),
      m_hCancel(hCancel),
      m_ssdp(ssdp),
      m_strRouter(std::move(strRouter)) {}

std::wstring CRouterSource::Start() {
  m_bStarted = false;
  m_sent.Forget();
  m_received.Forget();
  std::wstring strUrl = m_strRouter;
  if (m_strRouter == L"auto") {
    // A search sent to one machine rather than to the group asks that
    // machine: it is the one meant.
    const std::vector<std::uint32_t> gateways = IsMulticast(m_ssdp)
                                                    ? DefaultGatewayAddresses()
                                                    : std::vector<std::uint32_t>{m_ssdp.m_nIpv4};
    std::wstring strError;
    strUrl = DiscoverGatewayDescription(m_ssdp, kDiscoveryWaitMs, m_hCancel, gateways, strError);
    if (strUrl.empty()) {
      return strError;
    }
  }
  Device device;
  std::wstring strError = Describe(strUrl, device);
  if (!strError.empty()) {
    return strError;
  }
  Adopt(device);
  m_bCheckDevice = false;
  m_nFailedReadings = 0;
  (void)ReadLinkProperties(std::nullopt);
  m_bStarted = true;
  return {};
}

std::wstring CRouterSource::Describe(const std::wstring& strUrl, Device& device) {
  const HttpResult description = m_http.Get(strUrl);
  if (description.m_dwError != ERROR_SUCCESS) {
    return L"cannot reach the router at " + strUrl + L" (" +
           DescribeHttpError(description.m_dwError) +
           L"); check the address and that UPnP is turned on in the router";
  }
  if (IsRedirect(description)) {
    return L"the router at " + strUrl + L" answered " + RedirectText(description) +
           L", to the description request; redirects are not followed: give the description's "
           L"own address with --router";
  }
  if (description.m_dwStatus != 200) {
    return L"the router at " + strUrl + L" answered HTTP " +
           std::to_wstring(description.m_dwStatus) +
           L" to the description request; check the --router URL";
  }
  IgdDescription igd;
  if (ParseIgdDescription(description.m_strBody, igd) < 0) {
    return L"the router's description at " + strUrl +
           L" is not valid XML; check that --router names the UPnP device description";
  }
  if (igd.m_strServiceType.empty()) {
    return L"the router's description at " + strUrl +
           L" has no WANCommonInterfaceConfig service; turn on UPnP status information in the "
           L"router, or use --source adapter";
  }
  const ControlUrlResult control = ResolveControlUrl(strUrl, igd.m_strUrlBase, igd.m_strControlUrl);
  if (control.m_verdict != ControlUrlVerdict::Ok) {
    return RefusedControlUrl(strUrl, igd.m_strControlUrl, control);
  }
  device.m_strDescriptionUrl = strUrl;
  device.m_strServiceType = igd.m_strServiceType;
  device.m_strControlUrl = control.m_strUrl;
  device.m_strUdn = igd.m_strUdn;
  return {};
}

void CRouterSource::Adopt(const Device& device) {
  if (!SameUdn(device.m_strUdn, m_device.m_strUdn)) {
    // Another box: its counters' width and its link are its own.
    m_sent = CCounterRateTracker(CounterWidth::Bits32OrWider);
    m_received = CCounterRateTracker(CounterWidth::Bits32OrWider);
    m_nMaxDown = 0;
    m_nMaxUp = 0;
  }
  m_sent.Forget();
  m_received.Forget();
  // New firmware or another box may offer other actions.
  m_addon = Addon::Unknown;
  m_device = device;
}

std::wstring CRouterSource::CheckDevice() {
  m_bCheckDevice = false;
  Device device;
  std::wstring strError = Describe(m_device.m_strDescriptionUrl, device);
  if (!strError.empty()) {
    return strError;
  }
  if (SameUdn(device.m_strUdn, m_device.m_strUdn) &&
      device.m_strServiceType == m_device.m_strServiceType &&
      device.m_strControlUrl == m_device.m_strControlUrl) {
    return {};
  }
  Adopt(device);
  m_nLinkDueMs.reset();
  return {};
}

void CRouterSource::Doubt() noexcept {
  m_bCheckDevice = true;
  m_nLinkDueMs.reset();
}

SourceReading CRouterSource::Fail(std::wstring strError) {
  m_sent.Forget();
  m_received.Forget();
  if (++m_nFailedReadings >= kFailedReadingsBeforeStartOver) {
    m_bStarted = false;
  }
  return FailedReading(std::move(strError));
}

CRouterSource::ActionResult CRouterSource::Call(const wchar_t* pszAction) {
  ActionResult result;
  const std::wstring strWhat = std::wstring(L"router: ") + pszAction;
  const std::wstring strHeader = SoapActionHeader(m_device.m_strServiceType, pszAction);
  const std::string strBody = BuildSoapRequest(m_device.m_strServiceType, pszAction);
  if (strHeader.empty() || strBody.empty()) {
    result.m_strError =
        strWhat + L" cannot be asked of service " + Shown(m_device.m_strServiceType);
    return result;
  }
  const HttpResult answer = m_http.PostSoap(m_device.m_strControlUrl, strHeader, strBody);
  if (answer.m_dwError != ERROR_SUCCESS) {
    result.m_bNoAnswer = true;
    result.m_strError = strWhat + L" " + DescribeHttpError(answer.m_dwError);
    return result;
  }
  if (IsRedirect(answer)) {
    result.m_strError = strWhat + L" answered " + RedirectText(answer) + L", which is not followed";
    return result;
  }
  const bool bParsed = ParseSoapReply(answer.m_strBody, result.m_reply) >= 0;
  if (bParsed && result.m_reply.m_bFault) {
    result.m_bUnknownAction = IsUnknownActionCode(result.m_reply.m_strErrorCode);
    result.m_strError = strWhat + L" failed with " + FaultText(result.m_reply);
    return result;
  }
  if (answer.m_dwStatus != 200) {
    result.m_bUnknownAction = answer.m_dwStatus == 404 || answer.m_dwStatus == 501;
    result.m_strError = strWhat + L" answered HTTP " + std::to_wstring(answer.m_dwStatus);
    return result;
  }
  if (!bParsed) {
    result.m_strError = strWhat + L" answer is not valid XML";
    return result;
  }
  result.m_bOk = true;
  return result;
}

std::wstring CRouterSource::ReadLinkProperties(std::optional<std::uint64_t> nNowMs) {
  const ActionResult link = Call(L"GetCommonLinkProperties");
  if (link.m_bOk) {
    // A line not synced yet says 0; it is asked again until it knows.
    m_nMaxUp = LinkBytesPerSec(link.m_reply, L"NewLayer1UpstreamMaxBitRate");
    m_nMaxDown = LinkBytesPerSec(link.m_reply, L"NewLayer1DownstreamMaxBitRate");
  }
  m_bLinkAskedAtStart = !nNowMs.has_value();
  if (nNowMs) {
    m_nLinkDueMs = *nNowMs + (IsLinkKnown() ? kLinkRefreshMs : kLinkRetryMs);
  }
  return link.m_bNoAnswer ? link.m_strError : std::wstring();
}

SourceReading CRouterSource::Read(std::uint64_t nNowMs) {
  if (m_nLastReadMs &&
      (nNowMs < *m_nLastReadMs || nNowMs - *m_nLastReadMs > kLongestReadingGapMs)) {
    m_sent.Forget();
    m_received.Forget();
    Doubt();
  }
  m_nLastReadMs = nNowMs;
  if (!m_bStarted) {
    std::wstring strError = Start();
    if (!strError.empty()) {
      return Fail(std::move(strError));
    }
  }
  if (m_bLinkAskedAtStart) {
    m_bLinkAskedAtStart = false;
    m_nLinkDueMs = nNowMs + (IsLinkKnown() ? kLinkRefreshMs : kLinkRetryMs);
  }
  if (m_bCheckDevice) {
    std::wstring strError = CheckDevice();
    if (!strError.empty()) {
      return Fail(std::move(strError));
    }
  }
  if (!m_nLinkDueMs || nNowMs >= *m_nLinkDueMs) {
    // A router that did not answer this exchange would most likely not answer the next.
    std::wstring strNoAnswer = ReadLinkProperties(nNowMs);
    if (!strNoAnswer.empty()) {
      return Fail(std::move(strNoAnswer));
    }
  }
  std::optional<SourceReading> addon = ReadAddon();
  return addon ? std::move(*addon) : ReadTotals(nNowMs);
}

std::optional<SourceReading> CRouterSource::ReadAddon() {
  if (m_addon == Addon::Absent) {
    return std::nullopt;
  }
  const ActionResult addon = Call(L"GetAddonInfos");
  if (!addon.m_bOk) {
    if (addon.m_bUnknownAction && m_addon == Addon::Unknown) {
      m_addon = Addon::Absent;
      return std::nullopt;
    }
    return Fail(addon.m_strError);
  }
  const std::wstring* pSend = addon.m_reply.Find(L"NewByteSendRate");
  const std::wstring* pReceive = addon.m_reply.Find(L"NewByteReceiveRate");
  const auto nSend = pSend ? ParseUpnpUnsigned(*pSend) : std::nullopt;
  const auto nReceive = pReceive ? ParseUpnpUnsigned(*pReceive) : std::nullopt;
  if (!nSend || !nReceive) {
    if (m_addon == Addon::Present) {
      return Fail(L"router: GetAddonInfos answered without byte rates");
    }
    m_addon = Addon::Absent;
    return std::nullopt;
  }
  m_addon = Addon::Present;
  m_nFailedReadings = 0;
  // The router's own rates, held to the same bound as ours: a rate its link
  // cannot carry did not happen.
  if (!IsPlausibleRate(*nReceive, static_cast<std::uint64_t>(m_nMaxDown)) ||
      !IsPlausibleRate(*nSend, static_cast<std::uint64_t>(m_nMaxUp))) {
    Doubt();
    return SourceReading{};
  }
  TrafficSample sample;
  sample.m_nRateDown = *nReceive;
  sample.m_nRateUp = *nSend;
  sample.m_nMaxDown = m_nMaxDown;
  sample.m_nMaxUp = m_nMaxUp;
  return SampleReading(sample);
}

SourceReading CRouterSource::ReadTotals(std::uint64_t nNowMs) {
  const ActionResult sent = Call(L"GetTotalBytesSent");
  if (!sent.m_bOk) {
    return Fail(sent.m_strError);
  }
  const ActionResult received = Call(L"GetTotalBytesReceived");
  if (!received.m_bOk) {
    return Fail(received.m_strError);
  }
  const std::wstring* pSent = sent.m_reply.Find(L"NewTotalBytesSent");
  const std::wstring* pReceived = received.m_reply.Find(L"NewTotalBytesReceived");
  const auto nSent = pSent ? ParseUpnpUnsigned(*pSent) : std::nullopt;
  const auto nReceived = pReceived ? ParseUpnpUnsigned(*pReceived) : std::nullopt;
  if (!nSent || !nReceived) {
    return Fail(L"router: the byte totals are missing from its answer");
  }
  m_nFailedReadings = 0;

  const auto nUp =
      m_sent.Add(static_cast<std::uint64_t>(*nSent), nNowMs, static_cast<std::uint64_t>(m_nMaxUp));
  const auto nDown = m_received.Add(static_cast<std::uint64_t>(*nReceived), nNowMs,
                                    static_cast<std::uint64_t>(m_nMaxDown));
  for (const CCounterRateTracker* pTracker : {&m_sent, &m_received}) {
    if (pTracker->LastStep() == CounterStep::Reset ||
        pTracker->LastStep() == CounterStep::Implausible) {
      Doubt();
    }
  }
  if (!nUp || !nDown) {
    return {};
  }
  TrafficSample sample;
  sample.m_nRateDown = *nDown;
  sample.m_nRateUp = *nUp;
  sample.m_nMaxDown = m_nMaxDown;
  sample.m_nMaxUp = m_nMaxUp;
  return SampleReading(sample);
}
