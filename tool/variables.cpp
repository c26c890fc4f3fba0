#include "variables.h"

#include <cstdio>

namespace tool {

namespace {

// Each variable with what it typically stands for when a 32-bit installer
// runs on 64-bit Windows for a user called "User" (see TypicalValue).
struct Variable {
  const char* name;
  int number;
  const char* typical;
};

const Variable kVariables[] = {
    {"pf", 1, "C:\\Program Files (x86)"},
    {"win", 2, "C:\\Windows"},
    {"sys", 3, "C:\\Windows\\system32"},
    {"app", 4, ""},  // the [app] destination
    {"temp", 5, "C:\\Users\\User\\AppData\\Local\\Temp"},
    {"desktop", 6, "C:\\Users\\User\\Desktop"},
    {"quicklaunch", 7,
     "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch"},
    {"programs", 8, "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
    {"startmenu", 9, "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
    {"documents", 10, "C:\\Users\\User\\Documents"},
    {"favorites", 11, "C:\\Users\\User\\Favorites"},
    {"sendto", 12, "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
    {"profile", 13, "C:\\Users\\User"},
    {"startup", 14,
     "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
    {"fonts", 15, "C:\\Windows\\Fonts"},
    {"cf", 16, "C:\\Program Files (x86)\\Common Files"},
    {"sysdrive", 17, "C:"},
    {"src", 18, "C:\\Users\\User\\Downloads"},
    {"username", 20, "User"},
    {"language", 21, "English"},
    {"computername", 22, "DESKTOP-1234567"},
    {"localappdata", 23, "C:\\Users\\User\\AppData\\Local"},
    {"userpf", 24, "C:\\Users\\User\\AppData\\Local\\Programs"},
    {"pf32", 25, "C:\\Program Files (x86)"},
    {"pf64", 36, "C:\\Program Files"},
    {"sys32", 37, "C:\\Windows\\SysWOW64"},
    {"sys64", 38, "C:\\Windows\\Sysnative"},
    {"appdata", 26, "C:\\Users\\User\\AppData\\Roaming"},
    {"commonappdata", 27, "C:\\ProgramData"},
    {"commondesktop", 28, "C:\\Users\\Public\\Desktop"},
    {"commondocuments", 29, "C:\\Users\\Public\\Documents"},
    {"commonfavorites", 30, "C:\\Users\\User\\Favorites"},
    {"commonprograms", 31, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {"commonstartmenu", 32, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu"},
    {"commonstartup", 33, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
    {"templates", 34, "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Templates"},
    {"commontemplates", 35, "C:\\ProgramData\\Microsoft\\Windows\\Templates"},
};

constexpr int kVolumeNumber = 19;
constexpr int kShortOffset = 40;
constexpr int kRegistryOffset = 80;
constexpr int kMaxRegistryVariables = 19;
const std::string kMarker = "@$&%";

std::string Token(int number) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", number);
  return kMarker + buffer;
}

}  // namespace

std::string TypicalValue(int number) {
  const int base =
      number > kShortOffset && number <= kRegistryOffset ? number - kShortOffset : number;
  for (const auto& v : kVariables) {
    if (v.number == base) return v.typical;
  }
  return std::string();
}

bool IsFolderVariable(int number) {
  const int base =
      number > kShortOffset && number <= kRegistryOffset ? number - kShortOffset : number;
  if (base == 4) return true;  // {app}
  const std::string typical = TypicalValue(base);
  return typical.size() >= 2 && typical[1] == ':';
}

std::vector<std::string> VariableNames() {
  std::vector<std::string> names;
  for (const auto& v : kVariables) names.push_back(v.name);
  return names;
}

Translation TranslateVariables(const std::string& text,
                               const std::vector<std::string>& registryVariables,
                               bool allowVolume) {
  Translation t;
  if (text.find(kMarker) != std::string::npos) {
    t.error = "the text contains \"@$&%\", which the installer would read as a variable";
    return t;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '}') {
      if (i + 1 < text.size() && text[i + 1] == '}') {
        t.text += '}';
        ++i;
        continue;
      }
      t.error = "a lone \"}\" (write \"}}\" for a literal brace)";
      return t;
    }
    if (c != '{') {
      t.text += c;
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '{') {
      t.text += '{';
      ++i;
      continue;
    }
    const size_t end = text.find('}', i);
    if (end == std::string::npos) {
      t.error = "a \"{\" without its \"}\" (write \"{{\" for a literal brace)";
      return t;
    }
    std::string name = text.substr(i + 1, end - i - 1);
    i = end;
    if (name.rfind("reg:", 0) == 0) {
      const std::string reg = name.substr(4);
      int found = 0;
      for (size_t k = 0; k < registryVariables.size(); ++k) {
        if (registryVariables[k] == reg) found = static_cast<int>(k) + 1;
      }
      if (!found) {
        t.error = "unknown registry variable {" + name + "} (declare it in [[registry_variables]])";
        return t;
      }
      if (found > kMaxRegistryVariables) {
        t.error = "only the first 19 registry variables can be used in texts: {" + name + "}";
        return t;
      }
      t.text += Token(kRegistryOffset + found);
      continue;
    }
    if (name == "volume") {
      if (!allowVolume) {
        t.error = "{volume} is only allowed in the volume pattern";
        return t;
      }
      t.text += Token(kVolumeNumber);
      continue;
    }
    bool shortForm = false;
    const size_t colon = name.find(':');
    if (colon != std::string::npos) {
      if (name.substr(colon + 1) != "short") {
        t.error = "unknown variable form {" + name + "} (only :short is known)";
        return t;
      }
      shortForm = true;
      name = name.substr(0, colon);
    }
    int number = 0;
    for (const auto& v : kVariables) {
      if (name == v.name) number = v.number;
    }
    if (!number) {
      std::string known;
      for (const auto& v : kVariables) known += std::string(known.empty() ? "" : ", ") + v.name;
      t.error =
          "unknown variable {" + name + "}; known are " + known + ", reg:NAME and the :short forms";
      return t;
    }
    t.text += Token(shortForm ? number + kShortOffset : number);
  }
  return t;
}

std::string ReadableVariables(const std::string& stored,
                              const std::vector<std::string>& registryVariables) {
  std::string out;
  for (size_t i = 0; i < stored.size(); ++i) {
    if (stored.compare(i, kMarker.size(), kMarker) == 0 && i + 6 <= stored.size()) {
      const std::string digits = stored.substr(i + 4, 2);
      if (digits[0] >= '0' && digits[0] <= '9' && digits[1] >= '0' && digits[1] <= '9') {
        const int n = std::stoi(digits);
        std::string name;
        const int base = n > kShortOffset && n <= kRegistryOffset ? n - kShortOffset : n;
        for (const auto& v : kVariables) {
          if (v.number == base) name = v.name;
        }
        if (n == kVolumeNumber) name = "volume";
        if (n > kRegistryOffset &&
            n - kRegistryOffset <= static_cast<int>(registryVariables.size())) {
          name = "reg:" + registryVariables[n - kRegistryOffset - 1];
        } else if (!name.empty() && base != n) {
          name += ":short";
        }
        out += name.empty() ? "{#" + digits + "}" : "{" + name + "}";
        i += 5;
        continue;
      }
    }
    if (stored[i] == '{' || stored[i] == '}') out += stored[i];
    out += stored[i];
  }
  return out;
}

}  // namespace tool
