#pragma once
// Carves one fuzzer input into the values a target hands the code under test:
// little-endian numbers of a fixed width, and text fields that end at a NUL
// byte. Past the end numbers read as 0 and fields as empty, so every input,
// however short, is a usable case.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class CFuzzInput {
 public:
  CFuzzInput(const std::uint8_t* pData, std::size_t cbData) noexcept : m_bytes(pData, cbData) {}

  [[nodiscard]] bool Empty() const noexcept { return m_bytes.empty(); }

  template <std::unsigned_integral T>
  [[nodiscard]] T Take() noexcept {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T) && !m_bytes.empty(); ++i) {
      value = static_cast<T>(value | static_cast<T>(static_cast<T>(m_bytes.front()) << (8 * i)));
      m_bytes = m_bytes.subspan(1);
    }
    return value;
  }

  // Up to cb bytes; fewer at the end of the input.
  [[nodiscard]] std::span<const std::uint8_t> TakeBytes(std::size_t cb) noexcept {
    const std::span<const std::uint8_t> bytes =
        m_bytes.first(cb < m_bytes.size() ? cb : m_bytes.size());
    m_bytes = m_bytes.subspan(bytes.size());
    return bytes;
  }

  // The bytes up to the next NUL (which is consumed), or the rest.
  [[nodiscard]] std::string_view TakeField() noexcept;

  // The same field as Windows text (see WideFromFuzzBytes).
  [[nodiscard]] std::wstring TakeWideField();

  [[nodiscard]] std::string_view TakeRest() noexcept {
    const std::string_view rest = AsText(m_bytes);
    m_bytes = {};
    return rest;
  }

 private:
  static std::string_view AsText(std::span<const std::uint8_t> bytes) noexcept {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
  }

  std::span<const std::uint8_t> m_bytes;
};

// Windows text as the programs receive it (UTF-16 code units) from fuzzer
// bytes read as UTF-8, so a dictionary of plain keywords works. A byte that
// is not part of a UTF-8 sequence becomes a lone surrogate, which Windows
// strings may also hold; together these reach every 16-bit unit.
[[nodiscard]] std::wstring WideFromFuzzBytes(std::string_view bytes);
