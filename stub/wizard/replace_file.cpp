#include "wizard/replace_file.h"

#include <windows.h>

#include "package/settings.h"
#include "text/expand.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/dpi.h"
#include "toolkit/window.h"
#include "wizard/wizard.h"

namespace wizard {

namespace {

constexpr int kWidth = 456;
constexpr int kHeight = 159;

class TReplaceFile : public toolkit::TWindow {
 public:
  int Show(const qb::Package& pkg, const std::string& path, const std::string& existingLine,
           const std::string& newLine);

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED) {
          const int id = LOWORD(wp);
          if (id == IDCANCEL) {
            Answer(kKeep);
          } else if (id == IDOK) {
            Answer(kOverwrite);
          } else if (id >= kOverwrite && id <= kKeepAll) {
            Answer(id);
          }
          return 0;
        }
        break;
      case WM_CLOSE:
        Answer(kKeep);
        return 0;
      default:
        break;
    }
    return TWindow::WindowProc(msg, wp, lp);
  }

 private:
  void Answer(int code) {
    answer_ = code;
    done_ = true;
  }
  int answer_ = kKeep;
  bool done_ = false;
};

int TReplaceFile::Show(const qb::Package& pkg, const std::string& path,
                       const std::string& existingLine, const std::string& newLine) {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  HWND owner = Wizard ? Wizard->Handle() : toolkit::Application.Handle();
  char caption[512] = {};
  GetWindowTextA(toolkit::Application.Handle(), caption, sizeof caption);
  CreateTopLevel("TQuillboxReplaceFile", caption, style, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT,
                 0, 0, 0, 0, owner);
  HWND w = Handle();
  // Sized for its DPI and centred; the measures below are at that DPI.
  toolkit::FitClientArea(w, kWidth, kHeight, true);
  const int dpi = toolkit::WindowDpi(w);
  RECT outer;
  GetWindowRect(w, &outer);
  const int width = outer.right - outer.left;
  toolkit::SetFont(w, toolkit::Font("Tahoma", -13));
  HFONT font = toolkit::Font("Tahoma", -11);
  const auto label = [&](const std::string& text, int x, int y, bool bold = false) {
    HWND l = toolkit::CreateLabel(w, text, x, y, 10, 10);
    toolkit::SetFont(l, bold ? toolkit::Font("Tahoma", -11, true) : font);
    toolkit::SizeToText(l);
    return l;
  };
  label(pkg.Msg(qb::kMsgOverwriteHeading), 16, 12, true);
  // The path is shortened to the dialog's width, measured in its font.
  HDC dc = GetDC(w);
  HGDIOBJ old = SelectObject(dc, toolkit::FontForDpi(font, dpi));
  const int margins = toolkit::Scaled(2 * 16, dpi);
  const std::string shown = qb::ShortenPath(path, width - margins, [dc](const std::string& text) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<int>(size.cx);
  });
  SelectObject(dc, old);
  ReleaseDC(w, dc);
  label(shown, 16, 36);
  HWND existing = label(pkg.Msg(qb::kMsgOverwriteExisting), 16, 60);
  HWND fresh = label(pkg.Msg(qb::kMsgOverwriteNew), 16, 84);
  RECT a, b;
  GetWindowRect(existing, &a);
  GetWindowRect(fresh, &b);
  // The column after the wider caption, in 96-DPI measure.
  const int wider = a.right - a.left > b.right - b.left ? a.right - a.left : b.right - b.left;
  const int column = MulDiv(wider, 96, dpi) + 28;
  label(existingLine, column, 60);
  label(newLine, column, 84);
  toolkit::CreateControl("STATIC", "", WS_VISIBLE | SS_ETCHEDHORZ, 16, 110, 424, 2, w);
  const int buttons[4][2] = {{kOverwrite, qb::kMsgOverwriteYes},
                             {kOverwriteAll, qb::kMsgOverwriteYesAll},
                             {kKeep, qb::kMsgOverwriteNo},
                             {kKeepAll, qb::kMsgOverwriteNoAll}};
  for (int i = 0; i < 4; ++i) {
    HWND button = toolkit::CreateButton(w, pkg.Msg(buttons[i][1]), 16 + 108 * i, 124, 100, 23,
                                        buttons[i][0], i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    toolkit::SetFont(button, font);
    if (i == 0) SetFocus(button);
  }
  toolkit::RunModal(w, owner, &done_);
  return answer_;
}

}  // namespace

int AskOverwrite(const qb::Package& pkg, const std::string& path, const std::string& existingLine,
                 const std::string& newLine) {
  TReplaceFile dialog;
  return dialog.Show(pkg, path, existingLine, newLine);
}

}  // namespace wizard
