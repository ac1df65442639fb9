#include "support/FuzzInput.h"

std::string_view CFuzzInput::TakeField() noexcept {
  std::size_t cb = 0;
  while (cb < m_bytes.size() && m_bytes[cb] != 0) {
    ++cb;
  }
  const std::string_view field = AsText(m_bytes.first(cb));
  m_bytes = m_bytes.subspan(cb < m_bytes.size() ? cb + 1 : cb);
  return field;
}

std::wstring CFuzzInput::TakeWideField() { return WideFromFuzzBytes(TakeField()); }

namespace {

// The payload bits of a continuation byte, or -1 when there is none at i.
int Continuation(std::string_view bytes, std::size_t i) noexcept {
  if (i >= bytes.size()) {
    return -1;
  }
  const auto b = static_cast<unsigned char>(bytes[i]);
  return (b & 0xC0) == 0x80 ? (b & 0x3F) : -1;
}

}  // namespace

std::wstring WideFromFuzzBytes(std::string_view bytes) {
  std::wstring text;
  const auto push = [&text](unsigned int unit) { text.push_back(static_cast<wchar_t>(unit)); };
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const int c1 = Continuation(bytes, i + 1);
    const int c2 = Continuation(bytes, i + 2);
    const int c3 = Continuation(bytes, i + 3);
    if (lead < 0x80) {
      push(lead);
      i += 1;
    } else if (lead >= 0xC2 && lead < 0xE0 && c1 >= 0) {
      push(((lead & 0x1Fu) << 6) | static_cast<unsigned int>(c1));
      i += 2;
    } else if (lead >= 0xE0 && lead < 0xF0 && c1 >= 0 && c2 >= 0 && (lead > 0xE0 || c1 >= 0x20)) {
      // Encoded surrogates are let through on purpose: they make lone ones.
      push(((lead & 0x0Fu) << 12) | (static_cast<unsigned int>(c1) << 6) |
           static_cast<unsigned int>(c2));
      i += 3;
    } else if (lead >= 0xF0 && lead <= 0xF4 && c1 >= 0 && c2 >= 0 && c3 >= 0 &&
               (lead > 0xF0 || c1 >= 0x10) && (lead < 0xF4 || c1 < 0x10)) {
      const unsigned int nCode = ((lead & 0x07u) << 18) | (static_cast<unsigned int>(c1) << 12) |
                                 (static_cast<unsigned int>(c2) << 6) |
                                 static_cast<unsigned int>(c3);
      push(0xD800 + ((nCode - 0x10000) >> 10));
      push(0xDC00 + ((nCode - 0x10000) & 0x3FF));
      i += 4;
    } else {
      push(0xDC00u | lead);
      i += 1;
    }
  }
  return text;
}
