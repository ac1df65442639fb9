#pragma once
// The development taskbar: plays Explorer's taskbar on the X screen under
// Wine. A dark Shell_TrayWnd across the bottom of the screen with a
// TrayNotifyWnd child at its right end and a few app buttons, which moves its
// notification area, moves its left end, changes its height and restarts on command. It also
// lays the frames that the composition stand-in keeps for its child windows
// over its own pixels (FrameExchange.h).

#include <windows.h>

#include <vector>

#include "devshell/DevTaskbarCommand.h"
#include "devshell/DevTaskbarLayout.h"

class CDevTaskbar {
 public:
  CDevTaskbar() noexcept;
  CDevTaskbar(const CDevTaskbar&) = delete;
  CDevTaskbar& operator=(const CDevTaskbar&) = delete;
  ~CDevTaskbar() { Destroy(); }

  // Creates the taskbar window and its notification area, shown and topmost.
  [[nodiscard]] bool Create() noexcept;
  void Destroy() noexcept;
  [[nodiscard]] HWND Handle() const noexcept { return m_hWnd; }
  [[nodiscard]] const DevTaskbarLayout& Layout() const noexcept { return m_layout; }

  void MoveNotifyArea(int nScreenX) noexcept;
  void SetHeight(int nHeight) noexcept;
  void MoveTaskbarLeft(int nScreenX) noexcept;

  // Posted to the thread for the message loop: restart (wParam: milliseconds
  // away) and quit. Both end the window, which cannot be done from inside a
  // call that came to it.
  static constexpr UINT kRestartThreadMessage = WM_APP + 1;
  static constexpr UINT kQuitThreadMessage = WM_APP + 2;

 private:
  static LRESULT CALLBACK TaskbarProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK NotifyProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam) noexcept;
  void Paint() noexcept;
  void ApplyLayout() noexcept;
  [[nodiscard]] bool CreateNotifyArea() noexcept;
  // Repaints where a child moved, appeared or went since the last look: the
  // taskbar hears of no move of a window that another process owns.
  void FollowChildren() noexcept;

  int m_nHeight = kDevTaskbarDefaultHeight;
  int m_nNotifyLeft = 0;
  int m_nLeft = 0;
  DevTaskbarLayout m_layout{};
  HWND m_hWnd = nullptr;
  HWND m_hNotifyWnd = nullptr;
  UINT m_uCommandMessage = 0;
  // The children and their places as the last look at them found them.
  std::vector<std::pair<HWND, RECT>> m_seen;
};

// Broadcasts that a new taskbar is there, as Explorer does after it restarted.
void BroadcastTaskbarCreated() noexcept;
