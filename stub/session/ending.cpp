#include "session/ending.h"

#include <windows.h>

#include "text/text.h"
#include "toolkit/log.h"

namespace session {

void EndProgram(const Session& session, qb::ExitReason reason) {
  const qb::Package& package = session.package;
  const int code = qb::ExitCodeFor(
      reason, session.state.silent,
      package.settings.size() > qb::kRestartRequired && package.Flag(qb::kRestartRequired));
  toolkit::Log({"exit code ", qb::Decimal(code)});
  ExitProcess(static_cast<UINT>(code));
}

}  // namespace session
