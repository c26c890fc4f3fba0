// Shortcuts of the package.
#pragma once

#include "engine/run_state.h"

namespace act {

// One progress step per shortcut record, made or passed over.
void CreateShortcuts(en::RunState& run);

}  // namespace act
