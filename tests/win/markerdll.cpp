// A DLL that only leaves a trace when it is loaded: "<its own path>.loaded".
// Planting tests put copies of it beside an installer under the names of
// system DLLs; none of them may ever be loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH + 8] = {};
    GetModuleFileNameA(instance, path, MAX_PATH);
    lstrcatA(path, ".loaded");
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  return TRUE;
}
