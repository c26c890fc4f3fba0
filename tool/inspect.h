#pragma once

#include <string>

namespace tool {

// Prints the package of an installer; returns the exit code.
int Inspect(const std::string& path);

}  // namespace tool
