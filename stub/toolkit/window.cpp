#include "toolkit/window.h"

#include "toolkit/application.h"
#include "toolkit/dpi.h"

namespace toolkit {

TWindow::~TWindow() {
  if (handle_) {
    SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
  }
}

LRESULT CALLBACK TWindow::Router(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    self->handle_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  return self ? self->WindowProc(msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT TWindow::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  // A window class of its own keeps no font: the window remembers it, so
  // that controls created on it take it.
  if (msg == WM_SETFONT) {
    font_ = reinterpret_cast<HFONT>(wp);
    return 0;
  }
  if (msg == WM_GETFONT) return reinterpret_cast<LRESULT>(font_);
  if (msg == WM_DPICHANGED) {
    RescaleWindow(handle_, HIWORD(wp), reinterpret_cast<const RECT*>(lp));
    DpiChanged();
    return 0;
  }
  return DefWindowProcA(handle_, msg, wp, lp);
}

bool TWindow::CreateTopLevel(const char* className, const char* caption, DWORD style, DWORD exStyle,
                             int x, int y, int w, int h, HWND owner) {
  WNDCLASSEXA wc = {};
  wc.lpfnWndProc = Router;
  wc.hIcon = MainIcon(false);
  wc.hIconSm = MainIcon(true);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className;
  RegisterOwnClass(wc);
  CreateWindowExA(exStyle, className, caption, style, x, y, w, h, owner, nullptr,
                  GetModuleHandleA(nullptr), this);
  if (handle_) Created();
  return handle_ != nullptr;
}

HWND OwnWindow(const char* className) {
  HWND window = FindWindowA(className, nullptr);
  return window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() ? window
                                                                                     : nullptr;
}

}  // namespace toolkit
