#pragma once
// Drives the popup menu that the test's own thread is tracking: a helper
// thread waits for the menu window (#32768), records the menu's items, then
// picks one with the keyboard or dismisses the menu. It never leaves the menu
// open: when its keys do not end it, it cancels the menu.

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

struct SeenMenuItem {
  UINT nId;
  UINT nType;   // MFT_ flags
  UINT nState;  // MFS_ flags
  std::wstring text;
};

class CPopupMenuDriver {
 public:
  static constexpr int kDismiss = -1;

  // nChoosePosition: the zero-based position of the item to choose, or kDismiss.
  explicit CPopupMenuDriver(int nChoosePosition);
  CPopupMenuDriver(const CPopupMenuDriver&) = delete;
  CPopupMenuDriver& operator=(const CPopupMenuDriver&) = delete;
  ~CPopupMenuDriver();

  // Waits for the helper thread; call after the tracking call has returned.
  void Finish();

  [[nodiscard]] bool SawMenu() const noexcept { return m_bSawMenu; }
  [[nodiscard]] POINT MenuTopLeft() const noexcept { return m_ptMenu; }
  [[nodiscard]] const std::vector<SeenMenuItem>& Items() const noexcept { return m_items; }
  // The menu handle the menu window was showing.
  [[nodiscard]] HMENU Menu() const noexcept { return m_hMenu; }
  // Whether the menu went away on the keys that chose or dismissed it; false
  // when it stayed open and the driver had to cancel it.
  [[nodiscard]] bool EndedByItsKeys() const noexcept { return m_bEndedByItsKeys; }

 private:
  void Run() noexcept;

  int m_nChoosePosition;
  std::atomic<bool> m_bSawMenu{false};
  std::atomic<bool> m_bEndedByItsKeys{false};
  POINT m_ptMenu{};
  HMENU m_hMenu = nullptr;
  std::vector<SeenMenuItem> m_items;
  std::thread m_thread;
};

// Any menu window that is still shown, of any thread.
[[nodiscard]] HWND FindVisibleMenuWindow() noexcept;
