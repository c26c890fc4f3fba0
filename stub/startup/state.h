// Program-wide startup state: created by the startup routine, read by the
// wizard, the installation run and the completion step.
#pragma once

#include <windows.h>

#include <string>

#include "package/package.h"

namespace startup {

struct StartupState {
  std::string installerTitle;
  bool silent = false;
  bool noCancel = false;
  bool noPrompts = false;  // /NP: a silent run answers every question itself
  unsigned char languageIndex = 0;
  std::string languageName;
  bool languageConfirmed = false;
  unsigned char licenseFile = 0;
  unsigned char readmeFile = 0;
  HBITMAP headerBitmap = nullptr;
  HBITMAP sideBitmap = nullptr;
  HBITMAP destinationIcon = nullptr;
  HBITMAP tasksIcon = nullptr;
  HBITMAP passwordIcon = nullptr;
  HANDLE instanceMutex = nullptr;
  uint64_t fileCabinetOffset = 0;  // from the package trailer
  uint64_t packageEnd = 0;         // where the trailer ends (a signature may follow)
  // A /P= or /G= option that cannot be used as given (wildcards, characters
  // the system's code page cannot hold, not a safe path): the installation
  // ends before anything is installed.
  std::string unusableOption;
};

// The package's tables, read once at startup and kept until the end.
extern qb::Package Package;
extern StartupState Startup;

}  // namespace startup
