#include "toolkit/system.h"

#include <string>

namespace toolkit {

namespace {
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
}  // namespace

void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (auto set = LibraryFunction<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories")) {
    set(kSearchSystem32);
  }
  // Older systems: at least take the current folder out of the search.
  if (auto set = LibraryFunction<SetDllDirectoryFn>(kernel, "SetDllDirectoryA")) {
    set("");
  }
}

HMODULE LoadSystemLibrary(const char* name) {
  char folder[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  if (n == 0 || n > MAX_PATH) return nullptr;
  std::string path(folder, n);
  if (path.back() != '\\') path += '\\';
  path += name;
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadSideBySideLibrary(const char* name) {
  // Systems that know no search flags refuse them: there the full path.
  HMODULE library = LoadLibraryExA(name, nullptr, kSearchSystem32);
  return library ? library : LoadSystemLibrary(name);
}

HKEY RegistryRoot(long long index) {
  if (index < 0 || index > 0x7FFFFFFF) return nullptr;
  const LONG value = static_cast<LONG>(0x80000000u + static_cast<DWORD>(index));
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(value));
}

std::string SystemErrorText(DWORD error) {
  char text[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, sizeof text, nullptr);
  while (length &&
         (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ')) {
    --length;
  }
  std::string out(text, length);
  char number[16];
  wsprintfA(number, "%lu", error);
  return out + (out.empty() ? "" : " ") + "(error " + number + ")";
}

}  // namespace toolkit
