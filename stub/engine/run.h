// The installation run: every stage, in its fixed order.
#pragma once

#include <string>
#include <vector>

namespace en {

// Performs the whole run on the wizard. In silent mode it ends the program;
// otherwise the wizard moves on to the page after the Progress page.
void InstallationRun();

// Paths to remove at uninstall, in order; filled by file placement and the
// shortcuts, written out by the uninstall log.
extern std::vector<std::string> InstalledFiles;

// Shows a status text in the wizard's status line.
void Status(const std::string& text);
void ProgressStep();

}  // namespace en
