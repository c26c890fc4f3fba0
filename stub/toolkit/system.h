// Loading system libraries safely.
#pragma once

#include <windows.h>

namespace tk {

// Restricts the DLL search of this process to the system folder, so that a
// DLL planted beside the installer (in a Downloads folder, say) is never
// loaded. Must run before anything loads a library.
void RestrictDllSearch();

// Loads a library of the system folder by its full path.
HMODULE LoadSystemLibrary(const char* name);

}  // namespace tk
