#include "publisher/sources/AutoSource.h"

namespace {

constexpr wchar_t kPrefix[] = L"nimbrel-publisher: ";

std::wstring Minutes(std::uint64_t nMs) {
  const std::uint64_t nMinutes = (nMs + 59'999) / 60'000;
  return std::to_wstring(nMinutes) + (nMinutes == 1 ? L" minute" : L" minutes");
}

}  // namespace

CAutoSource::CAutoSource(AutoSourceSettings settings, COutputSink& output)
    : m_settings(std::move(settings)), m_output(output) {}

std::unique_ptr<CRouterSource> CAutoSource::FindRouter(std::wstring& strError) {
  auto pRouter = std::make_unique<CRouterSource>(m_settings.m_strRouter, m_settings.m_dwDeadlineMs,
                                                 m_settings.m_hCancel, m_settings.m_ssdp);
  strError = pRouter->Start();
  if (!strError.empty()) {
    return nullptr;
  }
  return pRouter;
}

std::wstring CAutoSource::Start() {
  std::wstring strError;
  m_pRouter = FindRouter(strError);
  if (m_pRouter) {
    m_bOnRouter = true;
    m_output.Line(std::wstring(kPrefix) + L"showing the router's figures (" +
                  m_pRouter->DescriptionUrl() + L")");
    return {};
  }
  m_output.Line(std::wstring(kPrefix) + L"showing this PC's own traffic: no router answered (" +
                strError + L"); looking for it again every " +
                Minutes(m_settings.m_nSearchPeriodMs));
  UseAdapters(std::nullopt);
  return {};
}

void CAutoSource::UseAdapters(std::optional<std::uint64_t> nNowMs) {
  m_bOnRouter = false;
  m_pRouter.reset();
  m_nFailingSinceMs.reset();
  // A new adapter source: the rate starts again from two readings of it.
  m_pAdapters = std::make_unique<CAdapterSource>(m_settings.m_strAdapter);
  m_bAdaptersStarted = false;
  m_nNextSearchMs.reset();
  if (nNowMs) {
    m_nNextSearchMs = *nNowMs + m_settings.m_nSearchPeriodMs;
  }
}

SourceReading CAutoSource::ReadAdapters(std::uint64_t nNowMs) {
  if (!m_bAdaptersStarted) {
    std::wstring strError = m_pAdapters->Start();
    if (!strError.empty()) {
      return FailedReading(std::move(strError));
    }
    m_bAdaptersStarted = true;
  }
  return m_pAdapters->Read(nNowMs);
}

SourceReading CAutoSource::Read(std::uint64_t nNowMs) {
  if (!m_bOnRouter && !m_pAdapters) {
    // Read before Start: start now.
    (void)Start();
  }
  if (!m_bOnRouter) {
    if (!m_nNextSearchMs) {
      m_nNextSearchMs = nNowMs + m_settings.m_nSearchPeriodMs;
    } else if (nNowMs >= *m_nNextSearchMs) {
      std::wstring strError;
      m_pRouter = FindRouter(strError);
      if (m_pRouter) {
        m_bOnRouter = true;
        m_pAdapters.reset();
        m_output.Line(std::wstring(kPrefix) + L"a router answers; showing its figures now (" +
                      m_pRouter->DescriptionUrl() + L")");
      } else {
        m_nNextSearchMs = nNowMs + m_settings.m_nSearchPeriodMs;
      }
    }
    if (!m_bOnRouter) {
      return ReadAdapters(nNowMs);
    }
  }

  SourceReading reading = m_pRouter->Read(nNowMs);
  if (reading.m_kind != SourceReading::Kind::Failed) {
    m_nFailingSinceMs.reset();
    return reading;
  }
  if (!m_nFailingSinceMs) {
    m_nFailingSinceMs = nNowMs;
  } else if (nNowMs - *m_nFailingSinceMs >= m_settings.m_nGiveUpMs) {
    m_output.Line(std::wstring(kPrefix) + L"the router has not answered for " +
                  Minutes(nNowMs - *m_nFailingSinceMs) +
                  L"; showing this PC's own traffic until it does");
    UseAdapters(nNowMs);
    return ReadAdapters(nNowMs);
  }
  return reading;
}
