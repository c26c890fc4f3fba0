#include "toolkit/controls.h"

#include <commctrl.h>
#include <richedit.h>

#include <vector>

#include "toolkit/application.h"
#include "toolkit/dpi.h"
#include "toolkit/drawing.h"
#include "toolkit/files.h"
#include "toolkit/system.h"

namespace toolkit {

namespace {

constexpr char kPanelClass[] = "TQuillboxPanel";

LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
        // Labels and check boxes take the panel's colour.
        const COLORREF colour = static_cast<COLORREF>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        SetBkColor(reinterpret_cast<HDC>(wp), colour);
        SetDCBrushColor(reinterpret_cast<HDC>(wp), colour);
        return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
      }
      return SendMessageA(GetParent(hwnd), msg, wp, lp);
    case WM_GETFONT:
      // A panel has the font of the window it lies on.
      return SendMessageA(GetParent(hwnd), WM_GETFONT, 0, 0);
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      HBRUSH brush =
          CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)));
      FillRect(reinterpret_cast<HDC>(wp), &r, brush);
      DeleteObject(brush);
      return 1;
    }
    default:
      return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

constexpr char kPictureClass[] = "TQuillboxPicture";

struct PictureArea {
  PaintFn paint;
  void* data;
};

LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* area = reinterpret_cast<PictureArea*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      HDC memory = CreateCompatibleDC(dc);
      HBITMAP bitmap = CreateCompatibleBitmap(dc, r.right, r.bottom);
      HGDIOBJ old = SelectObject(memory, bitmap);
      if (area && area->paint) area->paint(memory, r.right, r.bottom, WindowDpi(hwnd), area->data);
      BitBlt(dc, 0, 0, r.right, r.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteObject(bitmap);
      DeleteDC(memory);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    case WM_NCDESTROY:
      delete area;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// The class of a control of this program's own, registered with its first
// control.
void RegisterControlClass(const char* name, WNDPROC proc) {
  WNDCLASSEXA wc = {};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  RegisterOwnClass(wc);
}

// The common controls library, loaded with the first control that needs it:
// a run that makes none (a silent one) never loads it.
void LoadCommonControls() {
  static bool loaded = false;
  if (loaded) return;
  loaded = true;
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  HMODULE library = LoadSideBySideLibrary("comctl32.dll");
  if (auto init = LibraryFunction<InitFn>(library, "InitCommonControlsEx")) {
    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES;
    init(&icc);
  }
}

}  // namespace

HWND CreateReportList(HWND parent, int x, int y, int w, int h, int id, int columnWidth) {
  LoadCommonControls();
  HWND list = CreateControl(
      WC_LISTVIEWA, "",
      WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
      x, y, w, h, parent, id, WS_EX_CLIENTEDGE);
  LVCOLUMNA column = {};
  column.mask = LVCF_WIDTH;
  column.cx = columnWidth;
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  return list;
}

void AddListRow(HWND list, TextArg text) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

std::string ListRowText(HWND list, int row) {
  if (row < 0) return std::string();
  char text[MAX_PATH + 1] = {};
  LVITEMA item = {};
  item.iSubItem = 0;
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

HWND CreateRichViewer(HWND parent, int x, int y, int w, int h, COLORREF background) {
  static const HMODULE library = LoadSystemLibrary("riched20.dll");
  if (!library) return nullptr;
  HWND viewer = CreateControl(
      RICHEDIT_CLASSA, "",
      WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_NOHIDESEL | ES_AUTOVSCROLL, x, y, w,
      h, parent, 0, WS_EX_CLIENTEDGE);
  if (viewer) SendMessageA(viewer, EM_SETBKGNDCOLOR, 0, background);
  return viewer;
}

namespace {

// The file a viewer reads in the control's own chunks, and what it may
// still take of it.
struct RichSource {
  TFileStream file;
  size_t left = kRichTextLimit;
};

DWORD CALLBACK ReadRichText(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* read) {
  RichSource& source = *reinterpret_cast<RichSource*>(cookie);
  size_t want = wanted > 0 ? static_cast<size_t>(wanted) : 0;
  if (want > source.left) want = source.left;
  const size_t n = want ? source.file.Read(buffer, want) : 0;
  source.left -= n;
  *read = static_cast<LONG>(n);
  return 0;
}

}  // namespace

bool LoadRichText(HWND viewer, TextArg path) {
  RichSource source;
  if (!viewer || !source.file.OpenRead(path)) return false;
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = ReadRichText;
  SendMessageA(viewer, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  return stream.dwError == 0;
}

HWND CreatePictureArea(HWND parent, int x, int y, int w, int h, PaintFn paint, void* data) {
  RegisterControlClass(kPictureClass, PictureProc);
  HWND hwnd = CreateControl(kPictureClass, "", WS_VISIBLE, x, y, w, h, parent);
  if (hwnd)
    SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(new PictureArea{paint, data}));
  return hwnd;
}

HFONT Font(const char* face, int height, bool bold) {
  return StyledFont(face, height, DEFAULT_CHARSET, bold ? 1 : 0);
}

HWND CreateControl(const char* className, TextArg text, DWORD style, int x, int y, int w, int h,
                   HWND parent, int id, DWORD exStyle) {
  // Places and sizes are given at 96 DPI and made at the parent's.
  const RECT r = ScaledRect(x, y, w, h, WindowDpi(parent));
  HWND hwnd = CreateWindowExA(exStyle, className, text.c_str(), WS_CHILD | style, r.left, r.top,
                              r.right - r.left, r.bottom - r.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleA(nullptr), nullptr);
  if (hwnd) RecordLayout(hwnd, x, y, w, h);
  // Controls take their parent's font.
  if (hwnd && parent) {
    if (HFONT font = reinterpret_cast<HFONT>(SendMessageA(parent, WM_GETFONT, 0, 0))) {
      SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      NoteFont(hwnd, font);
    }
  }
  return hwnd;
}

HWND CreateLabel(HWND parent, TextArg text, int x, int y, int w, int h, DWORD extraStyle) {
  return CreateControl("STATIC", text, WS_VISIBLE | SS_NOPREFIX | extraStyle, x, y, w, h, parent);
}

HWND CreateButton(HWND parent, TextArg text, int x, int y, int w, int h, int id, DWORD kind) {
  return CreateControl("BUTTON", text, WS_VISIBLE | WS_TABSTOP | kind, x, y, w, h, parent, id);
}

HWND CreateEdit(HWND parent, TextArg text, int x, int y, int w, int h, int id) {
  return CreateControl("EDIT", text, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, x, y, w, h, parent,
                       id, WS_EX_CLIENTEDGE);
}

HWND CreateProgressBar(HWND parent, int x, int y, int w, int h) {
  LoadCommonControls();
  return CreateControl(PROGRESS_CLASSA, "", WS_VISIBLE | PBS_SMOOTH, x, y, w, h, parent);
}

HWND CreatePanel(HWND parent, int x, int y, int w, int h, COLORREF colour, DWORD exStyle) {
  RegisterControlClass(kPanelClass, PanelProc);
  HWND panel = CreateControl(kPanelClass, "", WS_CLIPCHILDREN | WS_CLIPSIBLINGS, x, y, w, h, parent,
                             0, exStyle | WS_EX_CONTROLPARENT);
  SetWindowLongPtrA(panel, GWLP_USERDATA, static_cast<LONG_PTR>(colour));
  return panel;
}

void SetFont(HWND control, HFONT font) {
  font = FontForDpi(font, WindowDpi(control));
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  NoteFont(control, font);
}

std::string TextOf(HWND control) {
  const int n = GetWindowTextLengthA(control);
  std::string text(n + 1, '\0');
  GetWindowTextA(control, &text[0], n + 1);
  text.resize(n);
  return text;
}

void SetText(HWND control, TextArg text) { SetWindowTextA(control, text.c_str()); }

void SizeToText(HWND control) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  std::string text = TextOf(control);
  RECT r = {0, 0, 0, 0};
  DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  char cls[16] = {};
  GetClassNameA(control, cls, sizeof cls);
  const bool button = lstrcmpiA(cls, "BUTTON") == 0;
  // A check box or radio button needs room for its box.
  const int dpi = WindowDpi(control);
  const int extra = button ? MetricForDpi(SM_CXMENUCHECK, dpi) + Scaled(8, dpi) : 0;
  SetWindowPos(control, nullptr, 0, 0, r.right + extra, r.bottom + (button ? Scaled(4, dpi) : 0),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  KeepFittingText(control);
}

namespace {

// Does the text, broken between words, fit w x h in the font without a
// word broken in the middle?
bool TextFits(const std::string& text, HFONT font, int w, int h) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r = {0, 0, w, 0};
  DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return r.right <= w && r.bottom <= h;
}

}  // namespace

void FitText(HWND control, HFONT font) {
  const std::string text = TextOf(control);
  int w96 = 0, h96 = 0;
  DesignSize(control, &w96, &h96);
  const int height = DesignHeight(font);
  const int step = height < 0 ? 1 : -1;
  // The size is chosen in 96-DPI measure, so that it is the same at every
  // scale, and made smaller still where the text as drawn at this scale
  // does not fit; down to 8 pixels at 96 DPI, one pixel at a time.
  for (int h = height; h != 0; h += step) {
    HFONT font96 = ResizedFont(font, h);
    if ((h < 0 ? -h : h) > 8 && !TextFits(text, font96, w96, h96)) continue;
    SetFont(control, font96);
    RECT client;
    GetClientRect(control, &client);
    if ((h < 0 ? -h : h) <= 8 ||
        TextFits(text, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)),
                 client.right, client.bottom)) {
      return;
    }
  }
}

bool IsChecked(HWND control) { return SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND control, bool checked) {
  SendMessageA(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void RunModal(HWND window, HWND owner, const bool* done) {
  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  RunUntil(window, done);
  if (owner && ownerWasEnabled) EnableWindow(owner, TRUE);
  ShowWindow(window, SW_HIDE);
}

void RunUntil(HWND window, const bool* done) {
  MSG msg;
  while (!*done && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace toolkit
