// Environment checks before the wizard: Windows version, administrator
// rights, .NET Framework, a running copy of the application.
#pragma once

#include <windows.h>

namespace startup {

// Each check ends the program with the "unsuitable" exit code, after its
// message and the removal of the working folder, when it fails.
void CheckWindowsVersion();
// A 64-bit package on Windows that runs no x64 programs: a message and
// the end of the installer (kMachineUnsuitable).
void CheckArchitecture();
void CheckAdministrator();
void CheckDotNet();
// Closes a running copy of the application (by window title or by process
// file name) when the package asks for it; never the installer's own
// windows (the application window and the background window).
void CloseRunningApplication(HWND background);

}  // namespace startup
