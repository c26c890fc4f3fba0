#include "toolkit/application.h"

namespace toolkit {

TApplication Application;

HICON MainIcon(bool small) {
  const int size = small ? GetSystemMetrics(SM_CXSMICON) : GetSystemMetrics(SM_CXICON);
  return static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON, size, size, LR_SHARED));
}

void RegisterOwnClass(WNDCLASSEXA wc) {
  wc.cbSize = sizeof wc;
  wc.hInstance = GetModuleHandleA(nullptr);
  WNDCLASSEXA known = {};
  known.cbSize = sizeof known;
  if (GetClassInfoExA(wc.hInstance, wc.lpszClassName, &known)) return;
  if (!wc.hCursor) wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  RegisterClassExA(&wc);
}

LRESULT CALLBACK TApplication::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      Application.Terminate();
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

bool TApplication::Create(const char* caption) {
  WNDCLASSEXA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hIcon = MainIcon(false);
  wc.hIconSm = MainIcon(true);
  wc.lpszClassName = "TQuillboxApplication";
  RegisterOwnClass(wc);
  // A popup of no size: it only owns the other windows and shows in the
  // taskbar.
  const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
  const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
  handle_ = CreateWindowExA(0, wc.lpszClassName, caption,
                            WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 0, 0,
                            nullptr, nullptr, wc.hInstance, nullptr);
  return handle_ != nullptr;
}

void TApplication::SetCaption(const std::string& caption) {
  SetWindowTextA(handle_, caption.c_str());
}

void TApplication::Show() { ShowWindow(handle_, SW_SHOW); }

bool TApplication::Dispatch(MSG& msg) {
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return false;
  }
  HWND dialog = GetActiveWindow();
  if (dialog && IsDialogMessageA(dialog, &msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (!Dispatch(msg)) break;
  }
}

void TApplication::Run() {
  MSG msg;
  while (!terminated_ && GetMessageA(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
}

void TApplication::Terminate() {
  terminated_ = true;
  PostMessageA(handle_, WM_NULL, 0, 0);
}

}  // namespace toolkit
