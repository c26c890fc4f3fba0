// The uninstall log and the uninstaller trailer.
#pragma once

#include "engine/run_state.h"

namespace act {

void WriteUninstallLog(en::RunState& run);

}  // namespace act
