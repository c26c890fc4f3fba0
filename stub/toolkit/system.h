// Loading system libraries safely.
#pragma once

#include <windows.h>

namespace toolkit {

// Restricts the DLL search of this process to the system folder, so that a
// DLL planted beside the installer (in a Downloads folder, say) is never
// loaded. Must run before anything loads a library.
void RestrictDllSearch();

// Loads a library of the system folder by its full path.
HMODULE LoadSystemLibrary(const char* name);

// The predefined registry key with the given root index (0x80000000 plus the
// index, sign-extended as the system's own constants are), or null when the
// index is out of range.
HKEY RegistryRoot(long long index);

}  // namespace toolkit
