// Where the stub and the uninstaller start: ProcessStart is the image's entry
// point, and the programs link without the C runtime's start-up objects. It
// runs the constructors of static objects, calls WinMain and ends the process
// with its result after the functions registered with atexit.
//
// The C runtime library itself (msvcrt.dll) sets itself up when it is loaded.
// What the start-up objects would add is what these programs do not use:
// argument arrays, thread-local storage callbacks, floating-point and
// unhandled-exception set-up, and the registration of unwind tables for a
// program built without exceptions. The runtime pseudo-relocations (data
// imported from a library) are applied as the start-up objects apply them;
// these programs have none today, and the linker needs the relocator.
#include <windows.h>

#include <string>

#include "text/text.h"

namespace {

// The functions registered with atexit, run in reverse order when WinMain
// returns. Static objects register their destructors here.
constexpr int kMaxExitFunctions = 32;
void (*exitFunctions[kMaxExitFunctions])();
int exitFunctionCount = 0;

}  // namespace

extern "C" int atexit(void (*function)()) {
  if (exitFunctionCount == kMaxExitFunctions) return -1;
  exitFunctions[exitFunctionCount++] = function;
  return 0;
}

// The linker's list of static constructors: -1, the constructors, 0. They run
// from the last to the first, as the compiler's own start-up runs them.
extern "C" void (*__CTOR_LIST__[])();

extern "C" void _pei386_runtime_relocator();

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

extern "C" __attribute__((used, force_align_arg_pointer, noreturn)) void ProcessStart() {
  _pei386_runtime_relocator();
  int count = 0;
  while (__CTOR_LIST__[count + 1]) ++count;
  for (int i = count; i > 0; --i) __CTOR_LIST__[i]();
  std::string arguments = qb::SkipProgramName(GetCommandLineA());
  const int code = WinMain(GetModuleHandleA(nullptr), nullptr, &arguments[0], SW_SHOWDEFAULT);
  while (exitFunctionCount > 0) exitFunctions[--exitFunctionCount]();
  ExitProcess(static_cast<UINT>(code));
}
