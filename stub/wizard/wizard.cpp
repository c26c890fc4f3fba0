#include "wizard/wizard.h"

#include "startup/ending.h"
#include "startup/state.h"
#include "startup/workfolder.h"

namespace wz {

void CreateWizard() {
  // The pages and the installation run are not built yet. A silent start has
  // nothing more to do; a visible start keeps the application window until
  // the user closes it.
  if (st::Startup.silent) {
    st::RemoveWorkFolder();
    st::EndProgram(qb::ExitReason::kInstalled);
  }
}

}  // namespace wz
