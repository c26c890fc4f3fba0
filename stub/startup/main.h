// The startup routine: everything that happens before the wizard exists.
#pragma once

namespace startup {

// Runs once, from the creation of the background window. Either it returns
// with all startup state set, or it ends the program.
void StartupRoutine();

}  // namespace startup
