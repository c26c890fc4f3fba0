// The ways the installer ends once the installation has begun.
#pragma once

#include "engine/run_state.h"
#include "session/session.h"

namespace actions {

// What the Finish page's check boxes and radio buttons ask for.
struct FinishChoices {
  bool runProgram = false;
  bool viewReadme = false;
  bool openThirdItem = false;
  bool restartNow = false;
};

// The last entry of the page sequence, after every window is hidden: starts
// what the Finish page asks for, restarts Windows when asked, and ends the
// program.
[[noreturn]] void CompletionStep(const session::Session& session, const FinishChoices& choices);
// After a stage gave the installation up (a file error or a missing volume
// that the user cancelled): the user is told (message 59), the extraction in
// progress is discarded, the working folder removed and the program ended.
[[noreturn]] void AbandonInstallation(engine::RunState& run);

}  // namespace actions
