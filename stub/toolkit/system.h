// Loading system libraries safely.
#pragma once

#include <windows.h>

#include <string>

namespace toolkit {

// Restricts the DLL search of this process to the system folder, so that a
// DLL planted beside the installer (in a Downloads folder, say) is never
// loaded. Must run before anything loads a library.
void RestrictDllSearch();

// Loads a library of the system folder by its full path.
HMODULE LoadSystemLibrary(const char* name);

// Loads a system library that the program's manifest redirects to a version
// side by side (the common controls): by name, which lets the manifest's
// version apply, and otherwise only from the system folder.
HMODULE LoadSideBySideLibrary(const char* name);

// A function of a loaded library as the given pointer type; null when the
// library (null module) or the function is missing.
template <typename Fn>
Fn LibraryFunction(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

// The predefined registry key with the given root index (0x80000000 plus the
// index, sign-extended as the system's own constants are), or null when the
// index is out of range.
HKEY RegistryRoot(long long index);

// Whether this Windows runs x64 programs: 64-bit Windows on x64 processors,
// and Windows on Arm64 with its x64 emulation.
bool WindowsRunsX64();

// Whether this (32-bit) process runs on 64-bit Windows, where the system
// redirects its view of the system folder and of HKLM\Software.
bool RunsUnderWow64();

// The registry access flag that selects the view a 64-bit application uses
// (KEY_WOW64_64KEY), or 0 for the view of this process.
inline REGSAM RegistryView(bool native64) { return native64 ? KEY_WOW64_64KEY : 0; }

// The system folder as a path text ("C:\Windows\system32"), or empty.
std::string SystemFolder();

// The folder of 32-bit system files on 64-bit Windows (SysWOW64); the
// system folder itself on 32-bit Windows.
std::string System32BitFolder();

// The path by which this process reaches the given path of the native
// (64-bit) system: under WOW64, a path in the system folder becomes the same
// path below "<Windows>\Sysnative", which the system does not redirect.
// Every other path, and every path outside WOW64, comes back unchanged.
std::string UnredirectedPath(const std::string& path);

// The system's description of an error code, with its number: "There is not
// enough space on the disk. (error 112)".
std::string SystemErrorText(DWORD error);

}  // namespace toolkit
