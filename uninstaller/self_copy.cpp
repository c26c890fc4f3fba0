#include "self_copy.h"

#include <windows.h>

#include "text/text.h"
#include "toolkit/files.h"

namespace uninstaller {

namespace {

HANDLE AsHandle(uint64_t value) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)); }

std::string HandleText(HANDLE h) {
  return qb::Decimal(static_cast<int64_t>(reinterpret_cast<uintptr_t>(h)));
}

// Copies the bytes only: no alternate streams (a downloaded file's zone
// mark would make Windows ask before starting the copy).
bool CopyBytes(const std::string& from, const std::string& to) {
  toolkit::TFileStream in, out;
  if (!in.OpenRead(from) || !out.Create(to)) return false;
  const uint64_t size = in.Size();
  return toolkit::CopyStream(in, out, size) == size;
}

}  // namespace

bool RunFromTemporaryCopy(const std::string& self, bool silent, int& exitCode) {
  const std::string folder = toolkit::TempFolder();
  char copy[MAX_PATH + 1] = {};
  if (!GetTempFileNameA(folder.c_str(), "qbu", 0, copy)) return false;
  if (!CopyBytes(self, copy)) {
    DeleteFileA(copy);
    return false;
  }
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  // The last of these handles to close deletes the copy: the copy's own,
  // inherited, closes when the copy ends.
  HANDLE keep = CreateFileA(copy, GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            &inherited, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  HANDLE resultRead = nullptr, resultWrite = nullptr, me = nullptr;
  const bool ready = keep != INVALID_HANDLE_VALUE &&
                     CreatePipe(&resultRead, &resultWrite, &inherited, 0) &&
                     SetHandleInformation(resultRead, HANDLE_FLAG_INHERIT, 0) &&
                     DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                                     &me, SYNCHRONIZE, TRUE, 0);
  PROCESS_INFORMATION process = {};
  bool started = false;
  if (ready) {
    std::string command = std::string("\"") + copy + "\" \"/ORIGINAL=" + self +
                          "\" /PARENT=" + HandleText(me) + " /RESULT=" + HandleText(resultWrite) +
                          (silent ? " /S" : "");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    started = CreateProcessA(copy, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                             &startup, &process) != 0;
  }
  if (resultWrite) CloseHandle(resultWrite);
  if (me) CloseHandle(me);
  if (!started) {
    if (resultRead) CloseHandle(resultRead);
    if (keep != INVALID_HANDLE_VALUE) CloseHandle(keep);
    DeleteFileA(copy);
    return false;
  }
  CloseHandle(process.hThread);
  // The copy writes its exit code before it removes this program's file; a
  // copy that ends without writing it ends with its own code.
  int32_t reported = 0;
  DWORD read = 0;
  if (ReadFile(resultRead, &reported, sizeof reported, &read, nullptr) && read == sizeof reported) {
    exitCode = reported;
  } else {
    DWORD code = 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    exitCode = static_cast<int>(code);
  }
  CloseHandle(resultRead);
  CloseHandle(process.hProcess);
  CloseHandle(keep);
  return true;
}

void ReportResult(uint64_t pipe, int exitCode) {
  if (!pipe) return;
  const int32_t code = exitCode;
  DWORD written = 0;
  WriteFile(AsHandle(pipe), &code, sizeof code, &written, nullptr);
  CloseHandle(AsHandle(pipe));
}

void WaitForOriginal(uint64_t process) {
  if (!process) return;
  WaitForSingleObject(AsHandle(process), 10000);
  CloseHandle(AsHandle(process));
}

}  // namespace uninstaller
