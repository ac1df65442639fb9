#pragma once
// One off-screen object's tie to its observer: it announces the object's
// birth and death, and asks the observer before each call is carried out.

#include <utility>

#include "render/offscreen/OffscreenComposition.h"

class COffscreenLink {
 public:
  COffscreenLink(OffscreenObserverPtr pObserver, OffscreenObject kind) noexcept
      : m_pObserver(std::move(pObserver)), m_kind(kind) {
    if (m_pObserver != nullptr) {
      m_pObserver->ObjectCreated(m_kind);
    }
  }
  COffscreenLink(const COffscreenLink&) = delete;
  COffscreenLink& operator=(const COffscreenLink&) = delete;
  ~COffscreenLink() {
    if (m_pObserver != nullptr) {
      m_pObserver->ObjectDestroyed(m_kind);
    }
  }

  // The observer's answer to the call, S_OK without an observer.
  template <class... Params, class... Args>
  [[nodiscard]] HRESULT Ask(HRESULT (COffscreenObserver::*pfnCall)(Params...) noexcept,
                            Args&&... args) const noexcept {
    return m_pObserver != nullptr ? ((*m_pObserver).*pfnCall)(std::forward<Args>(args)...) : S_OK;
  }

  [[nodiscard]] const OffscreenObserverPtr& Observer() const noexcept { return m_pObserver; }

 private:
  OffscreenObserverPtr m_pObserver;
  OffscreenObject m_kind;
};
