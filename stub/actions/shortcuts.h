// Shortcuts of the package.
#pragma once

namespace act {

// One progress step per shortcut record, made or passed over.
void CreateShortcuts();

}  // namespace act
