// Fuzz target: what the uninstaller reads before it removes anything. The
// input is both a log text and the end of an uninstaller file. Parsing must
// end; every record read must be one the log text holds; the removal rules
// applied to what was read keep their promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cab/safe_name.h"
#include "package/source.h"
#include "uninstall/log_reader.h"
#include "uninstall/removal_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  qb::UninstallLog log;
  if (qb::ParseUninstallLog(text, log)) {
    for (const std::string& f : log.files) {
      if (f.size() > size) std::abort();
    }
    for (const std::string& folder : qb::FoldersDeepestFirst(log.folders)) {
      // Only safe full folder paths below a root are ever tried.
      if (!qb::IsSafeFolderPath(folder) || folder.empty() || folder.back() == '\\') std::abort();
    }
    for (const auto& r : log.registry) {
      for (const std::string& key : qb::RegistryKeysToTry(r.key)) {
        if (key.empty() || key.size() > r.key.size()) std::abort();
      }
    }
    for (const std::string& f : log.files) qb::FoldersInside(f, log.Setting(18));
  }
  qb::ParseUninstallerOptions(text);

  // The same bytes as the end of an uninstaller.
  qb::MemorySource file(std::vector<uint8_t>(data, data + size));
  std::string path;
  uint64_t start = 0;
  if (qb::ReadTrailerLogPath(file, path, start)) {
    if (start + path.size() + 2 != size) std::abort();
    std::vector<uint8_t> bitmap;
    if (qb::ReadTrailerBitmap(file, start, bitmap) && bitmap.size() + 4 > start) std::abort();
  }
  return 0;
}
