#pragma once
// A band docked in a test taskbar, with HKEY_CURRENT_USER redirected to a
// scratch key, message boxes recorded, debug output captured and the
// composition surface on doubles (Wine has no DirectComposition).

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "RendererDoubles.h"
#include "TestSupport.h"
#include "band/TaskbarWindow.h"

inline constexpr wchar_t kSettingsKey[] = L"Software\\Nimbrel";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class CBandTest : public ::testing::Test {
 protected:
  // 1920 x 48 along the bottom of the screen, notification area from x 1700:
  // the band's default place is (1600, 5)-(1695, 43) in the taskbar.
  static constexpr RECT kTaskbar{0, 1032, 1920, 1080};
  static constexpr LONG kNotifyLeft = 1700;

  void TearDown() override;

  void MakeTaskbar(RECT rcTaskbar = kTaskbar, LONG nNotifyLeft = kNotifyLeft,
                   bool bWithNotifyArea = true);
  // Creates the band's window as the program does, inside the taskbar.
  void CreateBand();
  void Dock(RECT rcTaskbar = kTaskbar, LONG nNotifyLeft = kNotifyLeft, bool bWithNotifyArea = true);
  // A new band object in the same taskbar, as after a restart.
  void Redock();

  [[nodiscard]] HWND Band() const noexcept { return m_band->m_hWnd; }
  [[nodiscard]] RECT BandScreenRect() const noexcept;
  // The band's rectangle relative to the taskbar's top-left corner.
  [[nodiscard]] RECT BandRect() const noexcept;
  void MoveNotifyArea(LONG nScreenLeft) noexcept;
  void Tick() noexcept;
  LRESULT Mouse(UINT message, int x, int y) noexcept;
  // A drag as the user starts it: pressed at client (10, 20), moved to x.
  void PressAndDragTo(int x) noexcept;
  void DragAndDropAt(int x) noexcept;

  // Lines of debug output that start with the prefix, in order.
  [[nodiscard]] std::vector<std::wstring> DebugLines(const std::wstring& prefix) const;
  [[nodiscard]] std::optional<DWORD> ReadSetting(LPCWSTR lpszValue) const noexcept;
  [[nodiscard]] bool SettingsKeyExists() const noexcept;
  // Exactly one save so far, of these values, and reported.
  void ExpectSavedOnce(DWORD dwManual, LONG nRelativeX) const;

  CRecordingApp m_app;
  CRegistryOverride m_hkcu{HKEY_CURRENT_USER};
  CDebugOutputCapture m_debug;
  CRendererDoubles m_doubles;
  std::unique_ptr<CTestTaskbar> m_taskbar;
  std::unique_ptr<CTaskbarWindow> m_band = std::make_unique<CTaskbarWindow>();
  RECT m_rcTaskbar = kTaskbar;
};

// Records which messages reach the window's default processing: the dialog
// manager hands every message it processes by default to the dialog
// procedure first, and this spy stands in for it.
class CDefaultProcessingSpy {
 public:
  explicit CDefaultProcessingSpy(HWND hDialog) noexcept;
  CDefaultProcessingSpy(const CDefaultProcessingSpy&) = delete;
  CDefaultProcessingSpy& operator=(const CDefaultProcessingSpy&) = delete;
  ~CDefaultProcessingSpy();

  [[nodiscard]] int Count(UINT message) const noexcept;

 private:
  static INT_PTR CALLBACK SpyProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

  HWND m_hDialog;
  LONG_PTR m_pfnOld;
  std::vector<UINT> m_messages;
};

[[nodiscard]] bool operator==(const RECT& a, const RECT& b) noexcept;
std::ostream& operator<<(std::ostream& os, const RECT& rc);
