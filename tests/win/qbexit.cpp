// qbexit: runs a program and prints its whole exit code. A Unix exit status
// keeps only 8 bits, so "wine setup.exe" shows 3010 as 194; this prints 3010.
//   qbexit PROGRAM [ARGUMENTS...]
//   qbexit --command "COMMAND LINE"   (runs one argument as a whole command
//                                      line, quotes included, as written)
#include <windows.h>

#include <cstdio>

int main() {
  // The command line after this program's own name.
  const char* line = GetCommandLineA();
  bool quoted = false;
  while (*line && (quoted || (*line != ' ' && *line != '\t'))) {
    if (*line == '"') quoted = !quoted;
    ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  char command[32768];
  lstrcpynA(command, line, sizeof command);
  if (__argc == 3 && lstrcmpA(__argv[1], "--command") == 0)
    lstrcpynA(command, __argv[2], sizeof command);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::printf("cannot start\n");
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  std::printf("%lu\n", static_cast<unsigned long>(code));
  return 0;
}
