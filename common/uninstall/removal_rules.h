// The rules the uninstaller follows that need no system to decide: which
// folders and registry keys it tries to remove and in what order, how it
// reads its command line, and what its exit codes mean.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qb {

// Exit codes of the uninstaller.
enum UninstallExit : int {
  kUninstallDone = 0,
  kUninstallNoLog = 1,       // the log is missing, unreadable or cut short
  kUninstallCancelled = 2,   // the user said no or cancelled
  kUninstallLeftBehind = 3,  // something could be neither removed nor scheduled
  kUninstallRestart = 3010,  // files in use are removed when Windows restarts
};

// Whether two paths name the same file: letters compared without case, "/"
// and "\" alike, trailing separators ignored.
bool SamePath(const std::string& a, const std::string& b);

// The folders to try, deepest first (then in the order given), each once:
// "/" becomes "\", trailing separators go, and anything that is not a safe
// full folder path below a drive or share root is left out.
std::vector<std::string> FoldersDeepestFirst(const std::vector<std::string>& folders);

// The registry keys to try after a value of key is removed, each only when
// it is then empty: the key itself, then its parents as long as they lie
// at least two levels below the root ("Software\Vendor\App" gives itself
// and "Software\Vendor", never "Software"). The system's own trees
// (Software\Microsoft, Software\Classes, Software\Policies,
// Software\Wow6432Node, System) give the key alone: their empty keys are
// the system's. Separators at either end are dropped; an empty key gives
// nothing.
std::vector<std::string> RegistryKeysToTry(const std::string& key);

// The folders that hold path and lie inside root, deepest first; root
// itself is not one of them. Empty when path is not inside root.
std::vector<std::string> FoldersInside(const std::string& path, const std::string& root);

struct UninstallerOptions {
  bool silent = false;      // /S
  std::string original;     // /ORIGINAL=path: the file this copy was made from
  uint64_t parent = 0;      // /PARENT=n: handle of the process that started it
  uint64_t resultPipe = 0;  // /RESULT=n: handle the exit code is written to
};

// Reads the parameters (the command line after the program name). Options
// are case-insensitive; anything else is passed over.
UninstallerOptions ParseUninstallerOptions(const std::string& parameters);

}  // namespace qb
