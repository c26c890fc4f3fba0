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

bool RunsUnderWow64() {
  using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto isWow64 =
      LibraryFunction<IsWow64Fn>(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
  BOOL wow64 = FALSE;
  return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

bool WindowsRunsX64() {
  constexpr USHORT kAmd64 = 0x8664;  // IMAGE_FILE_MACHINE_AMD64
  constexpr USHORT kArm64 = 0xAA64;  // IMAGE_FILE_MACHINE_ARM64
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  if (const auto isWow64Process2 = LibraryFunction<IsWow64Process2Fn>(kernel, "IsWow64Process2")) {
    USHORT process = 0, native = 0;
    if (isWow64Process2(GetCurrentProcess(), &process, &native)) {
      if (native == kAmd64) return true;
      if (native != kArm64) return false;
      // Windows on Arm64 runs x64 programs only where it emulates them.
      using GuestSupportedFn = HRESULT(WINAPI*)(USHORT, BOOL*);
      const auto supported =
          LibraryFunction<GuestSupportedFn>(kernel, "IsWow64GuestMachineSupported");
      BOOL yes = FALSE;
      return supported && SUCCEEDED(supported(kAmd64, &yes)) && yes;
    }
  }
  // Before Windows 10 a 32-bit program under WOW64 means x64 Windows (the
  // Itanium's Windows is not ours to meet).
  return RunsUnderWow64();
}

std::string SystemFolder() {
  char folder[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  return n && n <= MAX_PATH ? std::string(folder, n) : std::string();
}

std::string System32BitFolder() {
  char folder[MAX_PATH + 1] = {};
  using Wow64FolderFn = UINT(WINAPI*)(LPSTR, UINT);
  const auto wow64Folder =
      LibraryFunction<Wow64FolderFn>(GetModuleHandleA("kernel32.dll"), "GetSystemWow64DirectoryA");
  const UINT n = wow64Folder && RunsUnderWow64() ? wow64Folder(folder, MAX_PATH) : 0;
  return n && n <= MAX_PATH ? std::string(folder, n) : SystemFolder();
}

std::string UnredirectedPath(const std::string& path) {
  const std::string system = SystemFolder();
  if (system.empty() || path.size() < system.size() || !RunsUnderWow64()) return path;
  if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                     static_cast<int>(system.size()), system.c_str(),
                     static_cast<int>(system.size())) != CSTR_EQUAL) {
    return path;
  }
  if (path.size() > system.size() && path[system.size()] != '\\') return path;
  char windows[MAX_PATH + 1] = {};
  const UINT n = GetSystemWindowsDirectoryA(windows, MAX_PATH);
  if (n == 0 || n > MAX_PATH) return path;
  std::string native(windows, n);
  if (native.back() != '\\') native += '\\';
  return native + "Sysnative" + path.substr(system.size());
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
