#pragma once

#include <cstdio>
#include <string>

namespace tool {

// Prints the package of an installer to out (errors go to err); returns the
// exit code. Every text taken from the package is shown with its control
// characters escaped, and no figure derived from it can overflow.
int Inspect(const std::string& path, std::FILE* out = stdout, std::FILE* err = stderr);

}  // namespace tool
