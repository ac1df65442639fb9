#include "PublisherMain.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "AdapterSource.h"
#include "Autostart.h"
#include "DemoSource.h"
#include "NimbrelVersion.h"
#include "PublisherLoop.h"
#include "PublisherNames.h"
#include "PublisherOptions.h"
#include "RouterSource.h"
#include "SystemMessage.h"
#include "TrafficSectionWriter.h"

namespace {

HANDLE g_hStopEvent = nullptr;

BOOL WINAPI OnConsoleControl(DWORD dwCtrlType) noexcept {
  SetEvent(g_hStopEvent);
  // On close, log-off and shut-down the process ends when this returns. The
  // kernel would drop the section with the process anyway; the pause lets the
  // loop unmap and close it the orderly way first.
  if (dwCtrlType == CTRL_CLOSE_EVENT || dwCtrlType == CTRL_LOGOFF_EVENT ||
      dwCtrlType == CTRL_SHUTDOWN_EVENT)
    Sleep(500);
  return TRUE;
}

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

std::unique_ptr<ITrafficSource> MakeSource(const PublisherOptions& options) {
  switch (options.m_source) {
    case SourceKind::Demo:
      break;
    case SourceKind::Adapter:
      return std::make_unique<CAdapterSource>(options.m_strAdapter);
    case SourceKind::Router:
      return std::make_unique<CRouterSource>(options.m_strRouter);
  }
  return std::make_unique<CDemoSource>(options.m_nSeed);
}

// Signals the running publisher's stop event and waits until it has let go
// of the section, so that a script can rely on it being gone.
int StopRunningPublisher(const std::wstring& strSectionName, COutputSink& output) {
  HANDLE hStop =
      OpenEventW(EVENT_MODIFY_STATE, FALSE, PublisherStopEventName(strSectionName).c_str());
  if (hStop == nullptr) {
    output.Error(L"nimbrel-publisher: no publisher is running");
    return kExitNotRunning;
  }
  SetEvent(hStop);
  CloseHandle(hStop);
  const std::wstring strMutex = PublisherMutexName(strSectionName);
  for (int nWait = 0; nWait < 100; ++nWait) {
    HANDLE hMutex = OpenMutexW(SYNCHRONIZE, FALSE, strMutex.c_str());
    if (hMutex == nullptr) {
      output.Line(L"nimbrel-publisher: the running publisher has stopped");
      return kExitOk;
    }
    CloseHandle(hMutex);
    Sleep(50);
  }
  output.Error(L"nimbrel-publisher: asked the running publisher to stop, but it is still running");
  return kExitSourceFailed;
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

  if (options.m_bStop) return StopRunningPublisher(options.m_strSectionName, output);

  std::unique_ptr<ITrafficSource> pSource = MakeSource(options);

  CTrafficSectionWriter writer;
  switch (writer.Open(options.m_strSectionName)) {
    case SectionOpenResult::Opened:
      break;
    case SectionOpenResult::AlreadyPublished:
      output.Error(
          L"nimbrel-publisher: another publisher is already running for the Nimbrel band; "
          L"close it first (only one may publish at a time)");
      return kExitAlreadyRunning;
    case SectionOpenResult::Failed:
      output.Error(L"nimbrel-publisher: cannot create the shared section '" +
                   options.m_strSectionName + L"' (" + SystemMessage(writer.LastError()) + L")");
      return kExitSectionFailed;
  }

  const std::wstring strSetupError = pSource->Start();
  if (!strSetupError.empty()) {
    output.Error(L"nimbrel-publisher: " + strSetupError);
    return kExitSourceSetup;
  }

  g_hStopEvent =
      CreateEventW(nullptr, TRUE, FALSE, PublisherStopEventName(options.m_strSectionName).c_str());
  if (g_hStopEvent == nullptr) return kExitSectionFailed;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  if (options.m_bVerbose) output.Line(L"nimbrel-publisher: publishing; press Ctrl+C to stop");
  output.Note(L"nimbrel-publisher " + std::wstring(kNimbrelVersionText) + L" publishing (process " +
              std::to_wstring(GetCurrentProcessId()) + L")");

  const int nExit = RunPublisherLoop(options, *pSource, writer, g_hStopEvent, output);
  output.Note(L"nimbrel-publisher: stopped (process " + std::to_wstring(GetCurrentProcessId()) +
              L")");
  writer.Close();
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  CloseHandle(g_hStopEvent);
  g_hStopEvent = nullptr;
  return nExit;
}
