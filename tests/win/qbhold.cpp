// qbhold: holds a file open as a running program holds its files (others may
// read it, nobody may delete it), says so in READY, and lets go after
// MILLISECONDS.
//   qbhold FILE READY MILLISECONDS
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 4) return 2;
  HANDLE held =
      CreateFileA(__argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  HANDLE ready = CreateFileA(__argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  Sleep(static_cast<DWORD>(std::atoi(__argv[3])));
  CloseHandle(held);
  return 0;
}
