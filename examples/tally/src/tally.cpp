// Tally: a tiny counter, the example application that examples/tally.toml
// installs. It keeps its count in tally.ini beside itself.
#include <windows.h>

#include <cstdio>

namespace {

char iniPath[MAX_PATH];
int count = 0;
HWND label;

void Show() {
  char text[32];
  std::snprintf(text, sizeof text, "%d", count);
  SetWindowTextA(label, text);
  WritePrivateProfileStringA("Counter", "value", text, iniPath);
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      HFONT font = CreateFontA(-36, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
      label = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_CENTER, 10, 10, 200, 44,
                              hwnd, nullptr, nullptr, nullptr);
      SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      CreateWindowExA(0, "BUTTON", "+1", WS_CHILD | WS_VISIBLE, 10, 64, 95, 28, hwnd,
                      reinterpret_cast<HMENU>(1), nullptr, nullptr);
      CreateWindowExA(0, "BUTTON", "Reset", WS_CHILD | WS_VISIBLE, 115, 64, 95, 28, hwnd,
                      reinterpret_cast<HMENU>(2), nullptr, nullptr);
      Show();
      return 0;
    }
    case WM_COMMAND:
      count = LOWORD(wp) == 1 ? count + 1 : 0;
      Show();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
  GetModuleFileNameA(nullptr, iniPath, MAX_PATH);
  char* dot = strrchr(iniPath, '.');
  if (dot) lstrcpyA(dot, ".ini");
  // "/init", as the installer runs it: note the first start and leave.
  if (strstr(commandLine, "/init")) {
    WritePrivateProfileStringA("Counter", "initialised", "yes", iniPath);
    return 0;
  }
  count = GetPrivateProfileIntA("Counter", "value",
                                GetPrivateProfileIntA("Counter", "start", 0, iniPath), iniPath);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "Tally";
  RegisterClassA(&wc);
  HWND hwnd =
      CreateWindowExA(0, "Tally", "Tally", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                      CW_USEDEFAULT, 236, 140, nullptr, nullptr, instance, nullptr);
  ShowWindow(hwnd, show);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
