// Fuzz target: what the uninstaller reads before it removes anything. The
// input is both a log text and the end of an uninstaller file. Parsing must
// end; every record read must be one the log text holds; the removal rules
// applied to what was read keep their promises: a log the bounds accept
// names no file outside a root and no registry value the registry rule
// refuses, and no root the log names is a system folder.
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
    qb::LogCountsAgree(log);

    qb::RemovalBounds bounds;
    bounds.shellRoots = {"C:\\Users\\me\\Desktop", "C:\\Windows\\Fonts"};
    bounds.ownFolders = {"C:\\App"};
    bounds.systemFolders = {"C:\\Windows", "C:\\Program Files", "C:\\Users\\me",
                            "C:\\Users\\me\\Desktop"};
    bounds.closedFolders = {"C:\\Windows"};
    bounds.ownEntries = {{2, std::string(qb::kUninstallKey) + "\\App"}};
    const qb::BoundsCheck check = qb::CheckRemovalBounds(log, bounds);
    if (check.inside) {
      for (const std::string& root : check.roots) {
        for (const std::string& system : bounds.systemFolders) {
          // Only the shell's own roots may be (or lie in) the system's folders.
          const bool fromShell =
              qb::SamePath(root, bounds.shellRoots[0]) || qb::SamePath(root, bounds.shellRoots[1]);
          if (!fromShell && (qb::SamePath(root, system) || qb::InsideFolders(system, {root})))
            std::abort();
        }
      }
      for (const std::string& f : log.files) {
        if (!qb::IsSafeDestinationPath(f) || !qb::InsideFolders(f, check.roots)) std::abort();
      }
      for (const auto& r : log.registry) {
        if (!qb::RegistryRemovalAllowed(r.root, r.key, bounds.ownEntries)) std::abort();
        if (r.root != 0 && r.root != 1 && r.root != 2 && r.root != 3 && r.root != 5) std::abort();
      }
    } else if (check.outside.empty() || !check.roots.empty()) {
      std::abort();
    }
  }
  qb::ParseUninstallerOptions(text);
  qb::CopyExitCode(text);
  qb::UninstallStringProgram(text);
  qb::UninstallEntryOf(text);
  qb::LogFingerprint fingerprint;
  fingerprint.sizePresent = fingerprint.sha256Present = true;
  fingerprint.size = text.substr(0, 8);
  fingerprint.sha256 = text;
  // A fingerprint that matches is the log's own.
  if (qb::CheckLogFingerprint(fingerprint, text) == qb::FingerprintCheck::kMatches) std::abort();

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
