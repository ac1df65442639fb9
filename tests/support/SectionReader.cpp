#include "support/SectionReader.h"

#include "band/TrafficSection.h"

std::optional<SharedTrafficRecord> ReadSection(const std::wstring& strName) {
  const CUniqueHandle hMapping(OpenFileMappingW(FILE_MAP_READ, FALSE, strName.c_str()));
  if (!hMapping) return std::nullopt;
  const CTrafficView view(static_cast<const SharedTrafficRecord*>(
      MapViewOfFile(hMapping.Get(), FILE_MAP_READ, 0, 0, sizeof(SharedTrafficRecord))));
  if (!view) return std::nullopt;
  return *view.Get();
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
