// qbfileinfo: what Windows reads from a program file's resources: the
// version strings, the icon group MAINICON and the manifest.
//   qbfileinfo FILE
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
  if (size) {
    char* block = new char[size];
    if (GetFileVersionInfoA(argv[1], 0, size, block)) {
      VS_FIXEDFILEINFO* fixed = nullptr;
      UINT length = 0;
      if (VerQueryValueA(block, "\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        std::printf("fixed=%u.%u.%u.%u\n", static_cast<unsigned>(HIWORD(fixed->dwFileVersionMS)),
                    static_cast<unsigned>(LOWORD(fixed->dwFileVersionMS)),
                    static_cast<unsigned>(HIWORD(fixed->dwFileVersionLS)),
                    static_cast<unsigned>(LOWORD(fixed->dwFileVersionLS)));
      }
      const char* keys[] = {"ProductName",     "ProductVersion", "FileVersion",     "CompanyName",
                            "FileDescription", "LegalCopyright", "OriginalFilename"};
      for (const char* key : keys) {
        char path[128];
        wsprintfA(path, "\\StringFileInfo\\040904B0\\%s", key);
        char* value = nullptr;
        if (VerQueryValueA(block, path, reinterpret_cast<void**>(&value), &length) && value)
          std::printf("%s=%s\n", key, value);
      }
    }
    delete[] block;
  }
  HMODULE file = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!file) return 1;
  if (HRSRC group = FindResourceA(file, "MAINICON", MAKEINTRESOURCEA(14))) {
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(file, group)));
    const int count = data[4] | (data[5] << 8);
    std::printf("icons=%d first=%d\n", count, data[6] ? data[6] : 256);
  }
  if (HRSRC manifest = FindResourceA(file, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
    const char* text = static_cast<const char*>(LockResource(LoadResource(file, manifest)));
    const DWORD length = SizeofResource(file, manifest);
    const char* level = nullptr;
    for (DWORD i = 0; i + 6 < length; ++i) {
      if (text[i] == 'l' && text[i + 1] == 'e' && text[i + 2] == 'v' && text[i + 3] == 'e' &&
          text[i + 4] == 'l' && text[i + 5] == '=') {
        level = text + i + 7;
        break;
      }
    }
    if (level) {
      std::printf("level=");
      for (const char* c = level; *c && *c != '"'; ++c) std::putchar(*c);
      std::printf("\n");
    }
  }
  FreeLibrary(file);
  return 0;
}
