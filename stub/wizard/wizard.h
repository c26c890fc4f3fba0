// The wizard window: its pages, controls and page flow.
#pragma once

namespace wz {

// Creates the wizard, owned by the application object, builds the page
// sequence and starts the page flow (in silent mode: the installation run).
void CreateWizard();

}  // namespace wz
