// Every way the program ends goes through here.
#pragma once

#include "package/exit_codes.h"
#include "session/session.h"

namespace session {

// Runs the final clean-up and ends the process with the exit code of the
// reason. The working folder is the caller's business.
[[noreturn]] void EndProgram(const Session& session, qb::ExitReason reason);

}  // namespace session
