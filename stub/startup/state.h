// The startup code's names for the one session of this program, which the
// startup routine fills and then hands to the wizard.
#pragma once

#include "package/exit_codes.h"
#include "session/ending.h"
#include "session/session.h"
#include "session/workfolder.h"

namespace startup {

extern session::Session TheSession;
// Its parts, as the startup routine reads and fills them.
extern qb::Package& Package;
extern session::SessionState& Startup;
using StartupState = session::SessionState;

using session::CreateWorkFolder;
using session::LeaveWorkFolder;
using session::SupportFile;
inline void RemoveWorkFolder() { session::RemoveWorkFolder(TheSession); }
[[noreturn]] inline void EndProgram(qb::ExitReason reason) {
  session::EndProgram(TheSession, reason);
}

}  // namespace startup
