// Registry values and INI entries of the package.
#pragma once

namespace act {

// One record of the registry value list; one progress step each.
void WriteRegistryValues();
// One record of the INI entry list; one progress step each.
void WriteIniEntries();

}  // namespace act
