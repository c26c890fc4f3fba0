// What the installation run needs of whoever shows it to the user: the
// wizard implements this, and the engine and the actions report through it
// without knowing the wizard.
#pragma once

#include <string>

namespace engine {

// The answers to an existing file, and the remembered answer of a run.
enum OverwriteAnswer : int {
  kOverwrite = 1000,
  kOverwriteAll = 2000,
  kKeep = 3000,
  kKeepAll = 4000,
  kAsk = 5000,
};

class InstallationHost {
 public:
  // The status line.
  virtual void ShowStatus(const std::string& text) = 0;
  // One unit of work done: the progress bar moves on and pending window
  // messages are processed.
  virtual void ProgressStep() = 0;
  // A file of the package meets an existing file: one of kOverwrite,
  // kOverwriteAll, kKeep, kKeepAll.
  virtual OverwriteAnswer AskOverwrite(const std::string& path, const std::string& existingLine,
                                       const std::string& packedLine) = 0;
  // Volume file number volume is missing: true to look for it again, false
  // to give up the installation.
  virtual bool AskForVolume(int volume) = 0;
  // A destination cannot be created: true to skip the file and go on, false
  // to give up the installation.
  virtual bool AskAfterCreateError(const std::string& path) = 0;
  // Something went wrong that cannot be skipped (a full disk, damaged
  // setup files): the user is told what, before the installation is given up.
  virtual void ReportFailure(const std::string& text) = 0;
  // The installation is given up: the user is told so.
  virtual void ReportAbandoned() = 0;

 protected:
  ~InstallationHost() = default;
};

}  // namespace engine
