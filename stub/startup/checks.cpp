#include "startup/checks.h"

namespace startup {

// The checks are not built yet: every machine passes them for now.
void CheckWindowsVersion() {}
void CheckAdministrator() {}
void CheckDotNet() {}
void CloseRunningApplication() {}

}  // namespace startup
