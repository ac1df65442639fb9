#include "publisher/main/PublisherMain.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "publisher/sources/AdapterSource.h"
#include "publisher/sources/AutoSource.h"
#include "publisher/system/Autostart.h"
#include "publisher/sources/DemoSource.h"
#include "publisher/upnp/HttpClient.h"
#include "NimbrelVersion.h"
#include "publisher/system/PublisherClaim.h"
#include "publisher/main/PublisherLoop.h"
#include "publisher/system/PublisherNames.h"
#include "publisher/options/PublisherOptions.h"
#include "publisher/system/PublisherStop.h"
#include "publisher/sources/RetryingStart.h"
#include "publisher/sources/RouterSource.h"
#include "publisher/system/SystemMessage.h"
#include "publisher/record/TrafficSectionWriter.h"

namespace {

constexpr wchar_t kAlreadyRunningLine[] =
    L"nimbrel-publisher: another publisher is already running for the Nimbrel band; close it "
    L"first (only one may publish at a time)";

// The folder of the running executable, with its final backslash.
std::wstring ModuleDirectory() {
  std::wstring strPath(MAX_PATH, L'\0');
  for (;;) {
    const DWORD cch =
        GetModuleFileNameW(nullptr, strPath.data(), static_cast<DWORD>(strPath.size()));
    if (cch == 0) {
      return {};
    }
    if (cch < strPath.size()) {
      strPath.resize(cch);
      break;
    }
    strPath.resize(strPath.size() * 2);
  }
  strPath.resize(strPath.rfind(L'\\') + 1);
  return strPath;
}

// hStop ends a search or an exchange with the router under way.
std::unique_ptr<ITrafficSource> MakeSource(const PublisherOptions& options, HANDLE hStop,
                                           COutputSink& output) {
  switch (options.m_source) {
    case SourceKind::Demo:
      break;
    case SourceKind::Auto: {
      AutoSourceSettings settings;
      if (!options.m_strRouter.empty()) {
        settings.m_strRouter = options.m_strRouter;
      }
      settings.m_strAdapter = options.m_strAdapter;
      settings.m_hCancel = hStop;
      return std::make_unique<CAutoSource>(std::move(settings), output);
    }
    case SourceKind::Adapter:
      return std::make_unique<CAdapterSource>(options.m_strAdapter);
    case SourceKind::Router:
      return std::make_unique<CRouterSource>(options.m_strRouter, kHttpDeadlineMs, hStop);
  }
  return std::make_unique<CDemoSource>(options.m_nSeed);
}

}  // namespace

int PublisherMain(const ParseResult& parsed, COutputSink& output) noexcept {
  if (!parsed.m_bOk) {
    output.Error(L"nimbrel-publisher: " + parsed.m_strError);
    return kExitUsage;
  }
  const PublisherOptions& options = parsed.m_options;
  if (options.m_bHelp) {
    output.Show(PublisherUsage());
    return kExitOk;
  }
  if (options.m_bVersion) {
    output.Show(std::wstring(L"nimbrel-publisher ") + kNimbrelVersionText);
    return kExitOk;
  }
  if (options.m_autostart != AutostartAction::None) {
    return RunAutostartCommand(options, ModuleDirectory() + kWindowlessExeName, output);
  }

  if (options.m_bStop) {
    return StopRunningPublisher(options.m_strSectionName, output);
  }

  // The names first: whoever holds them is the publisher, or is refused.
  CPublisherClaim claim;
  switch (claim.Claim(options.m_strSectionName)) {
    case ClaimResult::Claimed:
      break;
    case ClaimResult::AlreadyRunning:
      output.Error(kAlreadyRunningLine);
      return kExitAlreadyRunning;
    case ClaimResult::Taken:
      output.Error(L"nimbrel-publisher: '" + claim.TakenName() +
                   L"' was created by another program, not by a publisher; not publishing, as "
                   L"that program could stop this one at will or keep --stop from reaching it");
      return kExitNamesTaken;
    case ClaimResult::Failed:
      output.Error(L"nimbrel-publisher: cannot create the publisher's stop event and lock (" +
                   SystemMessage(claim.LastError()) + L")");
      return kExitSectionFailed;
  }
  output.StartedPublishing();
  const HANDLE hStop = claim.StopEvent();
  const CUniqueHandle hThemeChanged(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  CStopSignals signals;
  if (!signals.Install(hStop, !options.m_bOnce, hThemeChanged.Get())) {
    output.Error(
        L"nimbrel-publisher: Ctrl+C or the session ending may not stop this publisher; "
        L"--stop still does");
  }

  std::unique_ptr<ITrafficSource> pSource = MakeSource(options, hStop, output);
  CTrafficSectionWriter writer;
  switch (writer.Open(options.m_strSectionName)) {
    case SectionOpenResult::Opened:
      break;
    case SectionOpenResult::AlreadyPublished:
      output.Error(kAlreadyRunningLine);
      return kExitAlreadyRunning;
    case SectionOpenResult::Failed:
      output.Error(L"nimbrel-publisher: cannot create the shared section '" +
                   options.m_strSectionName + L"' (" + SystemMessage(writer.LastError()) + L")");
      return kExitSectionFailed;
  }

  const std::wstring strSetupError = pSource->Start();
  if (WaitForSingleObject(hStop, 0) == WAIT_OBJECT_0) {
    return kExitOk;
  }
  if (!strSetupError.empty()) {
    if (options.m_bOnce) {
      output.Error(L"nimbrel-publisher: " + strSetupError);
      return kExitSourceSetup;
    }
    pSource = std::make_unique<CRetryingStart>(std::move(pSource), strSetupError);
  }

  if (options.m_bVerbose) {
    output.Line(L"nimbrel-publisher: publishing; press Ctrl+C to stop");
  }
  output.Note(L"nimbrel-publisher " + std::wstring(kNimbrelVersionText) + L" publishing (process " +
              std::to_wstring(GetCurrentProcessId()) + L")");

  const int nExit = RunPublisherLoop(options, *pSource, writer, hStop, output, hThemeChanged.Get());
  // The section goes first: whoever waits for the stop may rely on it being gone.
  writer.Close();
  signals.Finished();
  output.Note(L"nimbrel-publisher: stopped (process " + std::to_wstring(GetCurrentProcessId()) +
              L")");
  return nExit;
}
