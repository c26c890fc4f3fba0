// A program that only leaves a trace: it writes "<its own path>.ran" holding
// its command line. Tests copy it under the name of a program that must (or
// must not) be started.
#include <windows.h>

int main() {
  char path[MAX_PATH + 8] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  lstrcatA(path, ".ran");
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  const char* line = GetCommandLineA();
  DWORD done = 0;
  WriteFile(h, line, lstrlenA(line), &done, nullptr);
  CloseHandle(h);
  return 0;
}
