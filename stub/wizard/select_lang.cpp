#include "wizard/select_lang.h"

#include <windows.h>

#include "session/session.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/dpi.h"
#include "toolkit/window.h"

namespace wizard {

namespace {

constexpr int kWidth = 287;
constexpr int kHeight = 127;
constexpr int kListId = 201;

// The dialog's texts are fixed English: no package language is chosen yet.
class TSelectLang : public toolkit::TWindow {
 public:
  explicit TSelectLang(session::Session& session) : session_(session) {}
  bool Show();

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_COMMAND:
        if (LOWORD(wp) == IDOK && HIWORD(wp) == BN_CLICKED) {
          Confirm();
          return 0;
        }
        if (LOWORD(wp) == IDCANCEL && HIWORD(wp) == BN_CLICKED) {
          done_ = true;
          return 0;
        }
        break;
      case WM_CLOSE:
        done_ = true;
        return 0;
      default:
        break;
    }
    return TWindow::WindowProc(msg, wp, lp);
  }

 private:
  void Confirm() {
    const LRESULT index = SendMessageA(list_, CB_GETCURSEL, 0, 0);
    if (index >= 0) {
      session_.state.languageIndex = static_cast<unsigned char>(index);
      session_.state.languageName = session_.package.Records(qb::List::kLanguages)
                                        .Field(static_cast<size_t>(index), qb::kLanguageName);
      session_.state.languageConfirmed = true;
    }
    Hide();
    done_ = true;
  }
  session::Session& session_;
  HWND list_ = nullptr;
  bool done_ = false;
};

bool TSelectLang::Show() {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;
  char caption[512] = {};
  GetWindowTextA(toolkit::Application.Handle(), caption, sizeof caption);
  CreateTopLevel("TQuillboxSelectLang", caption, style, exStyle, 0, 0, 0, 0,
                 toolkit::Application.Handle());
  HWND w = Handle();
  toolkit::FitClientArea(w, kWidth, kHeight, true);
  SendMessageA(w, WM_SETICON, ICON_SMALL, 0);
  SendMessageA(w, WM_SETICON, ICON_BIG, 0);
  toolkit::SetFont(w, toolkit::Font("Tahoma", -11));
  HWND icon = toolkit::CreateControl("STATIC", "", WS_VISIBLE | SS_ICON, 16, 16, 32, 32, w);
  SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(toolkit::MainIcon(false)), 0);
  HWND prompt = toolkit::CreateLabel(w, "Please select a language.", 67, 16, 10, 10);
  toolkit::SizeToText(prompt);
  list_ = toolkit::CreateControl("COMBOBOX", "",
                                 WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 67, 62,
                                 210, 200, w, kListId);
  const qb::RecordList& languages = session_.package.Records(qb::List::kLanguages);
  for (size_t i = 0; i < languages.Count(); ++i) {
    SendMessageA(list_, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(languages.Field(i, qb::kLanguageName).c_str()));
  }
  SendMessageA(list_, CB_SETCURSEL, qb::DefaultLanguage(languages, GetUserDefaultLangID()), 0);
  toolkit::CreateButton(w, "OK", 112, 95, 75, 23, IDOK, BS_DEFPUSHBUTTON);
  toolkit::CreateButton(w, "Cancel", 202, 95, 75, 23, IDCANCEL);
  SetFocus(list_);
  toolkit::RunModal(w, toolkit::Application.Handle(), &done_);
  return session_.state.languageConfirmed;
}

}  // namespace

bool SelectLanguage(session::Session& session) {
  TSelectLang dialog(session);
  return dialog.Show();
}

}  // namespace wizard
