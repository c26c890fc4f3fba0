// Fonts of the package.
#pragma once

namespace act {

// One progress step per font.
void InstallFonts();

}  // namespace act
