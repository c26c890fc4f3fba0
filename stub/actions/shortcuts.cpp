#include "actions/shortcuts.h"

#include "engine/run.h"
#include "startup/state.h"

namespace act {

namespace {
// Saving the shell link comes with the installation actions.
void CreateShortcut(size_t) {}
}  // namespace

void CreateShortcuts() {
  const size_t count = st::Package.Records(qb::List::kShortcuts).Count();
  for (size_t r = 0; r < count; ++r) {
    CreateShortcut(r);
    en::ProgressStep();
  }
}

}  // namespace act
