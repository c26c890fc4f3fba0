#include "actions/uninstall_log.h"

namespace act {

// The log and the trailer come with the installation actions.
void WriteUninstallLog() {}

}  // namespace act
