#pragma once
// The COM plumbing every hand-made object here shares: a reference count that
// deletes the object at zero, and answering QueryInterface from a list of
// interface ids.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <initializer_list>

template <class Derived, class Interface>
class TComObject : public Interface {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRefs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG nRefs = --m_nRefs;
    if (nRefs == 0) {
      delete static_cast<Derived*>(this);
    }
    return nRefs;
  }

 protected:
  TComObject() noexcept = default;
  ~TComObject() = default;

  // Hands out this object when riid is one of iids.
  [[nodiscard]] bool Answers(std::initializer_list<IID> iids, REFIID riid, void** ppv) noexcept {
    if (std::find(iids.begin(), iids.end(), riid) == iids.end()) {
      return false;
    }
    *ppv = static_cast<Interface*>(this);
    AddRef();
    return true;
  }
  HRESULT AnswerOnly(std::initializer_list<IID> iids, REFIID riid, void** ppv) noexcept {
    if (Answers(iids, riid, ppv)) {
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }

 private:
  std::atomic<ULONG> m_nRefs{1};
};
