#include "path_checks.h"

#include <cctype>
#include <cstdio>

#include "cab/safe_name.h"
#include "text/text.h"
#include "variables.h"

namespace tool {

namespace {

const std::string kMarker = qb::kVariableMarker;
constexpr size_t kTokenSize = 6;  // the marker and two digits
constexpr int kApp = 4;
constexpr int kAppShort = 44;
constexpr int kFirstRegistryVariable = 81;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsTokenAt(const std::string& text, size_t at) {
  return text.compare(at, kMarker.size(), kMarker) == 0 && at + kTokenSize <= text.size();
}

int TokenAt(const std::string& text, size_t at) {
  return qb::TokenNumber(text.substr(at + kMarker.size(), 2));
}

// A part of a path as the safe-name rule sees it once the variables in it
// have their values: each variable counts as one letter.
std::string WithVariablesAsLetters(const std::string& part) {
  std::string out;
  for (size_t i = 0; i < part.size();) {
    if (IsTokenAt(part, i)) {
      out += 'x';
      i += kTokenSize;
    } else {
      out += part[i++];
    }
  }
  return out;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string ShownCharacter(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u < 32 || u == 127) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "the control character 0x%02X", u);
    return buffer;
  }
  return std::string("'") + c + "'";
}

std::string PartProblem(const std::string& part, bool isFolder,
                        const std::vector<std::string>& registryVariables) {
  const std::string checked = WithVariablesAsLetters(part);
  const std::string what = isFolder ? "the folder name " : "the file name ";
  const std::string shown = Quoted(ReadableVariables(part, registryVariables));
  switch (qb::PathComponentProblem(checked)) {
    case qb::ComponentProblem::kNone:
      return std::string();
    case qb::ComponentProblem::kEmpty:
      return isFolder ? "it has an empty folder name (two separators in a row)"
                      : "its file name is empty";
    case qb::ComponentProblem::kDotsOnly:
      return what + shown + " is made of dots only";
    case qb::ComponentProblem::kTrailingDotOrBlank:
      return what + shown + " ends in a dot or a blank, which Windows drops";
    case qb::ComponentProblem::kForbiddenCharacter:
      for (char c : checked) {
        if (qb::IsForbiddenNameCharacter(c)) {
          return what + shown + " holds " + ShownCharacter(c) +
                 "; names may not hold : * ? < > | \" or control characters";
        }
      }
      break;
    case qb::ComponentProblem::kDeviceName:
      return what + shown +
             " is a reserved device name (CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9, "
             "CONIN$, CONOUT$, in any case, with or without an extension)";
  }
  return what + shown + " is refused by the installer's safe-name rule";
}

// Whether the text, or the default of a registry variable in it, uses {app}.
bool UsesApp(const std::string& text, const std::vector<std::string>& registryDefaults, int depth) {
  for (size_t at = text.find(kMarker); at != std::string::npos; at = text.find(kMarker, at + 1)) {
    if (!IsTokenAt(text, at)) break;
    const int n = TokenAt(text, at);
    if (n == kApp || n == kAppShort) return true;
    const size_t reg = static_cast<size_t>(n - kFirstRegistryVariable);
    if (n >= kFirstRegistryVariable && reg < registryDefaults.size() && depth < 20 &&
        UsesApp(registryDefaults[reg], registryDefaults, depth + 1)) {
      return true;
    }
  }
  return false;
}

// Whether a name fits the 8.3 form as it is.
bool Fits83(const std::string& name) {
  if (name.empty() || name.find(' ') != std::string::npos) return false;
  const size_t dot = name.find('.');
  if (dot == std::string::npos) return name.size() <= 8;
  return name.find('.', dot + 1) == std::string::npos && dot >= 1 && dot <= 8 &&
         name.size() - dot - 1 <= 3;
}

}  // namespace

std::string FullPathProblem(const std::string& path,
                            const std::vector<std::string>& registryVariables, bool folder) {
  std::string p = path;
  if (folder && p.size() > 1 && p.back() == '\\') p.pop_back();
  const std::string kBegin =
      "it must begin with a folder variable such as {app} or {pf}, or a drive such as C:\\";
  size_t from = 0;  // where the parts begin
  size_t minimumParts = 1;
  if (IsTokenAt(p, 0)) {
    // The part the variable begins is checked with the variable as a letter.
    const int n = TokenAt(p, 0);
    if (n < kFirstRegistryVariable && !IsFolderVariable(n)) {
      return kBegin + " (" + ReadableVariables(p.substr(0, kTokenSize), registryVariables) +
             " is a name, not a folder)";
    }
  } else if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
    if (p.size() == 2) return folder ? std::string() : "it names a drive, not a file";
    if (!IsSeparator(p[2])) return "a drive needs a backslash after its colon, as in C:\\";
    if (folder && p.size() == 3) return std::string();
    from = 3;
  } else if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
    from = 2;
    minimumParts = folder ? 2 : 3;
  } else {
    return kBegin;
  }
  for (size_t at = p.find(kMarker, 1); at != std::string::npos; at = p.find(kMarker, at + 1)) {
    if (!IsTokenAt(p, at)) break;
    const int n = TokenAt(p, at);
    if (IsFolderVariable(n)) {
      const std::string typical = TypicalValue(n);
      return ReadableVariables(p.substr(at, kTokenSize), registryVariables) +
             " stands for a whole path" +
             (typical.empty() ? std::string() : " such as " + Quoted(typical)) +
             ", so it can only begin a path";
    }
  }
  std::vector<std::string> parts;
  size_t start = from;
  for (size_t i = from; i <= p.size(); ++i) {
    if (i == p.size() || IsSeparator(p[i])) {
      parts.push_back(p.substr(start, i - start));
      start = i + 1;
    }
  }
  if (parts.size() < minimumParts) {
    return "a share needs a server and a share name, as in \\\\server\\share\\";
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string problem =
        PartProblem(parts[i], folder || i + 1 < parts.size(), registryVariables);
    if (!problem.empty()) return problem;
  }
  return std::string();
}

std::string AppDestinationProblem(const std::string& destination,
                                  const std::vector<std::string>& registryVariables,
                                  const std::vector<std::string>& registryDefaults) {
  for (size_t at = destination.find(kMarker); at != std::string::npos;
       at = destination.find(kMarker, at + 1)) {
    if (!IsTokenAt(destination, at)) break;
    const int n = TokenAt(destination, at);
    const std::string name =
        ReadableVariables(destination.substr(at, kTokenSize), registryVariables);
    if (n == kApp || n == kAppShort) {
      return name + " stands for this destination itself";
    }
    if (UsesApp(destination.substr(at, kTokenSize), registryDefaults, 0)) {
      return name +
             " falls back to a default that uses {app}, which stands for this destination "
             "itself";
    }
  }
  return FullPathProblem(destination, registryVariables, true);
}

std::string TypicalMachine::Value(int number) {
  if (number == kApp) {
    // Expanded here, as the installer's {app} is, so that its short form can
    // be made; a destination that leads back to {app} stops.
    if (expandingApp_) return std::string();
    expandingApp_ = true;
    std::string value = Expand(appDestination_);
    expandingApp_ = false;
    return value;
  }
  const size_t reg = static_cast<size_t>(number - kFirstRegistryVariable);
  if (number >= kFirstRegistryVariable && reg < registryDefaults_.size()) {
    return registryDefaults_[reg];
  }
  return TypicalValue(number);
}

std::string TypicalMachine::ShortForm(const std::string& path) {
  std::string out;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '\\') continue;
    std::string part = path.substr(start, i - start);
    if (start > 0 && !Fits83(part)) {
      // Six characters of the name, "~1", and three of the extension.
      const size_t dot = part.rfind('.');
      const bool hasExtension = dot != std::string::npos && dot > 0;
      std::string base, extension;
      for (char c : part.substr(0, hasExtension ? dot : part.size())) {
        if (c != ' ' && c != '.' && base.size() < 6) base += c;
      }
      if (hasExtension) {
        for (char c : part.substr(dot + 1)) {
          if (c != ' ' && extension.size() < 3) extension += c;
        }
      }
      part = qb::UpperAscii(base + "~1" + (extension.empty() ? "" : "." + extension));
    }
    out += (start > 0 ? "\\" : "") + part;
    start = i + 1;
  }
  return out;
}

std::string LengthProblem(const std::string& path, TypicalMachine& machine,
                          const std::vector<std::string>& registryVariables) {
  const std::string expanded = machine.Expand(path);
  if (expanded.size() <= qb::kMaxPathLength) return std::string();
  std::string with;
  if (IsTokenAt(path, 0)) {
    with = ", where " + ReadableVariables(path.substr(0, kTokenSize), registryVariables) + " is " +
           Quoted(machine.Expand(qb::VariableValue(machine, TokenAt(path, 0))));
  }
  return "it would be " + std::to_string(expanded.size()) +
         " characters long on a typical machine" + with +
         "; the installer writes paths of at most " + std::to_string(qb::kMaxPathLength) +
         " characters (see \"What the tool refuses\" in the README)";
}

std::string SameFileKey(const std::string& path) {
  std::string key = qb::UpperAscii(path);
  for (char& c : key) {
    if (c == '/') c = '\\';
  }
  return key;
}

std::string FolderNameFor(const std::string& name) {
  std::string folder;
  for (char c : name) {
    if (!qb::IsForbiddenNameCharacter(c)) folder += c;
  }
  while (!folder.empty() && (folder.back() == '.' || folder.back() == ' ')) folder.pop_back();
  return qb::IsSafePathComponent(folder) ? folder : "Application";
}

std::string ShownPath(const std::string& path, const std::vector<std::string>& registryVariables) {
  const std::string readable = ReadableVariables(path, registryVariables);
  if (readable.size() <= 120) return Quoted(readable);
  return Quoted(readable.substr(0, 57) + "..." + readable.substr(readable.size() - 60));
}

}  // namespace tool
