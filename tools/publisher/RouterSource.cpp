#include "RouterSource.h"

#include <vector>

#include "ConsoleLine.h"
#include "SoapText.h"
#include "UrlResolve.h"

namespace {

// A router that cannot tell its link rates is asked again now and then.
constexpr std::uint64_t kLinkRetryMs = 60'000;

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

}  // namespace

CRouterSource::CRouterSource(std::wstring strRouter, DWORD dwDeadlineMs, HANDLE hCancel,
                             SsdpTarget ssdp)
    : m_http(dwDeadlineMs, hCancel),
      m_hCancel(hCancel),
      m_ssdp(ssdp),
      m_strRouter(std::move(strRouter)) {}

std::wstring CRouterSource::Start() {
  m_strDescriptionUrl = m_strRouter;
  if (m_strRouter == L"auto") {
    // A search sent to one machine rather than to the group asks that
    // machine: it is the one meant.
    const std::vector<std::uint32_t> gateways = IsMulticast(m_ssdp)
                                                    ? DefaultGatewayAddresses()
                                                    : std::vector<std::uint32_t>{m_ssdp.m_nIpv4};
    std::wstring strError;
    m_strDescriptionUrl =
        DiscoverGatewayDescription(m_ssdp, kDiscoveryWaitMs, m_hCancel, gateways, strError);
    if (m_strDescriptionUrl.empty()) return strError;
  }

  const HttpResult description = m_http.Get(m_strDescriptionUrl);
  if (description.m_dwError != ERROR_SUCCESS) {
    return L"cannot reach the router at " + m_strDescriptionUrl + L" (" +
           DescribeHttpError(description.m_dwError) +
           L"); check the address and that UPnP is turned on in the router";
  }
  if (IsRedirect(description)) {
    return L"the router at " + m_strDescriptionUrl + L" answered " + RedirectText(description) +
           L", to the description request; redirects are not followed: give the description's "
           L"own address with --router";
  }
  if (description.m_dwStatus != 200) {
    return L"the router at " + m_strDescriptionUrl + L" answered HTTP " +
           std::to_wstring(description.m_dwStatus) +
           L" to the description request; check the --router URL";
  }
  IgdDescription igd;
  if (ParseIgdDescription(description.m_strBody, igd) < 0) {
    return L"the router's description at " + m_strDescriptionUrl +
           L" is not valid XML; check that --router names the UPnP device description";
  }
  if (igd.m_strServiceType.empty()) {
    return L"the router's description at " + m_strDescriptionUrl +
           L" has no WANCommonInterfaceConfig service; turn on UPnP status information in the "
           L"router, "
           L"or use --source adapter";
  }
  m_strServiceType = igd.m_strServiceType;
  const ControlUrlResult control =
      ResolveControlUrl(m_strDescriptionUrl, igd.m_strUrlBase, igd.m_strControlUrl);
  if (control.m_verdict != ControlUrlVerdict::Ok) {
    return RefusedControlUrl(m_strDescriptionUrl, igd.m_strControlUrl, control);
  }
  m_strControlUrl = control.m_strUrl;
  (void)ReadLinkProperties(0);
  return {};
}

CRouterSource::ActionResult CRouterSource::Call(const wchar_t* pszAction) {
  ActionResult result;
  const std::wstring strWhat = std::wstring(L"router: ") + pszAction;
  const std::wstring strHeader = SoapActionHeader(m_strServiceType, pszAction);
  const std::string strBody = BuildSoapRequest(m_strServiceType, pszAction);
  if (strHeader.empty() || strBody.empty()) {
    result.m_strError = strWhat + L" cannot be asked of service " + Shown(m_strServiceType);
    return result;
  }
  const HttpResult answer = m_http.PostSoap(m_strControlUrl, strHeader, strBody);
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

std::wstring CRouterSource::ReadLinkProperties(std::uint64_t nNowMs) {
  m_nLinkRetryMs = nNowMs + kLinkRetryMs;
  const ActionResult link = Call(L"GetCommonLinkProperties");
  if (!link.m_bOk) {
    return link.m_bNoAnswer ? link.m_strError : std::wstring();
  }
  const std::wstring* pUp = link.m_reply.Find(L"NewLayer1UpstreamMaxBitRate");
  const std::wstring* pDown = link.m_reply.Find(L"NewLayer1DownstreamMaxBitRate");
  const auto nUpBits = pUp ? ParseUpnpUnsigned(*pUp) : std::nullopt;
  const auto nDownBits = pDown ? ParseUpnpUnsigned(*pDown) : std::nullopt;
  if (!nUpBits || !nDownBits) return {};
  m_nMaxUp = *nUpBits / 8;
  m_nMaxDown = *nDownBits / 8;
  m_bLinkKnown = true;
  return {};
}

SourceReading CRouterSource::Read(std::uint64_t nNowMs) {
  if (!m_bLinkKnown && nNowMs >= m_nLinkRetryMs) {
    // A router that did not answer this exchange would most likely not answer the next.
    std::wstring strNoAnswer = ReadLinkProperties(nNowMs);
    if (!strNoAnswer.empty()) {
      return FailedReading(std::move(strNoAnswer));
    }
  }

  if (m_addon != Addon::Absent) {
    const ActionResult addon = Call(L"GetAddonInfos");
    if (addon.m_bOk) {
      const std::wstring* pSend = addon.m_reply.Find(L"NewByteSendRate");
      const std::wstring* pReceive = addon.m_reply.Find(L"NewByteReceiveRate");
      const auto nSend = pSend ? ParseUpnpUnsigned(*pSend) : std::nullopt;
      const auto nReceive = pReceive ? ParseUpnpUnsigned(*pReceive) : std::nullopt;
      if (nSend && nReceive) {
        m_addon = Addon::Present;
        TrafficSample sample;
        sample.m_nRateDown = *nReceive;
        sample.m_nRateUp = *nSend;
        sample.m_nMaxDown = m_nMaxDown;
        sample.m_nMaxUp = m_nMaxUp;
        return SampleReading(sample);
      }
      if (m_addon == Addon::Present)
        return FailedReading(L"router: GetAddonInfos answered without byte rates");
      m_addon = Addon::Absent;
    } else if (addon.m_bUnknownAction && m_addon == Addon::Unknown) {
      m_addon = Addon::Absent;
    } else {
      return FailedReading(addon.m_strError);
    }
  }
  return ReadTotals(nNowMs);
}

SourceReading CRouterSource::ReadTotals(std::uint64_t nNowMs) {
  const ActionResult sent = Call(L"GetTotalBytesSent");
  if (!sent.m_bOk) return FailedReading(sent.m_strError);
  const ActionResult received = Call(L"GetTotalBytesReceived");
  if (!received.m_bOk) return FailedReading(received.m_strError);
  const std::wstring* pSent = sent.m_reply.Find(L"NewTotalBytesSent");
  const std::wstring* pReceived = received.m_reply.Find(L"NewTotalBytesReceived");
  const auto nSent = pSent ? ParseUpnpUnsigned(*pSent) : std::nullopt;
  const auto nReceived = pReceived ? ParseUpnpUnsigned(*pReceived) : std::nullopt;
  if (!nSent || !nReceived)
    return FailedReading(L"router: the byte totals are missing from its answer");

  const auto nUp =
      m_sent.Add(static_cast<std::uint64_t>(*nSent), nNowMs, static_cast<std::uint64_t>(m_nMaxUp));
  const auto nDown = m_received.Add(static_cast<std::uint64_t>(*nReceived), nNowMs,
                                    static_cast<std::uint64_t>(m_nMaxDown));
  if (!nUp || !nDown) return {};
  TrafficSample sample;
  sample.m_nRateDown = *nDown;
  sample.m_nRateUp = *nUp;
  sample.m_nMaxDown = m_nMaxDown;
  sample.m_nMaxUp = m_nMaxUp;
  return SampleReading(sample);
}
