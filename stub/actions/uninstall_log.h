// The uninstall log and the uninstaller trailer.
#pragma once

namespace act {

void WriteUninstallLog();

}  // namespace act
