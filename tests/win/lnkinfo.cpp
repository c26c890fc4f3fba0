// lnkinfo: reads a shell link back through IShellLink and prints its
// target, arguments, working folder, description and icon.
#include <objidl.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))) ||
      FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    return 1;
  }
  WCHAR wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, argv[1], -1, wide, MAX_PATH);
  if (FAILED(file->Load(wide, STGM_READ))) {
    std::printf("cannot load %s\n", argv[1]);
    return 1;
  }
  char text[MAX_PATH] = {};
  int icon = 0;
  link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  std::printf("target=%s\n", text);
  link->GetArguments(text, MAX_PATH);
  std::printf("arguments=%s\n", text);
  link->GetWorkingDirectory(text, MAX_PATH);
  std::printf("folder=%s\n", text);
  link->GetDescription(text, MAX_PATH);
  std::printf("description=%s\n", text);
  link->GetIconLocation(text, MAX_PATH, &icon);
  std::printf("icon=%s,%d\n", text, icon);
  file->Release();
  link->Release();
  CoUninitialize();
  return 0;
}
