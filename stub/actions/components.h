// Components of the package registered through DllRegisterServer.
#pragma once

#include "engine/run_state.h"

namespace actions {

// One status text and one progress step per component.
void RegisterComponents(engine::RunState& run);

}  // namespace actions
