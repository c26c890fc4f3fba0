// The stub is built without exceptions. The few places of the C++ runtime
// that would throw (a string or vector growing beyond what memory holds) end
// the process here instead, which keeps the unwinder and the name demangler
// out of the executable.
#include "toolkit/runtime.h"

#include <windows.h>

#include <cstdlib>
#include <new>

#include "package/exit_codes.h"

namespace {

void (*outOfMemory)() = nullptr;

[[noreturn]] void Fail() {
  if (outOfMemory) outOfMemory();
  ExitProcess(qb::kExitOutOfMemory);
}

}  // namespace

namespace toolkit {

void SetOutOfMemoryHandler(void (*handler)()) {
  outOfMemory = handler;
  // operator new calls this instead of throwing when memory runs out.
  std::set_new_handler([] { Fail(); });
}

}  // namespace toolkit

namespace __gnu_cxx {
void __verbose_terminate_handler() { Fail(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { Fail(); }
void __throw_bad_array_new_length() { Fail(); }
void __throw_length_error(const char*) { Fail(); }
void __throw_logic_error(const char*) { Fail(); }
void __throw_out_of_range(const char*) { Fail(); }
void __throw_out_of_range_fmt(const char*, ...) { Fail(); }
void __throw_invalid_argument(const char*) { Fail(); }
void __throw_bad_function_call() { Fail(); }
}  // namespace std
