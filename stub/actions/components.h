// Components of the package registered through DllRegisterServer.
#pragma once

#include "engine/run_state.h"

namespace act {

// One status text and one progress step per component.
void RegisterComponents(en::RunState& run);

}  // namespace act
