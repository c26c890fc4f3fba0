// qbwindow: a program with one visible window of the given title, that runs
// until the window is closed. Tests use it as a running application that an
// installer closes by title or by process name.
//   qbwindow TITLE
#include <windows.h>

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  // The title as one parameter, without the quotes around it.
  char title[512] = {};
  lstrcpynA(title, commandLine[0] == '"' ? commandLine + 1 : commandLine, sizeof title);
  const int length = lstrlenA(title);
  if (length > 0 && title[length - 1] == '"') title[length - 1] = '\0';
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Procedure;
  wc.hInstance = instance;
  wc.lpszClassName = "QbWindow";
  RegisterClassA(&wc);
  CreateWindowExA(0, "QbWindow", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 100, nullptr,
                  nullptr, instance, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
