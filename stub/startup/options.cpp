#include "startup/options.h"

#include <windows.h>

#include "startup/state.h"
#include "text/command_line.h"
#include "text/text.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/shell.h"

#ifndef QB_VERSION
#define QB_VERSION "0.0.0"
#endif

namespace startup {

std::vector<std::string> Parameters() {
  return qb::SplitParameters(qb::SkipProgramName(GetCommandLineA()));
}

std::string LongPathForm(const std::string& typed) {
  return qb::LongPathForm(typed, toolkit::ShellDisplayName);
}

void StartLog() {
  for (const std::string& p : Parameters()) {
    if (qb::UpperAscii(p).compare(0, 5, "/LOG=") == 0 && toolkit::OpenLog(p.substr(5))) {
      toolkit::Log("Quillbox setup " QB_VERSION);
      toolkit::Log({"program: ", toolkit::ModulePath()});
      // The password stays out of the log.
      toolkit::Log({"command line: ", qb::MaskPassword(GetCommandLineA())});
      return;
    }
  }
}

namespace {

// The options that are a word alone: each turns on a switch of the run or
// turns off a setting.
const struct {
  const char* name;
  bool StartupState::*on;
  qb::Setting off;
} kSwitches[] = {
    {"/S", &StartupState::silent, {}},     {"/NC", &StartupState::noCancel, {}},
    {"/NP", &StartupState::noPrompts, {}}, {"/SP", nullptr, qb::kSpOption},
    {"/NR", nullptr, qb::kSideBitmap},
};

}  // namespace

void EvaluateOptions() {
  for (const std::string& p : Parameters()) {
    const std::string u = qb::UpperAscii(p);
    for (const auto& option : kSwitches) {
      if (u != option.name) continue;
      if (option.on) {
        Startup.*option.on = true;
      } else {
        Package.SetText(option.off, "0");
      }
    }
    if (u.compare(0, 3, "/P=") == 0) {
      Package.SetText(qb::kDefaultDestination, LongPathForm(p.substr(3)));
    }
    if (u.compare(0, 3, "/G=") == 0) Package.SetText(qb::kDefaultGroup, p.substr(3));
    if (u.compare(0, 3, "/L=") == 0) Startup.languageName = p.substr(3);
    if (u.compare(0, 4, "/PW=") == 0 &&
        qb::PasswordForm(p.substr(4)) == Package.Text(qb::kPassword)) {
      Package.SetText(qb::kPassword, "");
    }
  }
}

}  // namespace startup
