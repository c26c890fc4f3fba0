// The C++ runtime of a program built without exceptions: where the runtime
// would throw (memory running out, a string or list that cannot grow), the
// program ends through one handler instead.
#pragma once

namespace toolkit {

// Sets what the program does when memory runs out. The handler must end the
// process; if it returns, the process ends with the out-of-memory exit code.
void SetOutOfMemoryHandler(void (*handler)());

}  // namespace toolkit
