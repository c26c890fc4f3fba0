// The shell and COM services the stub uses. shell32 and ole32 (with the
// libraries they bring along) are loaded from the system folder when one of
// these is first used, so a run that needs none of them, such as a silent
// installation into a fixed folder, starts without them.
#pragma once

#include <windows.h>
// shlobj.h needs windows.h first.
#include <shlobj.h>

#include <string>

#include "toolkit/text_arg.h"

namespace toolkit {

// The path of a shell folder (CSIDL_...), or "" when the system has none.
std::string ShellFolderPath(int csidl);

// The name under which the shell shows a file or folder, or "".
std::string ShellDisplayName(const std::string& path);

// Opens a document, folder or address with its associated program; the
// target is handed over as one file (in quotes when it holds a blank).
// False when nothing opened.
bool ShellOpen(const std::string& target, int show);

// Starts a program or opens a document as ShellExecuteEx does, in the
// file's own folder and without the shell's error boxes; false when nothing
// started. The path (unquoted) is handed over as one file, in quotes when
// it holds a blank, so that no shorter part of it can name another program;
// the parameters go separately. Given a process pointer, it receives the
// started program's process (null when there is none) for WaitForProgram.
bool StartProgram(const std::string& path, const std::string& parameters, int show,
                  HANDLE* process);

// Waits until a started program has ended and closes its handle, calling
// meanwhile(data) every 50 ms so that the caller's windows stay responsive.
void WaitForProgram(HANDLE process, void (*meanwhile)(void*), void* data);

// Runs the native (64-bit) regsvr32 silently on a 64-bit component, which
// a 32-bit process cannot load: registers it, or with unregister /u. Waits
// for it as WaitForProgram does. Returns whether it could be started.
bool RunNativeRegsvr32(const std::string& component, bool unregister, void (*meanwhile)(void*),
                       void* data);

// Shows the system's folder picker; true with the chosen folder's path.
bool PickFolder(BROWSEINFOA& info, std::string& picked);

// COM for the current thread while the object lives, from the first object
// it creates on: a session that creates nothing loads no COM library.
class TComSession {
 public:
  TComSession();
  ~TComSession();
  TComSession(const TComSession&) = delete;
  TComSession& operator=(const TComSession&) = delete;

  // CoCreateInstance of an in-process server.
  bool Create(const CLSID& cls, const IID& iid, void** object);

 private:
  bool started_ = false;
  bool initialized_ = false;
};

}  // namespace toolkit
