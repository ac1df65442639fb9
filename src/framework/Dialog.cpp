#include "framework/Dialog.h"

#include "common/UniqueHandle.h"
#include "framework/WinApp.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)
IMPLEMENT_DYNAMIC(CDialogEx, CDialog)

INT_PTR CALLBACK CDialog::StaticDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam) noexcept {
  if (message != WM_INITDIALOG) {
    return FALSE;
  }
  // From here on the window's messages go through the object's message map;
  // the dialog manager stays underneath as the default processing.
  auto* pDialog = reinterpret_cast<CDialog*>(lParam);
  if (pDialog == nullptr || !pDialog->BindWindow(hWnd)) {
    return TRUE;
  }
  return pDialog->OnInitDialog();
}

BOOL CDialog::Create(UINT nIDTemplate, HWND hWndParent) noexcept {
  if (m_hWnd != nullptr) {
    return FALSE;
  }
  m_nIDTemplate = nIDTemplate;
  HINSTANCE hInstance = AfxGetResourceHandle();
  HRSRC hResource = FindResourceW(hInstance, MAKEINTRESOURCEW(nIDTemplate), RT_DIALOG);
  if (hResource == nullptr) {
    return FALSE;
  }
  HGLOBAL hTemplate = LoadResource(hInstance, hResource);
  const void* pTemplate = hTemplate != nullptr ? LockResource(hTemplate) : nullptr;
  if (pTemplate == nullptr) {
    return FALSE;
  }
  HWND hWnd =
      CreateDialogIndirectParamW(hInstance, static_cast<LPCDLGTEMPLATEW>(pTemplate), hWndParent,
                                 &CDialog::StaticDlgProc, reinterpret_cast<LPARAM>(this));
  const bool bAlive = hWnd != nullptr && IsWindow(hWnd);
  if (bAlive && m_hWnd == hWnd) {
    return TRUE;
  }
  // Destroyed during OnInitDialog, or never bound to this object: whatever is
  // left of it goes.
  CUniqueWindow unbound(bAlive ? hWnd : nullptr);
  UnbindWindow();
  return FALSE;
}
