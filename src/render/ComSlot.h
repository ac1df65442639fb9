#pragma once
// The one way a COM pointer is owned and let go: the slot is emptied before
// the old object is released, so nothing can reach a pointer that is being
// released.

template <class T>
void EmptySlot(T*& pSlot) noexcept {
  T* pOld = pSlot;
  if (pOld == nullptr) {
    return;
  }
  pSlot = nullptr;
  pOld->Release();
}

// One counted reference, released when the owner goes; moved but never
// copied. Serves the surface's long-lived slots and the references that
// belong to one operation alike.
template <class T>
class TComPtr {
 public:
  TComPtr() noexcept = default;
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
  TComPtr& operator=(TComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      m_p = other.m_p;
      other.m_p = nullptr;
    }
    return *this;
  }
  ~TComPtr() { Reset(); }

  [[nodiscard]] T* Get() const noexcept { return m_p; }
  T* operator->() const noexcept { return m_p; }
  explicit operator bool() const noexcept { return m_p != nullptr; }
  // Empties the slot, then releases what it held.
  void Reset() noexcept { EmptySlot(m_p); }
  // The address to create into; whatever was held is released first.
  [[nodiscard]] T** Put() noexcept {
    Reset();
    return &m_p;
  }
  [[nodiscard]] void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
  // Hands the reference over without releasing it.
  [[nodiscard]] T* Detach() noexcept {
    T* p = m_p;
    m_p = nullptr;
    return p;
  }
  // Takes over a reference; whatever was held is released first.
  void Attach(T* p) noexcept {
    Reset();
    m_p = p;
  }

 private:
  T* m_p = nullptr;
};
