// make soak: the router-source publisher measured from outside under Wine, against the
// fake gateway on 127.0.0.1, for the figures a ctest run cannot give (they take minutes
// and depend on the machine's load):
//   - memory: resident and private memory of nimbrel-publisher --interval 100 after 1
//     minute and after SOAK_MINUTES (default 10), against a box-like router (GetAddonInfos)
//     and a miniupnpd-like one (the totals), side by side;
//   - WinHTTP under Wine: a minimal program making the publisher's calls to a router that
//     accepts and never answers, giving each exchange up at its deadline, with and without
//     the wait for an answer's headers bounded;
//   - recovery: from the router answering again after a reboot long enough for the
//     back-off to reach its cap, to a rate in the section, same paths and new paths;
//   - resets: the largest rate published across a WAN reconnect and across a 40 s reboot
//     that reset totals near 3.5 GB and 4.2 GB, the line carrying 1 MB/s and 100 kB/s.
// It fails (exit code 1) when a figure is beyond its limit.
//
//   nimbrel-router-soak [MINUTES]
//   nimbrel-router-soak --winhttp-only          only the WinHTTP probe
//   nimbrel-router-soak --winhttp-probe PORT COUNT DEADLINE_MS BOUNDED(0|1)   (its child)

// Winsock's headers (through the fake gateway) must come before <windows.h>.
#include "support/FakeIgd.h"

#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "publisher/upnp/HttpClient.h"
#include "support/TestSupport.h"
#include "support/ChildProcess.h"
#include "support/SectionReader.h"

namespace {

std::atomic<bool> g_bFailed = false;

void Check(bool bOk, const char* pszWhat) {
  if (!bOk) {
    std::printf("  LIMIT EXCEEDED: %s\n", pszWhat);
    g_bFailed = true;
  }
}

SIZE_T ResidentKiB(HANDLE hProcess) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(hProcess, &counters, sizeof(counters));
  return counters.WorkingSetSize / 1024;
}

// A fake gateway and a publisher reading it.
struct Run {
  FakeGateway gateway;
  CFakeIgd igd;
  CChildProcess child;
  std::wstring strSection;

  bool Start(const wchar_t* pszPurpose, const std::wstring& strOptions) {
    if (!igd.Start([this](const FakeRequest& request) { return gateway.Answer(request); })) {
      return false;
    }
    igd.SetRecording(false);
    strSection = UniqueSectionName(pszPurpose);
    return child.Start(L"--section-name \"" + strSection + L"\" --source router --router " +
                       igd.Url("/igddesc.xml") + L" " + strOptions);
  }
  void Change(const std::function<void(FakeGateway&)>& change) {
    igd.Change([&] { change(gateway); });
  }
  void Stop() {
    (void)RunPublisher(L"--section-name \"" + strSection + L"\" --stop", 10'000);
    (void)child.Finish(10'000);
  }
};

// Polls the section every 10 ms for dwMs, calling seen for each new record;
// stops early when seen says so.
template <class F>
void Watch(const std::wstring& strSection, DWORD dwMs, F&& seen) {
  std::uint64_t nLast = 0;
  const ULONGLONG nEnd = GetTickCount64() + dwMs;
  while (GetTickCount64() < nEnd) {
    const auto record = ReadSection(strSection);
    if (record && record->Sequence != 0 && record->Sequence != nLast) {
      nLast = record->Sequence;
      if (seen(*record)) {
        return;
      }
    }
    Sleep(10);
  }
}

void MeasureMemory(int nMinutes) {
  Run box;
  Run mini;
  mini.gateway.m_bAddon = false;
  mini.gateway.m_nSentStep = 10'000;
  mini.gateway.m_nReceivedStep = 100'000;
  if (!box.Start(L"SoakBox", L"--interval 100") || !mini.Start(L"SoakMini", L"--interval 100")) {
    Check(false, "the memory runs did not start");
    return;
  }
  struct Sample {
    int nMinute;
    SIZE_T cbResident[2];
    SIZE_T cbPrivate[2];
  };
  std::vector<Sample> samples;
  for (int nMinute = 1; nMinute <= nMinutes; ++nMinute) {
    Sleep(60'000);
    Sample sample{nMinute, {}, {}};
    int i = 0;
    for (Run* pRun : {&box, &mini}) {
      sample.cbResident[i] = ResidentKiB(pRun->child.Process());
      sample.cbPrivate[i] = TakeProcessCounts(pRun->child.Process()).m_cbPrivate / 1024;
      ++i;
    }
    std::printf(
        "memory, minute %2d: box-like resident %zu KiB private %zu KiB; "
        "miniupnpd-like resident %zu KiB private %zu KiB\n",
        nMinute, sample.cbResident[0], sample.cbPrivate[0], sample.cbResident[1],
        sample.cbPrivate[1]);
    std::fflush(stdout);
    samples.push_back(sample);
  }
  box.Stop();
  mini.Stop();
  // Flat means no growth in the second half; the first minutes may add a
  // thread to Wine's pool (its stack, about 3 MB, counts as private memory).
  if (samples.size() >= 2) {
    for (int i = 0; i < 2; ++i) {
      const SIZE_T cbFirst = samples.front().cbPrivate[i];
      const SIZE_T cbMiddle = samples[samples.size() / 2].cbPrivate[i];
      const SIZE_T cbLast = samples.back().cbPrivate[i];
      Check(cbLast <= cbFirst + 4096, "private memory grew by more than 4 MiB after minute 1");
      Check(cbLast <= cbMiddle + 256, "private memory grew in the second half of the run");
    }
  }
}

// The child: the publisher's WinHTTP calls, plainly, to a router that never answers.
int WinHttpProbe(int nPort, int nCount, DWORD dwDeadlineMs, bool bBounded) {
  // Outlives the session, whose callbacks set it.
  const CUniqueHandle hStepEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  struct Step {
    HANDLE hEvent;
  } step{hStepEvent.Get()};
  const CUniqueInternetHandle hSession(WinHttpOpen(L"probe", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                                                   WINHTTP_FLAG_ASYNC));
  const int nTimeout = static_cast<int>(dwDeadlineMs);
  WinHttpSetTimeouts(hSession.Get(), nTimeout, nTimeout, nTimeout, nTimeout);
  if (bBounded) {
    WinHttpSetOption(hSession.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &dwDeadlineMs,
                     sizeof(dwDeadlineMs));
  }
  const ProcessCounts start = TakeProcessCounts();
  for (int i = 0; i < nCount; ++i) {
    const CUniqueInternetHandle hConnect(
        WinHttpConnect(hSession.Get(), L"127.0.0.1", static_cast<INTERNET_PORT>(nPort), 0));
    const CUniqueInternetHandle hRequest(
        WinHttpOpenRequest(hConnect.Get(), L"POST", L"/upnp/control/wancic", nullptr,
                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    WinHttpSetStatusCallback(
        hRequest.Get(),
        [](HINTERNET, DWORD_PTR dwContext, DWORD dwStatus, void*, DWORD) {
          if (dwStatus == WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE ||
              dwStatus == WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE ||
              dwStatus == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) {
            SetEvent(reinterpret_cast<Step*>(dwContext)->hEvent);
          }
        },
        WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS, 0);
    char body[] = "<s:Envelope/>";
    const ULONGLONG nDeadline = GetTickCount64() + dwDeadlineMs;
    const auto left = [nDeadline] {
      const ULONGLONG nNow = GetTickCount64();
      return nNow < nDeadline ? static_cast<DWORD>(nDeadline - nNow) : 0;
    };
    const wchar_t szHeaders[] =
        L"Content-Type: text/xml; charset=\"utf-8\"\r\n"
        L"SOAPAction: "
        L"\"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1#GetAddonInfos\"\r\n";
    if (WinHttpSendRequest(hRequest.Get(), szHeaders, static_cast<DWORD>(-1L), body,
                           sizeof(body) - 1, sizeof(body) - 1,
                           reinterpret_cast<DWORD_PTR>(&step)) &&
        WaitForSingleObject(step.hEvent, left()) == WAIT_OBJECT_0 &&
        WinHttpReceiveResponse(hRequest.Get(), nullptr)) {
      WaitForSingleObject(step.hEvent, left());
    }
    // Given up at the deadline, as the publisher does: both handles go here.
  }
  const ProcessCounts end = TakeProcessCounts();
  Sleep(10'000);
  const ProcessCounts later = TakeProcessCounts();
  std::printf(
      "winhttp probe (%s): %d exchanges given up at %lu ms: threads %lu -> %lu, 10 s later %lu; "
      "private %zu -> %zu KiB, 10 s later %zu KiB\n",
      bBounded ? "wait for headers bounded" : "WinHTTP's defaults", nCount, dwDeadlineMs,
      start.m_nThreads, end.m_nThreads, later.m_nThreads, start.m_cbPrivate / 1024,
      end.m_cbPrivate / 1024, later.m_cbPrivate / 1024);
  std::fflush(stdout);
  return 0;
}

void ProbeWinHttp() {
  FakeGateway gateway;
  gateway.m_overrides = {{"GetAddonInfos", {200, "", true}}};
  CFakeIgd igd;
  if (!igd.Start([&gateway](const FakeRequest& request) { return gateway.Answer(request); })) {
    Check(false, "the probe's fake did not start");
    return;
  }
  igd.SetRecording(false);
  // The fake holds up to 48 silent connections, each until the client leaves.
  for (const wchar_t* pszBounded : {L"0", L"1"}) {
    CChildProcess probe;
    if (!probe.StartCommandLine(L"\"" + TestRelativePath(L"nimbrel-router-soak.exe") +
                                L"\" --winhttp-probe " + std::to_wstring(igd.Port()) + L" 40 300 " +
                                pszBounded)) {
      Check(false, "the probe did not start");
      return;
    }
    const ChildResult result = probe.Finish(120'000);
    std::printf("%s", result.m_strOut.c_str());
  }
}

// From the router answering again to a rate in the section, after an outage
// long enough for the loop's back-off to reach its cap.
// With a 1 s interval the tries come at about 1, 3, 7, 15, 31, 61 and 91 s
// into the outage: a router back after 62 s waits for nearly the whole 30 s,
// one back after 80 s for about 11 s.
void MeasureComeBack(bool bNewPaths) {
  Run run;
  if (!run.Start(bNewPaths ? L"SoakMoved" : L"SoakBack", L"")) {
    Check(false, "the recovery run did not start");
    return;
  }
  ULONGLONG nWorst = 0;
  const DWORD kOutagesMs[] = {62'000, 80'000};
  for (int nRound = 0; nRound < 2; ++nRound) {
    const DWORD dwOutageMs = kOutagesMs[nRound];
    bool bRates = false;
    Watch(run.strSection, 20'000,
          [&](const SharedTrafficRecord& record) { return bRates = record.RateDown >= 0; });
    run.igd.Refuse();
    Sleep(dwOutageMs);
    run.Change([bNewPaths, nRound](FakeGateway& gateway) {
      if (bNewPaths) {
        gateway.Describe("/rebooted-" + std::to_string(nRound) + "/ctl");
      }
    });
    if (!run.igd.Listen()) {
      Check(false, "the fake could not listen again");
      break;
    }
    const ULONGLONG nBack = GetTickCount64();
    ULONGLONG nShown = 0;
    Watch(run.strSection, 120'000, [&](const SharedTrafficRecord& record) {
      if (record.RateDown < 0) {
        return false;
      }
      nShown = GetTickCount64() - nBack;
      return true;
    });
    std::printf("recovery, %s, outage %lu s, round %d: a rate %.1f s after the router answered\n",
                bNewPaths ? "new paths" : "same paths", dwOutageMs / 1000, nRound + 1,
                static_cast<double>(nShown) / 1000);
    std::fflush(stdout);
    Check(nShown != 0, "no rate after the router came back");
    nWorst = std::max(nWorst, nShown);
  }
  run.Stop();
  Check(nWorst <= 35'000, "a rate came more than 35 s after the router answered");
}

// A WAN reconnect (the router answers throughout) and a 40 s reboot, the
// totals near 3.5 GB received and 4.2 GB sent before, nearly 0 after.
void MeasureReset(bool bReboot, bool bLinkKnown) {
  Run run;
  run.gateway.m_bAddon = false;
  if (!bLinkKnown) {
    run.gateway.m_strUpBits.reset();
    run.gateway.m_strDownBits.reset();
  }
  run.gateway.SetTotals({4'200'000'000}, {3'780'000'000});
  run.gateway.m_nSentStep = 100'000;
  run.gateway.m_nReceivedStep = 1'000'000;
  if (!run.Start(L"SoakReset", L"")) {
    Check(false, "the reset run did not start");
    return;
  }
  std::int64_t nLargestDown = -1;
  std::int64_t nLargestUp = -1;
  int nRates = 0;
  const auto take = [&](const SharedTrafficRecord& record) {
    nLargestDown = std::max(nLargestDown, record.RateDown);
    nLargestUp = std::max(nLargestUp, record.RateUp);
    nRates += record.RateDown >= 0 ? 1 : 0;
    return false;
  };
  Watch(run.strSection, 6'000, take);
  if (bReboot) {
    run.igd.Refuse();
    Watch(run.strSection, 40'000, take);
  }
  run.Change([](FakeGateway& gateway) { gateway.SetTotals({5'000}, {20'000}); });
  if (bReboot && !run.igd.Listen()) {
    Check(false, "the fake could not listen again");
  }
  Watch(run.strSection, bReboot ? 45'000 : 8'000, take);
  run.Stop();
  std::printf(
      "reset, %s, link %s: largest rate published %lld B/s down, %lld B/s up (%d rates; "
      "the line carries 1000000 and 100000)\n",
      bReboot ? "40 s reboot" : "WAN reconnect", bLinkKnown ? "known" : "not known",
      static_cast<long long>(nLargestDown), static_cast<long long>(nLargestUp), nRates);
  std::fflush(stdout);
  Check(nRates > 4, "too few rates around the reset");
  // A reading that came a little early or late may show up to a tenth more.
  Check(nLargestDown <= 1'100'000 && nLargestUp <= 110'000, "a rate that did not happen");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 6 && std::wstring(argv[1]) == L"--winhttp-probe") {
    return WinHttpProbe(_wtoi(argv[2]), _wtoi(argv[3]), static_cast<DWORD>(_wtoi(argv[4])),
                        _wtoi(argv[5]) != 0);
  }
  if (argc == 2 && std::wstring(argv[1]) == L"--winhttp-only") {
    ProbeWinHttp();
    return g_bFailed ? 1 : 0;
  }
  const int nMinutes = argc > 1 ? std::max(1, _wtoi(argv[1])) : 10;
  std::printf("router source soak: %d minutes of memory, with the rest alongside\n", nMinutes);
  std::fflush(stdout);
  std::thread memory([nMinutes] { MeasureMemory(nMinutes); });
  ProbeWinHttp();
  MeasureReset(false, false);
  MeasureReset(false, true);
  MeasureReset(true, true);
  MeasureReset(true, false);
  MeasureComeBack(false);
  MeasureComeBack(true);
  memory.join();
  std::printf(g_bFailed ? "soak: FAILED\n" : "soak: all figures within their limits\n");
  return g_bFailed ? 1 : 0;
}
