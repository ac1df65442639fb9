#pragma once
// A source whose Start() failed, tried again on every reading until it starts.
// At log-on the publisher often runs before the network or the adapter is up;
// giving up then would leave the band on "No Data" for the whole session. The
// loop's back-off paces the retries, and each failure is an ordinary failed
// reading: "No Data" is published and the reason told once per kind.

#include <memory>
#include <string>

#include "publisher/sources/TrafficSource.h"

class CRetryingStart final : public ITrafficSource {
 public:
  // strFirstError is what the first Start() said; the first reading reports
  // it without trying again at once.
  CRetryingStart(std::unique_ptr<ITrafficSource> pSource, std::wstring strFirstError) noexcept
      : m_pSource(std::move(pSource)), m_strPendingError(std::move(strFirstError)) {}

  [[nodiscard]] std::wstring Start() override { return {}; }

  [[nodiscard]] SourceReading Read(std::uint64_t nNowMs) override {
    if (!m_bStarted) {
      std::wstring strError =
          m_strPendingError.empty() ? m_pSource->Start() : std::move(m_strPendingError);
      m_strPendingError.clear();
      if (!strError.empty()) {
        return FailedReading(std::move(strError));
      }
      m_bStarted = true;
    }
    return m_pSource->Read(nNowMs);
  }

 private:
  std::unique_ptr<ITrafficSource> m_pSource;
  std::wstring m_strPendingError;
  bool m_bStarted = false;
};
