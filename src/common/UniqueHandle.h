#pragma once
// The one way a handle is owned: closed when its owner goes, moved but never
// copied. A Traits type names the handle type, its empty value and how it is
// closed.

#include <windows.h>

#include <utility>

template <class Traits>
class TUniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  TUniqueHandle() noexcept = default;
  explicit TUniqueHandle(Handle h) noexcept : m_h(h) {}
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  TUniqueHandle(TUniqueHandle&& other) noexcept : m_h(other.Release()) {}
  TUniqueHandle& operator=(TUniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  ~TUniqueHandle() { Reset(); }

  [[nodiscard]] Handle Get() const noexcept { return m_h; }
  explicit operator bool() const noexcept { return m_h != Traits::kEmpty; }

  // Closes what is held (the slot is emptied first) and takes h.
  void Reset(Handle h = Traits::kEmpty) noexcept {
    const Handle hOld = std::exchange(m_h, h);
    if (hOld != Traits::kEmpty) {
      Traits::Close(hOld);
    }
  }
  // Hands the handle over without closing it.
  [[nodiscard]] Handle Release() noexcept { return std::exchange(m_h, Traits::kEmpty); }
  // The address to create into; whatever was held is closed first.
  [[nodiscard]] Handle* Put() noexcept {
    Reset();
    return &m_h;
  }

 private:
  Handle m_h = Traits::kEmpty;
};

// Handles that are empty when null; each kind names the call that closes it.
template <class H>
struct TNullHandle {
  using Handle = H;
  static constexpr Handle kEmpty = nullptr;
};
struct KernelHandleTraits : TNullHandle<HANDLE> {
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct RegistryKeyTraits : TNullHandle<HKEY> {
  static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};
struct MenuTraits : TNullHandle<HMENU> {
  static void Close(Handle h) noexcept { ::DestroyMenu(h); }
};
struct WindowTraits : TNullHandle<HWND> {
  static void Close(Handle h) noexcept { ::DestroyWindow(h); }
};
template <class T>
struct MappedViewTraits : TNullHandle<T*> {
  static void Close(T* p) noexcept { ::UnmapViewOfFile(p); }
};

using CUniqueHandle = TUniqueHandle<KernelHandleTraits>;
using CUniqueKey = TUniqueHandle<RegistryKeyTraits>;
using CUniqueMenu = TUniqueHandle<MenuTraits>;
using CUniqueWindow = TUniqueHandle<WindowTraits>;
// A read-only view of a file mapping, seen as a T.
template <class T>
using TUniqueView = TUniqueHandle<MappedViewTraits<const T>>;
// A view the owner writes through.
template <class T>
using TUniqueWritableView = TUniqueHandle<MappedViewTraits<T>>;
