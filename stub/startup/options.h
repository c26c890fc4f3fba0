// Command-line options: /S, /NC, /SP, /NR, /P=, /G=, /L=, /PW=, /LOG=, /NP.
#pragma once

#include <string>
#include <vector>

namespace startup {

// The parameters after the program name, split the installer's way.
std::vector<std::string> Parameters();
// Applies every option to the startup state and the settings in memory.
void EvaluateOptions();
// /LOG=file: starts the installation log, before anything else happens.
void StartLog();
// The long-path form of a folder typed on the command line: short (8.3)
// components become the names the shell shows.
std::string LongPathForm(const std::string& typed);

}  // namespace startup
