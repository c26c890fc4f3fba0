// The Tally shell extension stand-in: a component whose DllRegisterServer
// notes its registration in the registry, as a real one would register its
// classes.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quillbox Examples\\Tally", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return E_FAIL;
  }
  const DWORD one = 1;
  RegSetValueExA(key, "ExtensionRegistered", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                 sizeof one);
  RegCloseKey(key);
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() { return S_OK; }
