// The overwrite confirmation dialog: a file of the package meets an existing
// file, and the user chooses between the two.
#pragma once

#include <string>

namespace wz {

enum OverwriteAnswer : int {
  kOverwrite = 1000,
  kOverwriteAll = 2000,
  kKeep = 3000,
  kKeepAll = 4000,
  kAsk = 5000,
};

// Shows the dialog modally and returns the answer; closing it or Escape
// keeps the file (3000).
int AskOverwrite(const std::string& path, const std::string& existingLine,
                 const std::string& newLine);

}  // namespace wz
