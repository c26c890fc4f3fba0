#include "window.h"

#include <commctrl.h>

#include "text/expand.h"
#include "text/text.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/dpi.h"
#include "toolkit/drawing.h"

namespace uninstaller {

namespace {

constexpr int kClientWidth = 495;
constexpr int kClientHeight = 359;
constexpr int kHeaderHeight = 58;
constexpr int kBackId = 100;

// Keys of the log's [s] section.
enum Key : int {
  kCaption = 0,   // window caption
  kQuestion = 1,  // do you want to remove ...?
  kRemoving = 2,  // status while removing
  kWelcomeTitle = 3,
  kWelcomeBody = 4,
  kReadyTitle = 5,
  kReadyBody = 6,
  kRemoveButton = 7,
  kProgressTitle = 8,
  kProgressBody = 9,
  kDoneTitle = 10,
  kDoneBody = 11,
  kFilesLeft = 12,
  kBack = 14,
  kCancel = 15,
  kFinish = 16,
  kBranding = 17,
  kGradientEnd = 19,
  kHeaderColour = 20,
  kHeaderKeyed = 21,
  kHeaderBitmapX = 22,
  kHeaderBitmapY = 23,
  kCancelQuestion = 30,
  kHeaderGradient = 32,
  kTitleX = 48,
  kTitleY = 49,
  kSubtitleX = 50,
  kSubtitleY = 51,
};

int Number(const qb::UninstallLog& log, int key) {
  return static_cast<int>(qb::ReadNumber(log.Setting(key)));
}

}  // namespace

TUninstallWindow::TUninstallWindow(const qb::UninstallLog& log,
                                   const std::vector<uint8_t>& headerImage)
    : log_(log) {
  if (!headerImage.empty()) header_ = toolkit::BitmapFromImage(headerImage);
}

TUninstallWindow::~TUninstallWindow() {
  if (header_) DeleteObject(header_);
}

void TUninstallWindow::Build() {
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  CreateTopLevel("TQuillboxUninstall", Text(kCaption).c_str(), style, WS_EX_CONTROLPARENT, 0, 0, 0,
                 0, nullptr);
  HWND win = Handle();
  // Sized for the DPI of its monitor, and centred.
  toolkit::FitClientArea(win, kClientWidth, kClientHeight, true);
  toolkit::SetFont(win, toolkit::Font("Tahoma", -11));

  title_ = toolkit::CreateLabel(win, "", Number(log_, kTitleX), Number(log_, kTitleY),
                                kClientWidth - Number(log_, kTitleX) - 8, 16, SS_NOPREFIX);
  toolkit::SetFont(title_, toolkit::Font("Tahoma", -11, true));
  subtitle_ = toolkit::CreateLabel(win, "", Number(log_, kSubtitleX), Number(log_, kSubtitleY),
                                   kClientWidth - Number(log_, kSubtitleX) - 8, 30, SS_NOPREFIX);
  toolkit::CreateControl("STATIC", "", SS_ETCHEDHORZ, 0, kHeaderHeight, kClientWidth + 2, 2, win);

  bigTitle_ = toolkit::CreateLabel(win, "", 22, 76, 451, 22, SS_NOPREFIX);
  toolkit::SetFont(bigTitle_, toolkit::Font("Verdana", -13, true));
  body_ = toolkit::CreateLabel(win, "", 22, 106, 451, 150, SS_NOPREFIX);
  status_ = toolkit::CreateLabel(win, "", 22, 112, 451, 16, SS_NOPREFIX | SS_PATHELLIPSIS);
  progress_ = toolkit::CreateProgressBar(win, 22, 134, 451, 18);
  ShowWindow(status_, SW_HIDE);
  ShowWindow(progress_, SW_HIDE);

  // The branding text, and the line that runs on from it to the right.
  int lineLeft = 12;
  const std::string branding = Text(kBranding);
  if (!branding.empty()) {
    HWND label = toolkit::CreateLabel(win, qb::DisplayForm(branding), 12, 307, 10, 10);
    toolkit::SizeToText(label);
    EnableWindow(label, FALSE);
    RECT r;
    GetWindowRect(label, &r);
    // In 96-DPI measure, as every place given to the toolkit.
    lineLeft = 12 + MulDiv(r.right - r.left, 96, toolkit::WindowDpi(win)) + 4;
  }
  toolkit::CreateControl("STATIC", "", SS_ETCHEDHORZ, lineLeft, 314, 485 - lineLeft, 2, win);

  back_ = toolkit::CreateButton(win, Text(kBack), 249, 327, 75, 23, kBackId);
  next_ = toolkit::CreateButton(win, Text(kRemoveButton), 324, 327, 75, 23, IDOK, BS_DEFPUSHBUTTON);
  cancel_ = toolkit::CreateButton(win, Text(kCancel), 410, 327, 75, 23, IDCANCEL);
  EnableWindow(back_, FALSE);
}

void TUninstallWindow::SetHeader(const std::string& title, const std::string& subtitle) {
  toolkit::SetText(title_, title);
  toolkit::SetText(subtitle_, subtitle);
  RECT band = {0, 0, toolkit::Scaled(Handle(), kClientWidth),
               toolkit::Scaled(Handle(), kHeaderHeight)};
  InvalidateRect(Handle(), &band, TRUE);
}

bool TUninstallWindow::AskToRemove() {
  page_ = kAskPage;
  SetHeader(Text(kReadyTitle), Text(kQuestion));
  toolkit::SetText(bigTitle_, Text(kWelcomeTitle));
  toolkit::SetText(body_, Text(kWelcomeBody) + "\r\n\r\n" + Text(kReadyBody));
  Show(SW_SHOW);
  SetForegroundWindow(Handle());
  SetFocus(next_);
  toolkit::RunUntil(Handle(), &decided_);
  return remove_;
}

void TUninstallWindow::ShowProgress(int steps) {
  page_ = kProgressPage;
  SetHeader(Text(kProgressTitle), Text(kProgressBody));
  ShowWindow(bigTitle_, SW_HIDE);
  ShowWindow(body_, SW_HIDE);
  toolkit::SetText(status_, Text(kRemoving));
  ShowWindow(status_, SW_SHOW);
  ShowWindow(progress_, SW_SHOW);
  SendMessageA(progress_, PBM_SETRANGE32, 0, steps);
  SendMessageA(progress_, PBM_SETPOS, 0, 0);
  EnableWindow(next_, FALSE);
  KeepResponsive();
}

void TUninstallWindow::ShowStatus(const std::string& text) {
  toolkit::SetText(status_, text);
  KeepResponsive();
}

void TUninstallWindow::Step() {
  SendMessageA(progress_, PBM_DELTAPOS, 1, 0);
  KeepResponsive();
}

void TUninstallWindow::KeepResponsive() { toolkit::Application.ProcessMessages(); }

void TUninstallWindow::ShowSummary(const RemovalResult& result, const std::string& restartText) {
  page_ = kSummaryPage;
  SetHeader(Text(kDoneTitle), "");
  ShowWindow(status_, SW_HIDE);
  ShowWindow(progress_, SW_HIDE);
  std::string body = Text(kDoneBody);
  if (!result.leftBehind.empty() || !result.kept.empty()) body += "\r\n\r\n" + Text(kFilesLeft);
  if (result.restartNeeded && !restartText.empty()) body += "\r\n\r\n" + restartText;
  toolkit::SetText(bigTitle_, Text(kDoneTitle));
  toolkit::SetText(body_, body);
  ShowWindow(bigTitle_, SW_SHOW);
  ShowWindow(body_, SW_SHOW);
  toolkit::SetText(next_, Text(kFinish));
  EnableWindow(next_, TRUE);
  EnableWindow(cancel_, FALSE);
  SetFocus(next_);
  decided_ = false;
  toolkit::RunUntil(Handle(), &decided_);
}

void TUninstallWindow::OnCancel() {
  switch (page_) {
    case kAskPage:
      remove_ = false;
      decided_ = true;
      break;
    case kProgressPage:
      if (!stopRequested_ &&
          MessageBoxA(Handle(), Text(kCancelQuestion).c_str(), Text(kCaption).c_str(),
                      MB_YESNO | MB_ICONQUESTION) == IDYES) {
        stopRequested_ = true;
      }
      break;
    case kSummaryPage:
      decided_ = true;
      break;
  }
}

void TUninstallWindow::PaintHeader(HDC dc) {
  const COLORREF colour = toolkit::ResolveColour(qb::ReadNumber(Text(kHeaderColour)));
  const int dpi = toolkit::WindowDpi(Handle());
  RECT band = {0, 0, toolkit::Scaled(kClientWidth, dpi), toolkit::Scaled(kHeaderHeight, dpi)};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &band, brush);
  DeleteObject(brush);
  if (qb::ReadFlag(Text(kHeaderGradient))) {
    toolkit::PaintGradient(dc, toolkit::Scaled(170, dpi), band.bottom, false, colour,
                           toolkit::ResolveColour(qb::ReadNumber(Text(kGradientEnd))));
  }
  if (header_) {
    toolkit::DrawPicture(dc, header_, toolkit::Scaled(Number(log_, kHeaderBitmapX), dpi),
                         toolkit::Scaled(Number(log_, kHeaderBitmapY), dpi),
                         qb::ReadFlag(Text(kHeaderKeyed)), dpi);
  }
}

LRESULT TUninstallWindow::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Handle(), &ps);
      PaintHeader(dc);
      EndPaint(Handle(), &ps);
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      HWND control = reinterpret_cast<HWND>(lp);
      if (control == title_ || control == subtitle_) {
        // The header texts lie on the band, whatever it is painted with.
        HDC dc = reinterpret_cast<HDC>(wp);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      }
      break;
    }
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK:
          if (page_ == kAskPage) remove_ = true;
          decided_ = true;
          return 0;
        case IDCANCEL:
          OnCancel();
          return 0;
      }
      break;
    case WM_CLOSE:
      OnCancel();
      return 0;
  }
  return TWindow::WindowProc(msg, wp, lp);
}

}  // namespace uninstaller
