#include "startup/background.h"

#include "drawing/drawing.h"
#include "engine/variables.h"
#include "package/support_files.h"
#include "startup/main.h"
#include "startup/state.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/dpi.h"
#include "toolkit/drawing.h"
#include "wizard/wizard.h"

namespace startup {

TBackgroundWindow Background;

namespace {

enum PictureMode : int { kTiled = 0, kStretched = 1, kCentred = 2 };

}  // namespace

void BringWizardToFront() {
  HWND wizard = toolkit::OwnWindow(wizard::kWizardClass);
  if (wizard && IsWindowVisible(wizard)) {
    SetWindowPos(wizard, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(wizard);
  }
}

bool TBackgroundWindow::Create() {
  if (!CreateTopLevel(kBackgroundClass, "Quillbox", WS_POPUP, 0, 190, 105, 0, 0,
                      toolkit::Application.Handle())) {
    return false;
  }
  toolkit::FitClientArea(Handle(), 227, 111, false);
  toolkit::SetFont(Handle(), toolkit::Font("Tahoma", -11));
  DeleteMenu(GetSystemMenu(Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND);
  Startup.background = Handle();
  StartupRoutine();
  return true;
}

void TBackgroundWindow::Prepare() {
  const qb::Package& pkg = Package;
  // Transparent texts that size themselves; a click on them is a click on
  // the background. They are made only for a background that is shown.
  upperText_ = toolkit::CreateLabel(Handle(), "", 16, 16, 10, 14, SS_NOTIFY);
  lowerText_ = toolkit::CreateLabel(Handle(), "", 16, 79, 10, 14, SS_NOTIFY);
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  SetWindowPos(Handle(), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  canvas_ = toolkit::CreateScreenBitmap(width, height);
  HDC screen = GetDC(nullptr);
  HDC canvas = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(canvas, canvas_);
  // A new bitmap is black until something is drawn.
  RECT all = {0, 0, width, height};
  FillRect(canvas, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  if (pkg.Flag(qb::kBackgroundGradient)) {
    toolkit::PaintGradient(canvas, width, height, !pkg.Flag(qb::kGradientHorizontal),
                           toolkit::ResolveColour(pkg.Number(qb::kGradientColour1)),
                           toolkit::ResolveColour(pkg.Number(qb::kGradientColour2)));
    brush_ = CreatePatternBrush(canvas_);
  } else {
    picture_ = toolkit::LoadBitmapFile(SupportFile(qb::kSupportBackground));
    BITMAP size = {};
    if (picture_) GetObjectA(picture_, sizeof size, &size);
    HDC pictureDc = CreateCompatibleDC(screen);
    HGDIOBJ oldPicture = picture_ ? SelectObject(pictureDc, picture_) : nullptr;
    switch (pkg.Number(qb::kBackgroundPictureMode)) {
      case kTiled:
        // The picture itself tiles from the top-left corner.
        if (picture_) brush_ = CreatePatternBrush(picture_);
        break;
      case kStretched:
        if (picture_) {
          SetStretchBltMode(canvas, HALFTONE);
          StretchBlt(canvas, 0, 0, width, height, pictureDc, 0, 0, size.bmWidth, size.bmHeight,
                     SRCCOPY);
        }
        brush_ = CreatePatternBrush(canvas_);
        break;
      case kCentred:
        if (picture_) {
          BitBlt(canvas, qb::CentredOffset(width, size.bmWidth),
                 qb::CentredOffset(height, size.bmHeight), size.bmWidth, size.bmHeight, pictureDc,
                 0, 0, SRCCOPY);
        }
        brush_ = CreatePatternBrush(canvas_);
        break;
      default:
        break;  // no picture
    }
    if (oldPicture) SelectObject(pictureDc, oldPicture);
    DeleteDC(pictureDc);
  }
  SelectObject(canvas, old);
  DeleteDC(canvas);
  ReleaseDC(nullptr, screen);

  toolkit::SetText(upperText_, engine::ExpandText(pkg.Text(qb::kBackgroundUpperText)));
  toolkit::SetText(lowerText_, engine::ExpandText(pkg.Text(qb::kBackgroundLowerText)));
  upperColour_ = toolkit::ResolveColour(pkg.Number(qb::kUpperColour));
  lowerColour_ = toolkit::ResolveColour(pkg.Number(qb::kLowerColour));
  toolkit::SetFont(upperText_,
                   toolkit::StyledFont(pkg.Text(qb::kUpperFontName),
                                       static_cast<int>(pkg.Number(qb::kUpperFontHeight)),
                                       static_cast<int>(pkg.Number(qb::kUpperCharset) & 0xFF),
                                       static_cast<int>(pkg.Number(qb::kUpperFontStyle))));
  toolkit::SetFont(lowerText_,
                   toolkit::StyledFont(pkg.Text(qb::kLowerFontName),
                                       static_cast<int>(pkg.Number(qb::kLowerFontHeight)),
                                       static_cast<int>(pkg.Number(qb::kLowerCharset) & 0xFF),
                                       static_cast<int>(pkg.Number(qb::kLowerFontStyle))));
  toolkit::SizeToText(upperText_);
  toolkit::SizeToText(lowerText_);
  PlaceLowerText();
  Show();
  InvalidateRect(Handle(), nullptr, TRUE);
  SetForegroundWindow(Handle());
}

void TBackgroundWindow::PlaceLowerText() {
  RECT window, text;
  GetClientRect(Handle(), &window);
  GetWindowRect(lowerText_, &text);
  const int w = text.right - text.left;
  const int h = text.bottom - text.top;
  const int margin = toolkit::Scaled(Handle(), 8);
  SetWindowPos(lowerText_, nullptr, window.right - w - margin, window.bottom - h - margin, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
}

LRESULT TBackgroundWindow::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      if (brush_) {
        RECT r;
        GetClientRect(Handle(), &r);
        SetBrushOrgEx(reinterpret_cast<HDC>(wp), 0, 0, nullptr);
        FillRect(reinterpret_cast<HDC>(wp), &r, brush_);
        return 1;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, reinterpret_cast<HWND>(lp) == upperText_ ? upperColour_ : lowerColour_);
      return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }
    case WM_COMMAND:
      if (HIWORD(wp) == STN_CLICKED || HIWORD(wp) == STN_DBLCLK) BringWizardToFront();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_SHOWWINDOW:
      BringWizardToFront();
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(Handle(), &ps);
      EndPaint(Handle(), &ps);
      BringWizardToFront();
      return 0;
    }
    default:
      break;
  }
  return TWindow::WindowProc(msg, wp, lp);
}

void PrepareBackground() {
  if (Package.Flag(qb::kShowBackground) && !Startup.silent) {
    Background.Prepare();
  } else {
    Background.Hide();
  }
}

}  // namespace startup
