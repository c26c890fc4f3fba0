#include "text/command_line.h"

#include "text/text.h"

namespace qb {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// The end of the parameter starting at begin, split the way SplitParameters
// splits: a quoted part runs to the next quote or the end of the line.
size_t ParameterEnd(const std::string& line, size_t begin) {
  size_t i = begin;
  while (i < line.size() && !IsBlank(line[i])) {
    if (line[i] == '"') {
      ++i;
      while (i < line.size() && line[i] != '"') ++i;
      if (i < line.size()) ++i;
    } else {
      ++i;
    }
  }
  return i;
}

// Whether the first four characters other than quotes are "/PW=", in any
// letter case.
bool IsPasswordOption(const std::string& parameter) {
  static const char kOption[] = "/PW=";
  size_t matched = 0;
  for (char c : parameter) {
    if (c == '"') continue;
    if ((c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) != kOption[matched]) return false;
    if (++matched == 4) return true;
  }
  return false;
}

// Whether the file name at the end of a path has an extension.
bool HasExtension(const std::string& path) {
  const size_t name = path.find_last_of(":\\/");
  return path.find('.', name == std::string::npos ? 0 : name + 1) != std::string::npos;
}

}  // namespace

std::string MaskPassword(const std::string& commandLine) {
  const std::string rest = SkipProgramName(commandLine);
  std::string out = commandLine.substr(0, commandLine.size() - rest.size());
  size_t i = 0;
  while (i < rest.size()) {
    if (IsBlank(rest[i])) {
      out += rest[i++];
      continue;
    }
    const size_t end = ParameterEnd(rest, i);
    const std::string parameter = rest.substr(i, end - i);
    out += IsPasswordOption(parameter) ? "/PW=********" : parameter;
    i = end;
  }
  return out;
}

void SplitCommand(const std::string& command, const std::function<bool(const std::string&)>& isFile,
                  std::string& file, std::string& parameters) {
  size_t begin = 0, end = command.size();
  while (begin < end && IsBlank(command[begin])) ++begin;
  while (end > begin && IsBlank(command[end - 1])) --end;
  const std::string text = command.substr(begin, end - begin);
  // The file is text[from, to); the parameters follow the blanks at rest.
  size_t from = 0, to = text.size(), rest = text.size();
  if (!text.empty() && text[0] == '"') {
    from = 1;
    to = text.find('"', 1);
    if (to == std::string::npos) to = text.size();
    rest = to + 1;
  } else {
    // The whole command first, then ever shorter parts before a blank.
    bool found = false;
    for (size_t i = text.size(); i > 0 && !found; --i) {
      if (i < text.size() && !(IsBlank(text[i]) && !IsBlank(text[i - 1]))) continue;
      const std::string part = text.substr(0, i);
      found = (i == text.size() || HasExtension(part)) && isFile(part);
      if (found) to = rest = i;
    }
    // No part names a file: a first word without a folder is a program the
    // system finds; anything else stays whole.
    size_t word = 0;
    while (word < text.size() && !IsBlank(text[word])) ++word;
    if (!found && word < text.size() && text.find_first_of(":\\/") > word) to = rest = word;
  }
  file = text.substr(from, to - from);
  while (rest < text.size() && IsBlank(text[rest])) ++rest;
  parameters = rest < text.size() ? text.substr(rest) : std::string();
}

std::string QuotedPath(const std::string& path) {
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') return path;
  for (char c : path) {
    if (IsBlank(c)) return '"' + path + '"';
  }
  return path;
}

}  // namespace qb
