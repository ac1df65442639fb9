#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "common/UniqueSocket.h"
#include "publisher/sources/AdapterSource.h"
#include "support/ChildProcess.h"
#include "support/SectionReader.h"

namespace {

TEST(InterfaceTable, ListsTheLoopbackWithSaneCountersAndLeavesItOutOfThisPcsTraffic) {
  const auto rows = ReadInterfaceTable();
  ASSERT_TRUE(rows);
  ASSERT_FALSE(rows->empty());
  const auto totals = SumAdapters(*rows, L"");
  ASSERT_TRUE(totals);
  bool bLoopback = false;
  for (const InterfaceCounters& row : *rows) {
    EXPECT_NE(row.m_nLuid, 0u);
    EXPECT_FALSE(row.m_strAlias.empty());
    // Far below what a PC moves since boot would make absurd: no garbage fields.
    EXPECT_LT(row.m_nInOctets, std::uint64_t{1} << 56);
    EXPECT_LT(row.m_nOutOctets, std::uint64_t{1} << 56);
    if (ClassifyAdapter(row) == AdapterKind::Loopback) {
      bLoopback = true;
      EXPECT_EQ(std::count(totals->m_luids.begin(), totals->m_luids.end(), row.m_nLuid), 0);
    }
  }
  EXPECT_TRUE(bLoopback);
}

// Moves cbTotal bytes through a TCP connection on 127.0.0.1: the loopback
// adapter counts each of them once received and once sent.
[[nodiscard]] bool PushThroughLoopback(std::size_t cbTotal) {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    return false;
  }
  const bool bMoved = [cbTotal] {
    const CUniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int cbAddress = sizeof(address);
    if (!listener ||
        bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener.Get(), 1) != 0 ||
        getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &cbAddress) != 0) {
      return false;
    }
    const CUniqueSocket client(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!client ||
        connect(client.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
      return false;
    }
    const CUniqueSocket server(accept(listener.Get(), nullptr, nullptr));
    if (!server) {
      return false;
    }
    std::thread sender([&client, cbTotal] {
      const std::vector<char> chunk(64 * 1024, 'x');
      std::size_t cbSent = 0;
      while (cbSent < cbTotal) {
        const int cb = send(client.Get(), chunk.data(),
                            static_cast<int>(std::min(chunk.size(), cbTotal - cbSent)), 0);
        if (cb <= 0) {
          break;
        }
        cbSent += static_cast<std::size_t>(cb);
      }
      shutdown(client.Get(), SD_SEND);
    });
    std::vector<char> buffer(64 * 1024);
    std::size_t cbReceived = 0;
    for (;;) {
      const int cb = recv(server.Get(), buffer.data(), static_cast<int>(buffer.size()), 0);
      if (cb <= 0) {
        break;
      }
      cbReceived += static_cast<std::size_t>(cb);
    }
    sender.join();
    return cbReceived == cbTotal;
  }();
  WSACleanup();
  return bMoved;
}

// A started source: its first read (at 1 s) is the baseline, its second (at
// 2 s) a sample, with whatever happens in between.
template <class Between>
void ReadBaselineThenSample(CAdapterSource& source, SourceReading& reading, Between between) {
  ASSERT_EQ(source.Start(), L"");
  EXPECT_EQ(source.Read(1000).m_kind, SourceReading::Kind::Skip);
  between();
  reading = source.Read(2000);
  ASSERT_EQ(reading.m_kind, SourceReading::Kind::Sample);
}

TEST(AdapterSource, AllAdaptersGiveABaselineThenRatesScaledByTheirLinks) {
  CAdapterSource source(L"");
  SourceReading reading;
  ASSERT_NO_FATAL_FAILURE(ReadBaselineThenSample(source, reading, [] {}));
  // The full scales are the link speeds of the adapters summed.
  const auto rows = ReadInterfaceTable();
  ASSERT_TRUE(rows);
  const auto totals = SumAdapters(*rows, L"");
  ASSERT_TRUE(totals);
  EXPECT_EQ(reading.m_sample.m_nMaxDown, static_cast<std::int64_t>(totals->m_nMaxDown));
  EXPECT_EQ(reading.m_sample.m_nMaxUp, static_cast<std::int64_t>(totals->m_nMaxUp));
}

TEST(AdapterSource, AnAdapterChosenByNameRatesTheBytesThatCrossedIt) {
  const auto rows = ReadInterfaceTable();
  ASSERT_TRUE(rows);
  std::wstring strLoopback;
  for (const InterfaceCounters& row : *rows) {
    if (row.m_nType == kIfTypeLoopback) strLoopback = row.m_strAlias;
  }
  ASSERT_FALSE(strLoopback.empty());
  CAdapterSource source(strLoopback);
  SourceReading reading;
  // 4 MB in the second between the two readings: at least 4 MB/s each way,
  // whatever else crossed the loopback meanwhile.
  constexpr std::size_t cbPushed = 4 * 1024 * 1024;
  ASSERT_NO_FATAL_FAILURE(
      ReadBaselineThenSample(source, reading, [] { ASSERT_TRUE(PushThroughLoopback(cbPushed)); }));
  EXPECT_GE(reading.m_sample.m_nRateDown, static_cast<std::int64_t>(cbPushed));
  EXPECT_GE(reading.m_sample.m_nRateUp, static_cast<std::int64_t>(cbPushed));
}

TEST(AdapterSource, UnknownAdapterNameIsASetupErrorThatSaysWhatToDo) {
  CAdapterSource source(L"No Such Adapter 42");
  const std::wstring strError = source.Start();
  EXPECT_NE(strError.find(L"no network adapter is called 'No Such Adapter 42'"),
            std::wstring::npos);
  EXPECT_NE(strError.find(L"Get-NetAdapter"), std::wstring::npos);
}

TEST(AdapterSource, ProgramPublishesThisPcsTrafficAndRefusesAMissingAdapter) {
  const std::wstring strName = UniqueSectionName(L"ExeAdapter");
  const ChildResult result = RunPublisher(
      L"--section-name \"" + strName + L"\" --source adapter --interval 200 --once", 10000);
  ASSERT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 0u) << result.m_strErr;
  EXPECT_EQ(result.m_strOut.rfind("seq=", 0), 0u) << result.m_strOut;
  EXPECT_EQ(result.m_strOut.find("down=-1"), std::string::npos) << result.m_strOut;

  const ChildResult missing = RunPublisher(
      L"--section-name \"" + strName + L"\" --source adapter --adapter \"Token Ring 3\" --once",
      10000);
  ASSERT_TRUE(missing.m_bExited);
  EXPECT_EQ(missing.m_dwExitCode, 3u);
  EXPECT_EQ(
      missing.m_strErr.rfind("nimbrel-publisher: no network adapter is called 'Token Ring 3'", 0),
      0u)
      << missing.m_strErr;
  EXPECT_FALSE(ReadSection(strName));
}

}  // namespace
