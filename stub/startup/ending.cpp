#include "startup/ending.h"

#include <windows.h>

#include "startup/state.h"
#include "text/text.h"
#include "toolkit/log.h"

namespace startup {

void EndProgram(qb::ExitReason reason) {
  const int code = qb::ExitCodeFor(
      reason, Startup.silent,
      Package.settings.size() > qb::kRestartRequired && Package.Flag(qb::kRestartRequired));
  toolkit::Log({"exit code ", qb::Decimal(code)});
  ExitProcess(static_cast<UINT>(code));
}

}  // namespace startup
