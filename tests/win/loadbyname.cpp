// Loads a library by its bare name, the unsafe way: the control that shows a
// planted DLL beside a program would be picked up.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    HMODULE m = LoadLibraryA(argv[i]);
    std::printf("%s: %s\n", argv[i], m ? "loaded" : "not loaded");
  }
  return 0;
}
