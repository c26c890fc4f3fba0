// Top-level windows built in code. Every window of the stub is created here:
// nothing else calls CreateWindowEx.
#pragma once

#include <windows.h>

namespace toolkit {

class TWindow {
 public:
  virtual ~TWindow();
  HWND Handle() const { return handle_; }
  void Show(int how = SW_SHOW) { ShowWindow(handle_, how); }
  void Hide() { ShowWindow(handle_, SW_HIDE); }

 protected:
  // Creates the window; Created() runs once the handle exists.
  bool CreateTopLevel(const char* className, const char* caption, DWORD style, DWORD exStyle, int x,
                      int y, int w, int h, HWND owner);
  virtual void Created() {}
  // Runs once the window and its controls are laid out again for another
  // DPI (the window moved to another monitor): what the window places
  // itself is placed again here.
  virtual void DpiChanged() {}
  virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);

 private:
  static LRESULT CALLBACK Router(HWND, UINT, WPARAM, LPARAM);
  HWND handle_ = nullptr;
  HFONT font_ = nullptr;  // the window's font, which its controls take
};

// The top-level window of the given class that this thread created, or
// null (another installer's windows carry the same classes).
HWND OwnWindow(const char* className);

}  // namespace toolkit
