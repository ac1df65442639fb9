#include "feed/TrafficDecode.h"

void ResetTrafficState(TrafficState& state) noexcept {
  TrafficState fresh;
  fresh.m_nLastSequence = state.m_nLastSequence;
  fresh.m_bArrowsFlipped = state.m_bArrowsFlipped;
  state = fresh;
}

bool DecodeTrafficRecord(const SharedTrafficRecord* pRecord, TrafficState& state) noexcept {
  if (pRecord == nullptr) {
    // A missing section must not repaint every tick, only once when it goes away.
    if (!state.m_bHasData && state.m_nRateLower == -1) {
      return false;
    }
    ResetTrafficState(state);
    return true;
  }

  const SharedTrafficRecord& r = *pRecord;
  if (r.Sequence == 0 || r.Sequence == state.m_nLastSequence) {
    return false;
  }

  state.m_nLastSequence = r.Sequence;
  state.m_bHasData = TRUE;
  state.m_bBitsMode = r.ByteUnits == 0 ? TRUE : FALSE;
  state.m_bArrowsFlipped = r.DownOnLower == 0 ? TRUE : FALSE;

  const bool bDownOnLower = r.DownOnLower != 0;
  state.m_nRateLower = bDownOnLower ? r.RateDown : r.RateUp;
  state.m_nRateUpper = bDownOnLower ? r.RateUp : r.RateDown;
  state.m_nMaxLower = bDownOnLower ? r.MaxDown : r.MaxUp;
  state.m_nMaxUpper = bDownOnLower ? r.MaxUp : r.MaxDown;
  state.m_crLower = ColorFromRecord(bDownOnLower ? r.ColorDown : r.ColorUp);
  state.m_crUpper = ColorFromRecord(bDownOnLower ? r.ColorUp : r.ColorDown);
  return true;
}
