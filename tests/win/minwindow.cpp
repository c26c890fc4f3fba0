// minwindow: the least a windowed Win32 program does: register a class,
// create one window, handle the messages already queued, and end. The
// installer's start-up cost is measured against it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.lpszClassName = "MinWindow";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, "MinWindow", "Minimal", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                nullptr, nullptr, instance, nullptr);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  DestroyWindow(window);
  return 0;
}
