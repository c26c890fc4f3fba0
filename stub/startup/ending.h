// Every way the program ends goes through here.
#pragma once

#include "package/exit_codes.h"

namespace startup {

// Runs the final clean-up and ends the process with the exit code of the
// reason. The working folder is the caller's business.
[[noreturn]] void EndProgram(qb::ExitReason reason);

}  // namespace startup
