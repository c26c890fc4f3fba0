// Included before every source of the Windows build. The standard library
// declares its std::string templates as instantiated in its own binary, a
// copy built with exceptions that brings the unwinder, the exception
// objects and their type information along. The value -1 (the library's
// own setting for its checked mode) lifts that declaration for the string
// templates alone, so each program instantiates what it uses, built
// without exceptions, and section garbage collection keeps only that.
#pragma once
#ifdef __cplusplus
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
#endif
