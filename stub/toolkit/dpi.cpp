#include "toolkit/dpi.h"

#include <vector>

#include "drawing/drawing.h"
#include "toolkit/controls.h"
#include "toolkit/system.h"

namespace toolkit {

namespace {

// The user32 functions of newer systems, looked up once (user32 is loaded
// already: the program imports it).
struct DpiFunctions {
  using WindowDpiFn = UINT(WINAPI*)(HWND);
  using MetricFn = int(WINAPI*)(int, UINT);
  using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  WindowDpiFn windowDpi = nullptr;
  MetricFn metric = nullptr;
  AdjustFn adjust = nullptr;
};

const DpiFunctions& Functions() {
  static DpiFunctions f = [] {
    DpiFunctions found;
    HMODULE user32 = GetModuleHandleA("user32.dll");
    found.windowDpi = LibraryFunction<DpiFunctions::WindowDpiFn>(user32, "GetDpiForWindow");
    found.metric = LibraryFunction<DpiFunctions::MetricFn>(user32, "GetSystemMetricsForDpi");
    found.adjust = LibraryFunction<DpiFunctions::AdjustFn>(user32, "AdjustWindowRectExForDpi");
    return found;
  }();
  return f;
}

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// A control's place and size at 96 DPI.
struct Layout {
  HWND control;
  int x, y, w, h;
  bool fitText;
};
std::vector<Layout>& Layouts() {
  static std::vector<Layout> layouts;
  return layouts;
}
Layout* Find(HWND control) {
  for (Layout& l : Layouts()) {
    if (l.control == control) return &l;
  }
  return nullptr;
}

// The DPI a window was last laid out for, where the system cannot tell
// (before GetDpiForWindow, a move to another monitor says it only in
// WM_DPICHANGED).
struct KnownDpi {
  HWND window;
  int dpi;
};
std::vector<KnownDpi>& KnownDpis() {
  static std::vector<KnownDpi> known;
  return known;
}

void Put(HWND control, const Layout& l, int dpi) {
  const RECT r = ScaledRect(l.x, l.y, l.w, l.h, dpi);
  if (l.fitText) {
    SetWindowPos(control, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SizeToText(control);
  } else {
    SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void RefontWindow(HWND window, int dpi) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
  if (!font) return;
  HFONT scaled = FontForDpi(font, dpi);
  if (scaled != font) {
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(scaled), TRUE);
    NoteFont(window, scaled);
  }
}

struct Rescale {
  int dpi;
};

BOOL CALLBACK RescaleChild(HWND child, LPARAM lp) {
  const int dpi = reinterpret_cast<Rescale*>(lp)->dpi;
  RefontWindow(child, dpi);
  if (const Layout* l = Find(child)) Put(child, *l, dpi);
  return TRUE;
}

}  // namespace

int Scaled(int value, int dpi) { return qb::ScaleForDpi(value, dpi); }

RECT ScaledRect(int x, int y, int w, int h, int dpi) {
  return {Scaled(x, dpi), Scaled(y, dpi), Scaled(x + w, dpi), Scaled(y + h, dpi)};
}

int WindowDpi(HWND window) {
  HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
  if (root && Functions().windowDpi) {
    if (const UINT dpi = Functions().windowDpi(root)) return static_cast<int>(dpi);
  }
  for (const KnownDpi& k : KnownDpis()) {
    if (k.window == root) return k.dpi;
  }
  static const int system = SystemDpi();
  return system;
}

int MetricForDpi(int index, int dpi) {
  if (Functions().metric) return Functions().metric(index, static_cast<UINT>(dpi));
  return GetSystemMetrics(index);
}

void PlaceControl(HWND control, int x, int y, int w, int h, bool fitText) {
  if (!control) return;
  Layout* l = Find(control);
  if (!l) {
    Layouts().push_back({control, x, y, w, h, fitText});
    l = &Layouts().back();
  } else {
    *l = {control, x, y, w, h, fitText};
  }
  Put(control, *l, WindowDpi(control));
}

void RecordLayout(HWND control, int x, int y, int w, int h) {
  if (Layout* l = Find(control)) {
    *l = {control, x, y, w, h, false};
  } else {
    Layouts().push_back({control, x, y, w, h, false});
  }
}

void DesignSize(HWND control, int* w, int* h) {
  const Layout* l = Find(control);
  *w = l ? l->w : 0;
  *h = l ? l->h : 0;
}

void KeepFittingText(HWND control) {
  if (Layout* l = Find(control)) l->fitText = true;
}

void MoveControl(HWND control, int x, int y) {
  if (Layout* l = Find(control)) {
    PlaceControl(control, x, y, l->w, l->h, l->fitText);
  }
}

void ResizeControl(HWND control, int w, int h) {
  if (Layout* l = Find(control)) {
    PlaceControl(control, l->x, l->y, w, h, false);
  }
}

void FitClientArea(HWND window, int w, int h, bool centre) {
  const int dpi = WindowDpi(window);
  RECT r = {0, 0, Scaled(w, dpi), Scaled(h, dpi)};
  const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
  if (!Functions().adjust || !Functions().adjust(&r, style, FALSE, exStyle, dpi)) {
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
  }
  const int width = r.right - r.left, height = r.bottom - r.top;
  SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE | (centre ? 0 : SWP_NOMOVE));
}

int OuterWidthAt96(HWND window) {
  RECT client, outer;
  GetClientRect(window, &client);
  GetWindowRect(window, &outer);
  const int dpi = WindowDpi(window);
  RECT frame = {0, 0, 0, 0};
  if (dpi != 96 && Functions().adjust &&
      Functions().adjust(&frame, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)), 96)) {
    return MulDiv(client.right, 96, dpi) + (frame.right - frame.left);
  }
  // At 96 DPI (or where the system cannot say): the window as it is.
  return MulDiv(outer.right - outer.left, 96, dpi);
}

void RescaleWindow(HWND window, int dpi, const RECT* suggested) {
  bool known = false;
  for (KnownDpi& k : KnownDpis()) {
    if (k.window == window) {
      k.dpi = dpi;
      known = true;
    }
  }
  if (!known) KnownDpis().push_back({window, dpi});
  if (suggested) {
    SetWindowPos(window, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RefontWindow(window, dpi);
  Rescale r{dpi};
  EnumChildWindows(window, RescaleChild, reinterpret_cast<LPARAM>(&r));
  InvalidateRect(window, nullptr, TRUE);
}

}  // namespace toolkit
