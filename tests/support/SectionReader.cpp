#include "support/SectionReader.h"

#include "band/TrafficSection.h"

std::optional<SharedTrafficRecord> ReadSection(const std::wstring& strName) {
  HANDLE hMapping = OpenFileMappingW(FILE_MAP_READ, FALSE, strName.c_str());
  if (hMapping == nullptr) return std::nullopt;
  const auto* pView = static_cast<const SharedTrafficRecord*>(
      MapViewOfFile(hMapping, FILE_MAP_READ, 0, 0, sizeof(SharedTrafficRecord)));
  std::optional<SharedTrafficRecord> record;
  if (pView != nullptr) {
    record = *pView;
    UnmapViewOfFile(pView);
  }
  CloseHandle(hMapping);
  return record;
}

bool PollLikeTheBand(const std::wstring& strName, TrafficState& state) {
  CUniqueHandle hMapping;
  CTrafficView view;
  return PollTrafficSection(hMapping, view, state, strName.c_str());
}

std::wstring UniqueSectionName(const wchar_t* pszPurpose) {
  static LONG s_nCounter = 0;
  return std::wstring(L"Nimbrel-Test-") + pszPurpose + L"-" +
         std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(InterlockedIncrement(&s_nCounter));
}
