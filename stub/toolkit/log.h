// The installation log that /LOG=file asks for, and the questions a person
// is asked: every message box goes through Prompt, which logs it with its
// answer and, in an unattended run, answers it without showing it.
#pragma once

#include <windows.h>

#include <string>

namespace toolkit {

// Starts the log: the file is created (its folder too) and every line is
// written through at once, so a run that is killed still leaves its log.
bool OpenLog(const std::string& path);
bool Logging();
// One line, with the time of day in front.
void Log(const std::string& line);

// In an unattended run nobody answers: every question gets its safe answer.
void SetUnattended(bool unattended);
bool Unattended();

// A message box over owner, logged with its answer. Unattended, it is not
// shown: unattendedAnswer is logged and returned.
int Prompt(HWND owner, const std::string& text, const std::string& caption, UINT style,
           int unattendedAnswer);

}  // namespace toolkit
