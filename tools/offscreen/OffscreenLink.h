#pragma once
// One off-screen object's tie to its observer: it announces the object's
// birth and death, and asks the observer before each call is carried out.

#include <utility>

#include "offscreen/OffscreenComposition.h"

class COffscreenLink {
 public:
  // pSelf: the object, not yet fully built; only its address is passed on.
  COffscreenLink(OffscreenObserverPtr pObserver, OffscreenObject kind, IUnknown* pSelf) noexcept
      : m_pObserver(std::move(pObserver)), m_kind(kind), m_pSelf(pSelf) {
    if (m_pObserver != nullptr) {
      m_pObserver->ObjectCreated(m_kind, m_pSelf);
    }
  }
  COffscreenLink(const COffscreenLink&) = delete;
  COffscreenLink& operator=(const COffscreenLink&) = delete;
  ~COffscreenLink() {
    if (m_pObserver != nullptr) {
      m_pObserver->ObjectDestroyed(m_kind, m_pSelf);
    }
  }

  // The observer's answer to the call on this object, S_OK without an observer.
  template <class... Params, class... Args>
  [[nodiscard]] HRESULT Ask(HRESULT (COffscreenObserver::*pfnCall)(IUnknown*, Params...) noexcept,
                            Args&&... args) const noexcept {
    return m_pObserver != nullptr ? ((*m_pObserver).*pfnCall)(m_pSelf, std::forward<Args>(args)...)
                                  : S_OK;
  }

  [[nodiscard]] const OffscreenObserverPtr& Observer() const noexcept { return m_pObserver; }

 private:
  OffscreenObserverPtr m_pObserver;
  OffscreenObject m_kind;
  IUnknown* m_pSelf;
};
