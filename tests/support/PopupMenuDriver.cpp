#include "support/PopupMenuDriver.h"

#include <chrono>
#include <iterator>

namespace {

constexpr wchar_t kMenuWindowClass[] = L"#32768";
constexpr auto kWaitForMenu = std::chrono::seconds(10);
constexpr auto kWaitForClose = std::chrono::seconds(3);

template <typename Predicate>
bool WaitFor(Predicate done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    Sleep(10);
  }
  return true;
}

void PostKey(HWND hWnd, WPARAM vk) noexcept {
  PostMessageW(hWnd, WM_KEYDOWN, vk, 1);
  PostMessageW(hWnd, WM_KEYUP, vk, 0xC0000001);
}

}  // namespace

HWND FindVisibleMenuWindow() noexcept {
  HWND hWnd = nullptr;
  while ((hWnd = FindWindowExW(nullptr, hWnd, kMenuWindowClass, nullptr)) != nullptr) {
    if (IsWindowVisible(hWnd)) {
      return hWnd;
    }
  }
  return nullptr;
}

CPopupMenuDriver::CPopupMenuDriver(int nChoosePosition)
    : m_nChoosePosition(nChoosePosition), m_thread([this] { Run(); }) {}

CPopupMenuDriver::~CPopupMenuDriver() { Finish(); }

void CPopupMenuDriver::Finish() {
  if (m_thread.joinable()) {
    m_thread.join();
  }
}

void CPopupMenuDriver::Run() noexcept {
  HWND hMenuWnd = nullptr;
  if (!WaitFor([&] { return (hMenuWnd = FindVisibleMenuWindow()) != nullptr; }, kWaitForMenu)) {
    return;
  }
  RECT rcMenu{};
  GetWindowRect(hMenuWnd, &rcMenu);
  m_ptMenu = POINT{rcMenu.left, rcMenu.top};

  // The menu window answers from the tracking thread's menu loop, which a
  // busy machine may keep waiting for a while.
  HMENU hMenu = nullptr;
  WaitFor(
      [&] {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(hMenuWnd, MN_GETHMENU, 0, 0, SMTO_NORMAL, 1000, &result);
        hMenu = reinterpret_cast<HMENU>(result);
        return hMenu != nullptr && GetMenuItemCount(hMenu) > 0;
      },
      kWaitForMenu);
  m_hMenu = hMenu;
  const int nItems = hMenu != nullptr ? GetMenuItemCount(hMenu) : 0;
  int nDownPresses = 0;
  for (int i = 0; i < nItems; ++i) {
    wchar_t szText[64] = {};
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
    mii.dwTypeData = szText;
    mii.cch = static_cast<UINT>(std::size(szText));
    if (!GetMenuItemInfoW(hMenu, static_cast<UINT>(i), TRUE, &mii)) {
      continue;
    }
    m_items.push_back({mii.wID, mii.fType, mii.fState, szText});
    if (i <= m_nChoosePosition && !(mii.fType & MFT_SEPARATOR)) {
      ++nDownPresses;
    }
  }
  m_bSawMenu = true;

  if (m_nChoosePosition == kDismiss) {
    PostKey(hMenuWnd, VK_ESCAPE);
  } else {
    for (int i = 0; i < nDownPresses; ++i) {
      PostKey(hMenuWnd, VK_DOWN);
    }
    PostKey(hMenuWnd, VK_RETURN);
  }

  m_bEndedByItsKeys =
      WaitFor([&] { return !IsWindow(hMenuWnd) || !IsWindowVisible(hMenuWnd); }, kWaitForClose);
  if (!m_bEndedByItsKeys) {
    PostKey(hMenuWnd, VK_ESCAPE);
    PostMessageW(hMenuWnd, WM_CANCELMODE, 0, 0);
  }
}
