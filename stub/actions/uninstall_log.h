// The uninstall log and the uninstaller trailer.
#pragma once

#include "engine/run_state.h"

namespace actions {

void WriteUninstallLog(engine::RunState& run);

}  // namespace actions
