#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("quillbox 0.1.0\n");
    return 0;
  }
  std::printf("usage: quillbox build MANIFEST [-o setup.exe]\n");
  return argc > 1 ? 2 : 0;
}
