#include "startup/options.h"

#include <windows.h>

#include <cstring>

#include "cab/safe_name.h"
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

// Whether the option with this prefix (as typed, in any case) holds only
// characters of the system's code page. The ANSI command line would turn any
// other character into "?" or into a look-alike ("\u0141" into "L"), which
// would name another folder.
bool FitsCodePage(const char* prefix) {
  const wchar_t* line = GetCommandLineW();
  const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line, -1, &utf8[0], size, nullptr, nullptr);
  utf8.resize(static_cast<size_t>(size - 1));
  const size_t length = std::strlen(prefix);
  for (const std::string& p : qb::SplitParameters(qb::SkipProgramName(utf8))) {
    if (qb::UpperAscii(p).compare(0, length, prefix) != 0) continue;
    const std::string value = p.substr(length);
    const int wide =
        MultiByteToWideChar(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), &text[0], wide);
    BOOL replaced = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), wide, nullptr, 0, nullptr,
                        &replaced);
    if (replaced) return false;
  }
  return true;
}

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
    // A destination or group is taken only as a safe path with no wildcards
    // (the long-path form would otherwise expand them), in the code page.
    if (u.compare(0, 3, "/P=") == 0) {
      if (!qb::IsSafeFolderPath(p.substr(3)) || !FitsCodePage("/P=")) {
        Startup.unusableOption = p;
      } else {
        Package.SetText(qb::kDefaultDestination, LongPathForm(p.substr(3)));
      }
    }
    if (u.compare(0, 3, "/G=") == 0) {
      if ((!p.substr(3).empty() && qb::NormalisedCabinetName(p.substr(3)).empty()) ||
          !FitsCodePage("/G=")) {
        Startup.unusableOption = p;
      } else {
        Package.SetText(qb::kDefaultGroup, p.substr(3));
      }
    }
    if (u.compare(0, 3, "/L=") == 0) Startup.languageName = p.substr(3);
    if (u.compare(0, 4, "/PW=") == 0 &&
        qb::PasswordForm(p.substr(4)) == Package.Text(qb::kPassword)) {
      Package.SetText(qb::kPassword, "");
    }
  }
}

}  // namespace startup
