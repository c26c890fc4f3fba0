// The overwrite confirmation dialog: a file of the package meets an existing
// file, and the user chooses between the two.
#pragma once

#include <string>

#include "engine/installation_host.h"
#include "package/package.h"

namespace wizard {

using engine::kKeep;
using engine::kKeepAll;
using engine::kOverwrite;
using engine::kOverwriteAll;

// Shows the dialog modally and returns the answer; closing it or Escape
// keeps the file (3000).
int AskOverwrite(const qb::Package& pkg, const std::string& path, const std::string& existingLine,
                 const std::string& newLine);

}  // namespace wizard
