// qbprobe: started by an installer under test. Optionally waits, then writes
// OUT holding "exists" or "missing" for PATH.
//   qbprobe OUT PATH [MILLISECONDS]
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 3) return 2;
  if (__argc > 3) Sleep(static_cast<DWORD>(std::atoi(__argv[3])));
  const char* state =
      GetFileAttributesA(__argv[2]) != INVALID_FILE_ATTRIBUTES ? "exists" : "missing";
  HANDLE h = CreateFileA(__argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD done = 0;
  WriteFile(h, state, lstrlenA(state), &done, nullptr);
  CloseHandle(h);
  return 0;
}
