// A component whose DllRegisterServer leaves "<its own path>.registered" and
// whose DllUnregisterServer removes it.
#include <windows.h>

static HINSTANCE self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  char path[MAX_PATH + 16] = {};
  GetModuleFileNameA(self, path, MAX_PATH);
  lstrcatA(path, ".registered");
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return S_OK;
}

// Unregistering takes the marker away again.
extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() {
  char path[MAX_PATH + 16] = {};
  GetModuleFileNameA(self, path, MAX_PATH);
  lstrcatA(path, ".registered");
  DeleteFileA(path);
  return S_OK;
}
