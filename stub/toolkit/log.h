// The installation log that /LOG=file asks for, and the questions a person
// is asked: every message box goes through Prompt, which logs it with its
// answer and, in an unattended run, answers it without showing it.
#pragma once

#include <windows.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "toolkit/text_arg.h"

namespace toolkit {

// Starts the log: the file is created (its folder too) and every line is
// written through at once, so a run that is killed still leaves its log.
bool OpenLog(const std::string& path);
// A part of a log line, read where it lies: a C string or a string.
class LogPart {
 public:
  LogPart(const char* text) : text_(text), size_(std::strlen(text)) {}
  LogPart(const std::string& text) : text_(text.data()), size_(text.size()) {}
  const char* Text() const { return text_; }
  size_t Size() const { return size_; }

 private:
  const char* text_;
  size_t size_;
};

// One line, with the time of day in front: Log("file written: " + path) or,
// without building the line when there is no log, Log({"file written: ", path}).
void Log(std::initializer_list<LogPart> parts);
inline void Log(const LogPart& line) { Log({line}); }

// In an unattended run nobody answers: every question gets its safe answer.
void SetUnattended(bool unattended);
bool Unattended();

// A message box over owner, logged with its answer. Unattended, it is not
// shown: unattendedAnswer is logged and returned.
int Prompt(HWND owner, TextArg text, TextArg caption, UINT style, int unattendedAnswer);

}  // namespace toolkit
