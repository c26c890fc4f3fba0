// The stub is built without exceptions. The few places of the C++ runtime
// that would throw (memory running out, a string or vector growing beyond
// what memory holds) end the process here instead, which keeps the
// library's exception objects, the unwinder and the name demangler out of
// the executable. operator new and delete are defined here for the same
// reason: the library's versions throw std::bad_alloc.
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

// A block of at least one byte, or null.
void* TryAllocate(size_t size) { return std::malloc(size != 0 ? size : 1); }

void* Allocate(size_t size) {
  void* block = TryAllocate(size);
  if (!block) Fail();
  return block;
}

}  // namespace

namespace toolkit {

void SetOutOfMemoryHandler(void (*handler)()) { outOfMemory = handler; }

}  // namespace toolkit

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
// The library's own sorting asks for temporary room this way.
void* operator new(size_t size, const std::nothrow_t&) noexcept { return TryAllocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return TryAllocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }

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
