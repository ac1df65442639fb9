// press-ctrl-c.exe PID: presses Ctrl+C in the console of process PID, as a
// user would in its window. A test runs it so that its own console is left alone.

#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    return 2;
  }
  const DWORD dwProcessId = std::wcstoul(argv[1], nullptr, 10);
  FreeConsole();
  if (!AttachConsole(dwProcessId)) {
    return 3;
  }
  // Every process in that console gets it, this one too.
  SetConsoleCtrlHandler(nullptr, TRUE);
  return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) ? 0 : 4;
}
