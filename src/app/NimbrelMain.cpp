// The program's one application object and its entry point.

#include <windows.h>

#include "app/NimbrelApp.h"

CNimbrelApp theApp;
// Registered right after the application object is built.
UINT g_uTaskbarCreatedMsg = RegisterWindowMessageW(L"TaskbarCreated");

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
  return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
