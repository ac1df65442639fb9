// Decoding and FormatRate per call, with a bare swprintf of the same formats
// and values as the yardstick. Prints FormatRate/swprintf and fails above 1.5.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "feed/FormatRate.h"
#include "feed/TrafficDecode.h"

namespace {

constexpr double kLimit = 1.5;

struct RateSample {
  std::int64_t nRate;
  const wchar_t* pszFormat;  // what FormatRate picks for this rate
  double dValue;
};

// One rate from each row of both tables.
const RateSample kByteSamples[] = {
    {5000, L"%.3f kB/s", 5000 / 1024.0},
    {50000, L"%.2f kB/s", 50000 / 1024.0},
    {500000, L"%.1f kB/s", 500000 / 1024.0},
    {5000000, L"%.3f MB/s", 5000000 / 1048576.0},
    {50000000, L"%.2f MB/s", 50000000 / 1048576.0},
    {500000000, L"%.1f MB/s", 500000000 / 1048576.0},
    {5000000000, L"%.3f GB/s", 5000000000 / 1073741824.0},
    {50000000000, L"%.2f GB/s", 50000000000 / 1073741824.0},
    {500000000000, L"%.1f GB/s", 500000000000 / 1073741824.0},
    {5000000000000, L"%.0f GB/s", 5000000000000 / 1073741824.0},
};

const RateSample kBitSamples[] = {
    {500000, L"%.3f Mbit/s", 4000000 / 1048576.0},
    {5000000, L"%.2f Mbit/s", 40000000 / 1048576.0},
    {50000000, L"%.1f Mbit/s", 400000000 / 1048576.0},
    {500000000, L"%.3f Gbit/s", 4000000000 / 1073741824.0},
    {5000000000, L"%.2f Gbit/s", 40000000000 / 1073741824.0},
    {50000000000, L"%.1f Gbit/s", 400000000000 / 1073741824.0},
    {500000000000, L"%.0f Gbit/s", 4000000000000 / 1073741824.0},
};

template <std::size_t N>
void RunFormatRate(benchmark::State& state, const RateSample (&samples)[N], BOOL bBitsMode) {
  wchar_t szBuffer[kRateTextChars];
  std::size_t i = 0;
  for (auto _ : state) {
    const wchar_t* pszText = FormatRate(samples[i].nRate, bBitsMode, szBuffer);
    benchmark::DoNotOptimize(pszText);
    benchmark::ClobberMemory();
    i = i + 1 == N ? 0 : i + 1;
  }
}

template <std::size_t N>
void RunSwprintf(benchmark::State& state, const RateSample (&samples)[N]) {
  wchar_t szBuffer[kRateTextChars];
  std::size_t i = 0;
  for (auto _ : state) {
    const int nWritten =
        std::swprintf(szBuffer, kRateTextChars, samples[i].pszFormat, samples[i].dValue);
    benchmark::DoNotOptimize(nWritten);
    benchmark::ClobberMemory();
    i = i + 1 == N ? 0 : i + 1;
  }
}

void BM_FormatRate_Bytes(benchmark::State& state) { RunFormatRate(state, kByteSamples, FALSE); }
void BM_Swprintf_Bytes(benchmark::State& state) { RunSwprintf(state, kByteSamples); }
void BM_FormatRate_Bits(benchmark::State& state) { RunFormatRate(state, kBitSamples, TRUE); }
void BM_Swprintf_Bits(benchmark::State& state) { RunSwprintf(state, kBitSamples); }

void BM_FormatRate_NoData(benchmark::State& state) {
  wchar_t szBuffer[kRateTextChars];
  for (auto _ : state) {
    const wchar_t* pszText = FormatRate(-1, FALSE, szBuffer);
    benchmark::DoNotOptimize(pszText);
  }
}

void BM_Decode_NewRecord(benchmark::State& state) {
  SharedTrafficRecord record = {1, 100, 200, 300, 400, 0x123456, 0x654321, 1, 0};
  TrafficState traffic;
  for (auto _ : state) {
    ++record.Sequence;
    benchmark::DoNotOptimize(record);
    const bool bRepaint = DecodeTrafficRecord(&record, traffic);
    benchmark::DoNotOptimize(bRepaint);
    benchmark::DoNotOptimize(traffic);
  }
}

void BM_Decode_SameRecord(benchmark::State& state) {
  const SharedTrafficRecord record = {1, 100, 200, 300, 400, 0x123456, 0x654321, 1, 0};
  TrafficState traffic;
  (void)DecodeTrafficRecord(&record, traffic);
  for (auto _ : state) {
    benchmark::DoNotOptimize(record);
    const bool bRepaint = DecodeTrafficRecord(&record, traffic);
    benchmark::DoNotOptimize(bRepaint);
  }
}

void BM_Decode_NoSection(benchmark::State& state) {
  TrafficState traffic;
  for (auto _ : state) {
    const bool bRepaint = DecodeTrafficRecord(nullptr, traffic);
    benchmark::DoNotOptimize(bRepaint);
    benchmark::DoNotOptimize(traffic);
  }
}

BENCHMARK(BM_Decode_NewRecord);
BENCHMARK(BM_Decode_SameRecord);
BENCHMARK(BM_Decode_NoSection);
BENCHMARK(BM_FormatRate_NoData);
BENCHMARK(BM_FormatRate_Bytes);
BENCHMARK(BM_Swprintf_Bytes);
BENCHMARK(BM_FormatRate_Bits);
BENCHMARK(BM_Swprintf_Bits);

// Keeps each run's time per call next to the usual console output.
class CRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        m_times[run.run_name.function_name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Prints both ratios; false when one is missing or over the limit.
  [[nodiscard]] bool PrintRatios() const {
    bool bOk = true;
    for (const char* pszUnits : {"Bytes", "Bits"}) {
      const auto itOurs = m_times.find(std::string("BM_FormatRate_") + pszUnits);
      const auto itBare = m_times.find(std::string("BM_Swprintf_") + pszUnits);
      if (itOurs == m_times.end() || itBare == m_times.end() || itBare->second <= 0) {
        std::printf("FormatRate/swprintf (%s): not measured\n", pszUnits);
        bOk = false;
        continue;
      }
      const double dRatio = itOurs->second / itBare->second;
      const bool bWithin = dRatio <= kLimit;
      std::printf("FormatRate/swprintf (%s): %.2fx (%.1f ns vs %.1f ns, limit %.1fx) %s\n",
                  pszUnits, dRatio, itOurs->second, itBare->second, kLimit,
                  bWithin ? "ok" : "OVER");
      bOk = bOk && bWithin;
    }
    return bOk;
  }

 private:
  std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 2;
  }
  CRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return reporter.PrintRatios() ? 0 : 1;
}
