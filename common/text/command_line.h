// Command lines the installer writes down or starts: the password kept out
// of the log, and a package's command split into the program and its
// parameters so that a path with blanks can never name another program.
#pragma once

#include <functional>
#include <string>

namespace qb {

// The installer's command line as the log may show it: every parameter that
// is the password option (/PW=, in any letter case, quoted in whole or in
// part) becomes "/PW=********"; the program name and every other parameter
// stay as they are.
std::string MaskPassword(const std::string& commandLine);

// A command from the package split into the file to start and its
// parameters. A file in quotes is the quoted part. Otherwise the file is the
// whole command when it names a file (isFile), else its longest part ending
// before a blank that names a file with an extension, the rest being the
// parameters: a file planted at a shorter part ("C:\Program" or
// "C:\Program.exe" for "C:\Program Files\App\app.exe") is never taken
// while the program itself is there. When no part names a file, a first word without a folder
// (a program the system finds) is the file; otherwise the whole command is,
// and a start fails rather than guess.
void SplitCommand(const std::string& command, const std::function<bool(const std::string&)>& isFile,
                  std::string& file, std::string& parameters);

// A path as one parameter of a command line: in quotes when it holds a blank
// or control character and is not in quotes yet.
std::string QuotedPath(const std::string& path);

}  // namespace qb
