#pragma once
// The one way a COM pointer is let go: the slot is emptied before the old
// object is released, so nothing can reach a pointer that is being released.

template <class T>
void EmptySlot(T*& pSlot) noexcept {
  T* pOld = pSlot;
  if (pOld == nullptr) {
    return;
  }
  pSlot = nullptr;
  pOld->Release();
}

// A reference that belongs to one operation and goes when it returns.
template <class T>
class CLocalRef {
 public:
  CLocalRef() noexcept = default;
  CLocalRef(const CLocalRef&) = delete;
  CLocalRef& operator=(const CLocalRef&) = delete;
  ~CLocalRef() { EmptySlot(m_p); }

  [[nodiscard]] T* Get() const noexcept { return m_p; }
  T* operator->() const noexcept { return m_p; }
  explicit operator bool() const noexcept { return m_p != nullptr; }
  // The address to create into; whatever was held is released first.
  [[nodiscard]] T** Put() noexcept {
    EmptySlot(m_p);
    return &m_p;
  }
  [[nodiscard]] void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

 private:
  T* m_p = nullptr;
};
