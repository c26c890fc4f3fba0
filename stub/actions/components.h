// Components of the package registered through DllRegisterServer.
#pragma once

namespace act {

// One status text and one progress step per component.
void RegisterComponents();

}  // namespace act
