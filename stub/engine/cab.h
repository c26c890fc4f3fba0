// The cabinet reader over cabinet.dll's FDI.
#pragma once

namespace en {

// Extracts support file 2 (the support cabinet) into the user's temporary
// folder, which places the support files in the working folder.
void ExtractSupportCabinet();

}  // namespace en
