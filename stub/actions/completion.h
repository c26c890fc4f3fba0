// The ways the installer ends once the installation has begun.
#pragma once

namespace act {

// After the installation run: in silent mode the program ends; otherwise the
// wizard moves on to the page after the Progress page.
void EndOfRun();
// The last entry of the page sequence: starts what the Finish page's check
// boxes ask for, restarts Windows when asked, and ends the program.
[[noreturn]] void CompletionStep();
// After a file error or a missing volume that the user cancelled: message
// 59, the working folder removed, the program ended.
[[noreturn]] void AbortInstallation();

}  // namespace act
