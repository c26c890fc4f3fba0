// Fuzz target: any bytes as a manifest. Loading either gives a project or a
// ManifestError that names the file; nothing else may escape, and nothing
// may crash. The manifest lies in a folder of its own with one small file
// beside it, so that file entries have something to find.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "project.h"

namespace {

std::string Folder() {
  static std::string folder;
  if (folder.empty()) {
    char pattern[] = "/tmp/qbfuzz.XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) std::abort();
    folder = made;
    std::ofstream(folder + "/app.txt") << "application file\n";
  }
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = Folder() + "/m.toml";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    tool::Project project = tool::LoadManifest(path);
    // Warnings reach a terminal too, each on one line, naming the manifest.
    for (const std::string& warning : project.warnings) {
      if (warning.compare(0, path.size(), path) != 0) std::abort();
      for (char c : warning) {
        if (static_cast<unsigned char>(c) < 32 && c != '\t') std::abort();
      }
    }
  } catch (const tool::ManifestError& e) {
    if (e.file.empty()) std::abort();
    // The reason reaches a terminal: no control character in it.
    for (char c : e.Describe()) {
      if (static_cast<unsigned char>(c) < 32 && c != '\t') std::abort();
    }
  }
  return 0;
}
