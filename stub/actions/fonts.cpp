#include "actions/fonts.h"

#include "engine/run.h"
#include "startup/state.h"

namespace act {

namespace {
// Entering the font in the registry and loading it come with the
// installation actions.
void InstallFont(size_t) {}
}  // namespace

void InstallFonts() {
  const size_t count = st::Package.Records(qb::List::kFonts).Count();
  for (size_t r = 0; r < count; ++r) {
    InstallFont(r);
    en::ProgressStep();
  }
}

}  // namespace act
