// The band's poll as a stream: 72-byte records as any process of the user may
// write them, and ticks without a section, each taken through the decoding,
// both rate texts and the frame layout, with the properties of the display
// checked after every step.
//
// Input: the client width and height (2 bytes each), then steps of one tag byte:
//   bits 0-1  0: no section; 1: a record (72 bytes follow); 2: the last record
//             again with its Sequence kept and the other 64 bytes new (64 follow);
//             3: a new client size (4 bytes follow)
//   bits 2-4  whether the upper, lower and track brushes exist in this frame

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string_view>

#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "feed/FormatRate.h"
#include "feed/TrafficDecode.h"
#include "render/BandLayout.h"

namespace {

constexpr std::wstring_view kNoDataText = L"No Data";
// "%.0f Gbit/s" of 2^63 - 1 bytes per second.
constexpr std::size_t kLongestRateText = 18;

bool SameState(const TrafficState& a, const TrafficState& b) {
  return a.m_nLastSequence == b.m_nLastSequence && a.m_bHasData == b.m_bHasData &&
         a.m_nRateLower == b.m_nRateLower && a.m_nRateUpper == b.m_nRateUpper &&
         a.m_nMaxLower == b.m_nMaxLower && a.m_nMaxUpper == b.m_nMaxUpper &&
         a.m_crLower == b.m_crLower && a.m_crUpper == b.m_crUpper &&
         a.m_bBitsMode == b.m_bBitsMode && a.m_bArrowsFlipped == b.m_bArrowsFlipped;
}

SharedTrafficRecord RecordFromBytes(CFuzzInput& input, std::size_t nFirstField,
                                    SharedTrafficRecord record) {
  std::uint64_t fields[9];
  std::memcpy(fields, &record, sizeof(fields));
  for (std::size_t i = nFirstField; i < 9; ++i) {
    fields[i] = input.Take<std::uint64_t>();
  }
  std::memcpy(&record, fields, sizeof(record));
  return record;
}

void CheckDecoding(const SharedTrafficRecord* pRecord, const TrafficState& before,
                   const TrafficState& after, bool bRepaint) {
  if (pRecord == nullptr) {
    // Going away repaints once; staying away never does.
    FUZZ_CHECK(bRepaint == (before.m_bHasData || before.m_nRateLower != -1));
    if (!bRepaint) {
      FUZZ_CHECK(SameState(before, after));
      return;
    }
    TrafficState noData;
    noData.m_nLastSequence = before.m_nLastSequence;
    noData.m_bArrowsFlipped = before.m_bArrowsFlipped;
    FUZZ_CHECK(SameState(after, noData));
    return;
  }
  if (pRecord->Sequence == 0 || pRecord->Sequence == before.m_nLastSequence) {
    FUZZ_CHECK(!bRepaint);
    FUZZ_CHECK(SameState(before, after));
    return;
  }
  FUZZ_CHECK(bRepaint);
  FUZZ_CHECK(after.m_bHasData);
  FUZZ_CHECK(after.m_nLastSequence == pRecord->Sequence);
  const bool bDownOnLower = pRecord->DownOnLower != 0;
  FUZZ_CHECK((bDownOnLower ? after.m_nRateLower : after.m_nRateUpper) == pRecord->RateDown);
  FUZZ_CHECK((bDownOnLower ? after.m_nRateUpper : after.m_nRateLower) == pRecord->RateUp);
  FUZZ_CHECK((bDownOnLower ? after.m_crLower : after.m_crUpper) ==
             ColorFromRecord(pRecord->ColorDown));
  FUZZ_CHECK(after.m_bBitsMode == (pRecord->ByteUnits == 0));
}

bool EndsWith(std::wstring_view text, std::wstring_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

void CheckRateText(std::int64_t nRate, BOOL bBitsMode) {
  wchar_t szBuffer[kRateTextChars];
  std::wmemset(szBuffer, L'#', kRateTextChars);
  const wchar_t* const pszText = FormatRate(nRate, bBitsMode, szBuffer);
  if (nRate < 0) {
    FUZZ_CHECK(pszText != szBuffer);
    FUZZ_CHECK(pszText == kNoDataText);
    FUZZ_CHECK(std::wstring_view(szBuffer, kRateTextChars).find_first_not_of(L'#') ==
               std::wstring_view::npos);
    return;
  }
  FUZZ_CHECK(pszText == szBuffer);
  const std::size_t cch = std::wstring_view(szBuffer, kRateTextChars).find(L'\0');
  FUZZ_CHECK(cch != std::wstring_view::npos);
  FUZZ_CHECK(cch <= kLongestRateText);
  const std::wstring_view text(szBuffer, cch);
  FUZZ_CHECK(text != kNoDataText);
  if (bBitsMode) {
    FUZZ_CHECK(EndsWith(text, L" Mbit/s") || EndsWith(text, L" Gbit/s"));
  } else {
    FUZZ_CHECK(EndsWith(text, L" kB/s") || EndsWith(text, L" MB/s") || EndsWith(text, L" GB/s"));
  }
  const std::wstring_view number = text.substr(0, text.find(L' '));
  FUZZ_CHECK(!number.empty() &&
             number.find_first_not_of(L"0123456789.") == std::wstring_view::npos);
}

bool IsFinite(const LayoutRect& rc) {
  return std::isfinite(rc.left) && std::isfinite(rc.top) && std::isfinite(rc.right) &&
         std::isfinite(rc.bottom);
}

bool IsFinite(const ArrowShape& arrow) {
  for (const LayoutPoint& pt : arrow.m_vertices) {
    if (!std::isfinite(pt.x) || !std::isfinite(pt.y)) {
      return false;
    }
  }
  return true;
}

void CheckBar(BOOL bBar, const LayoutRect& bar, const LayoutRect& track, std::int64_t nRate,
              std::int64_t nMax) {
  FUZZ_CHECK(static_cast<bool>(bBar) == (nMax > 0 && nRate >= 0));
  if (!bBar) {
    return;
  }
  FUZZ_CHECK(IsFinite(bar));
  FUZZ_CHECK(bar.left == track.left && bar.top == track.top && bar.bottom == track.bottom);
  // A client narrower than the arrow column turns the track round; the bar
  // still stays between its two ends.
  const float fLow = track.left < track.right ? track.left : track.right;
  const float fHigh = track.left < track.right ? track.right : track.left;
  FUZZ_CHECK(bar.right >= fLow && bar.right <= fHigh);
}

void CheckLayout(const BandLayout& layout, const TrafficState& state, std::uint8_t nBrushes) {
  FUZZ_CHECK(std::isfinite(layout.m_fWidth) && std::isfinite(layout.m_fHeight));
  for (const LayoutRect* pRect :
       {&layout.m_upperText, &layout.m_lowerText, &layout.m_upperTrack, &layout.m_lowerTrack}) {
    FUZZ_CHECK(IsFinite(*pRect));
  }
  FUZZ_CHECK(IsFinite(layout.m_upperArrow) && IsFinite(layout.m_lowerArrow));
  CheckBar(layout.m_bUpperBar, layout.m_upperBar, layout.m_upperTrack, state.m_nRateUpper,
           state.m_nMaxUpper);
  CheckBar(layout.m_bLowerBar, layout.m_lowerBar, layout.m_lowerTrack, state.m_nRateLower,
           state.m_nMaxLower);
  FUZZ_CHECK(static_cast<bool>(layout.m_upperArrow.m_bPointsUp) == !state.m_bArrowsFlipped);
  FUZZ_CHECK(static_cast<bool>(layout.m_lowerArrow.m_bPointsUp) ==
             static_cast<bool>(state.m_bArrowsFlipped));

  const bool bBrush[] = {(nBrushes & 1) != 0, (nBrushes & 2) != 0, (nBrushes & 4) != 0};
  const FramePlan plan = PlanFrame(layout, bBrush[0], bBrush[1], bBrush[2]);
  FUZZ_CHECK(plan.m_nItems <= plan.m_items.size());
  for (std::size_t i = 0; i < plan.m_nItems; ++i) {
    const FrameItem& item = plan.m_items[i];
    FUZZ_CHECK(bBrush[static_cast<std::size_t>(item.m_brush)]);
    if (item.m_kind == FrameItemKind::Arrow) {
      FUZZ_CHECK(item.m_pArrow == &layout.m_upperArrow || item.m_pArrow == &layout.m_lowerArrow);
    } else {
      FUZZ_CHECK(item.m_pRect != nullptr && IsFinite(*item.m_pRect));
    }
  }
}

RECT TakeClient(CFuzzInput& input) {
  // Windows keeps a window's sides below 32768 pixels; 16 bits cover them.
  const LONG nWidth = input.Take<std::uint16_t>();
  const LONG nHeight = input.Take<std::uint16_t>();
  return {0, 0, nWidth, nHeight};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData) {
  CFuzzInput input(pData, cbData);
  RECT rcClient = TakeClient(input);
  TrafficState state;
  SharedTrafficRecord last{};
  while (!input.Empty()) {
    const auto nTag = input.Take<std::uint8_t>();
    const SharedTrafficRecord* pRecord = nullptr;
    switch (nTag & 3) {
      case 0:
        break;
      case 1:
        last = RecordFromBytes(input, 0, last);
        pRecord = &last;
        break;
      case 2:
        last = RecordFromBytes(input, 1, last);
        pRecord = &last;
        break;
      default:
        rcClient = TakeClient(input);
        continue;
    }
    const TrafficState before = state;
    const bool bRepaint = DecodeTrafficRecord(pRecord, state);
    CheckDecoding(pRecord, before, state, bRepaint);

    CheckRateText(state.m_nRateUpper, state.m_bBitsMode);
    CheckRateText(state.m_nRateLower, state.m_bBitsMode);
    const BandLayout layout = ComputeBandLayout(rcClient, state);
    CheckLayout(layout, state, static_cast<std::uint8_t>(nTag >> 2));
    if (bRepaint && pRecord != nullptr) {
      // The down arrow stands beside RateDown, whichever line it is on.
      const ArrowShape& downArrow =
          pRecord->DownOnLower != 0 ? layout.m_lowerArrow : layout.m_upperArrow;
      FUZZ_CHECK(!downArrow.m_bPointsUp);
    }
  }
  return 0;
}
