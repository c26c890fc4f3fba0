#include "actions/registry_ini.h"

#include "engine/run.h"
#include "startup/state.h"

namespace act {

namespace {

// Writing the values and entries themselves comes with the installation
// actions; the stages already make their progress steps.
void WriteRegistryValue(size_t) {}
void WriteIniEntry(size_t) {}

}  // namespace

void WriteRegistryValues() {
  const size_t count = st::Package.Records(qb::List::kRegistryValues).Count();
  for (size_t r = 0; r < count; ++r) {
    WriteRegistryValue(r);
    en::ProgressStep();
  }
}

void WriteIniEntries() {
  const size_t count = st::Package.Records(qb::List::kIniEntries).Count();
  for (size_t r = 0; r < count; ++r) {
    WriteIniEntry(r);
    en::ProgressStep();
  }
}

}  // namespace act
