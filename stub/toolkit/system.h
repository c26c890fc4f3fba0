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

// The system's description of an error code, with its number: "There is not
// enough space on the disk. (error 112)".
std::string SystemErrorText(DWORD error);

}  // namespace toolkit
