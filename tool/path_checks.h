// The checks the tool makes on the paths of a manifest's files before it
// builds. The installer skips every file whose expanded destination the
// safe-name rule (common/cab/safe_name.h) refuses, so a manifest whose files
// could never be placed is refused here, with the reason, instead.
//
// Paths are manifest texts with their variables translated into the
// installer's tokens ("@$&%04" for {app}); messages show them readable again.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "text/expand.h"

namespace tool {

// Why the installer could never write a file at this full path, or "" when
// the tool sees nothing in the way. The path begins with a folder variable
// ({app}, {pf}, ...), a registry variable, a drive ("C:\") or a share
// ("\\server\share\"); every part between separators passes the safe-name
// rule, a variable inside a part counting as a letter; and no folder variable
// follows the beginning (its drive's colon would land inside the path). With
// folder set, the path is a folder: the last part is a folder name too, one
// trailing backslash is allowed (the installer drops it from a variable's
// value), and a drive alone ("C:\") will do.
std::string FullPathProblem(const std::string& path,
                            const std::vector<std::string>& registryVariables, bool folder);

// Why a translated [app] destination cannot be the application's folder, or
// "": the folder rules of FullPathProblem, and no {app} in it (it is {app}),
// also not through the default of a registry variable it uses.
std::string AppDestinationProblem(const std::string& destination,
                                  const std::vector<std::string>& registryVariables,
                                  const std::vector<std::string>& registryDefaults);

// A typical machine, for measuring paths: each variable has its typical
// value (TypicalValue in variables.h), {app} the [app] destination, a
// registry variable its default, and a short form is made as Windows would
// make it for a folder of that name.
class TypicalMachine : public qb::VariableSource {
 public:
  TypicalMachine(std::string appDestination, std::vector<std::string> registryDefaults)
      : appDestination_(std::move(appDestination)),
        registryDefaults_(std::move(registryDefaults)) {}
  std::string Value(int number) override;
  std::string ShortForm(const std::string& path) override;
  std::string Expand(const std::string& text) { return qb::ExpandTokens(text, *this); }

 private:
  std::string appDestination_;
  std::vector<std::string> registryDefaults_;
  bool expandingApp_ = false;
};

// Why a file's full path would be too long for the installer, or "": on the
// typical machine it would be longer than the installer's limit of
// qb::kMaxPathLength (259) characters.
std::string LengthProblem(const std::string& path, TypicalMachine& machine,
                          const std::vector<std::string>& registryVariables);

// What Windows sees of a path when it looks for the file: letters in one
// case (ASCII), "/" as "\". Two paths with the same key are one file.
std::string SameFileKey(const std::string& path);

// The application's name as a folder name for the default destination: the
// characters no name may hold left out, trailing dots and blanks dropped;
// "Application" when what is left is no name the installer can use.
std::string FolderNameFor(const std::string& name);

// A path as messages show it: its variables readable, a long one shortened in
// the middle.
std::string ShownPath(const std::string& path, const std::vector<std::string>& registryVariables);

}  // namespace tool
