#include "startup/options.h"

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "startup/state.h"
#include "text/text.h"

namespace st {

std::vector<std::string> Parameters() {
  return qb::SplitParameters(qb::SkipProgramName(GetCommandLineA()));
}

std::string LongPathForm(const std::string& typed) {
  std::string result;
  size_t start = 0;
  while (start < typed.size()) {
    size_t end = typed.find('\\', start);
    if (end == std::string::npos) end = typed.size();
    const std::string component = typed.substr(start, end - start);
    start = end + 1;
    if (!result.empty()) result += '\\';
    if (result.empty() && component.size() == 2 && component[1] == ':') {
      result = component;
      continue;
    }
    SHFILEINFOA info = {};
    const std::string query = result + component;
    if (SHGetFileInfoA(query.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME) &&
        info.szDisplayName[0]) {
      result += info.szDisplayName;
    } else {
      result += component;
    }
  }
  if (result.find('.') == std::string::npos) {
    const size_t dot = typed.rfind('.');
    if (dot != std::string::npos) result += typed.substr(dot);
  }
  return result;
}

void EvaluateOptions() {
  for (const std::string& p : Parameters()) {
    const std::string u = qb::UpperAscii(p);
    if (u == "/S") Startup.silent = true;
    if (u == "/NC") Startup.noCancel = true;
    if (u == "/SP") Package.SetText(qb::kSpOption, "0");
    if (u == "/NR") Package.SetText(qb::kSideBitmap, "0");
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

}  // namespace st
