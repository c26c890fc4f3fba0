// The setup session: the package's tables and what the startup routine
// settled about this run of the installer. The startup routine makes the one
// session and hands it to the wizard, which hands it to the installation run
// and through it to the engine and the actions.
#pragma once

#include <windows.h>

#include <string>

#include "package/package.h"
#include "toolkit/drawing.h"

namespace session {

struct SessionState {
  std::string installerTitle;
  bool silent = false;
  bool noCancel = false;
  bool noPrompts = false;  // /NP: a silent run answers every question itself
  unsigned char languageIndex = 0;
  std::string languageName;
  bool languageConfirmed = false;
  unsigned char licenseFile = 0;
  unsigned char readmeFile = 0;
  // The wizard's pictures, each with its forms for larger scales.
  toolkit::Picture headerBitmap;
  toolkit::Picture sideBitmap;
  toolkit::Picture destinationIcon;
  toolkit::Picture tasksIcon;
  toolkit::Picture passwordIcon;
  HANDLE instanceMutex = nullptr;
  HWND background = nullptr;       // the background window, shown or not
  uint64_t fileCabinetOffset = 0;  // from the package trailer
  uint64_t packageEnd = 0;         // where the trailer ends (a signature may follow)
  // A /P= or /G= option that cannot be used as given (wildcards, characters
  // the system's code page cannot hold, not a safe path): the installation
  // ends before anything is installed.
  std::string unusableOption;
  // A 64-bit application on 64-bit Windows: the native Program Files and
  // system folders, and the 64-bit view of the registry.
  bool native64 = false;
};

struct Session {
  // The package's tables, read once at startup and kept until the end; only
  // the command-line options change a few settings.
  qb::Package package;
  SessionState state;
};

}  // namespace session
