// Environment checks before the wizard: Windows version, administrator
// rights, .NET Framework, a running copy of the application.
#pragma once

namespace startup {

// Each check ends the program through its exit path when it fails.
void CheckWindowsVersion();
void CheckAdministrator();
void CheckDotNet();
void CloseRunningApplication();

}  // namespace startup
