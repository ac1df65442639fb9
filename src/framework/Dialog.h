#pragma once
// Modeless dialogs created from a dialog template resource. OnInitDialog runs
// inside Create, once the object is bound to the new window.

#include "framework/Wnd.h"

class CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)

 public:
  explicit CDialog(UINT nIDTemplate) noexcept : m_nIDTemplate(nIDTemplate) {}

  // Creates the window from template nIDTemplate in the program's module with
  // hWndParent as parent. FALSE when there is no window afterwards, whether
  // the template was missing or the window was destroyed during OnInitDialog.
  virtual BOOL Create(UINT nIDTemplate, HWND hWndParent) noexcept;
  // TRUE lets the dialog manager set the focus.
  virtual BOOL OnInitDialog() noexcept { return TRUE; }

  [[nodiscard]] UINT GetTemplateId() const noexcept { return m_nIDTemplate; }

 private:
  static INT_PTR CALLBACK StaticDlgProc(HWND hWnd, UINT message, WPARAM wParam,
                                        LPARAM lParam) noexcept;

  UINT m_nIDTemplate;
};

class CDialogEx : public CDialog {
  DECLARE_DYNAMIC(CDialogEx)

 public:
  using CDialog::CDialog;
};
