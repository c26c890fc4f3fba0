// The application object: an invisible owner window that carries the
// installer title and the taskbar button, and the message loop.
#pragma once

#include <windows.h>

#include <string>

namespace toolkit {

class TApplication {
 public:
  // Creates the application window with the given caption, hidden.
  bool Create(const char* caption);
  HWND Handle() const { return handle_; }
  void SetCaption(const std::string& caption);
  void Show();
  // One pass over the pending window messages, for use inside long work.
  void ProcessMessages();
  // Runs the message loop until Terminate is called or the window closes.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  bool Dispatch(MSG& msg);
  HWND handle_ = nullptr;
  bool terminated_ = false;
};

extern TApplication Application;

// The icon group every window shows.
HICON MainIcon(bool small);

// Registers a window class of this program, once: a later call for a class
// of the same name does nothing. Fills in the instance, and the arrow
// cursor when the class sets none.
void RegisterOwnClass(WNDCLASSEXA wc);

}  // namespace toolkit
