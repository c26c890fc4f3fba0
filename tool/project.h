// What a manifest describes, ready to be built into an installer.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "cab/cab_writer.h"
#include "cab/lzx_encoder.h"
#include "package/package.h"
#include "pe_resources.h"
#include "signing.h"
#include "text/text.h"

namespace tool {

// A manifest problem: the file, the line (0 when there is none) and why.
// Described for a terminal: names from manifests and packages may hold any
// byte, so control characters are shown escaped.
struct ManifestError : std::runtime_error {
  ManifestError(std::string file, int line, const std::string& reason)
      : std::runtime_error(reason), file(std::move(file)), line(line) {}
  std::string Describe() const {
    return qb::EscapeControls(file + (line > 0 ? ":" + std::to_string(line) : "") + ": " + what());
  }
  std::string file;
  int line;
};

struct PackedFile {
  std::string source;       // path on the building machine
  std::string destination;  // full destination path, variable tokens included
  int overwrite = 2;
  bool uninstall = true;
  uint32_t size = 0;
  int64_t mtime = 0;
  bool readOnly = false;     // the source has no write permission
  int line = 0;              // the manifest line of its [[files]] entry
  bool uninstaller = false;  // the uninstaller: packed with the package's execution level
                             // (and signed when the installer is)
};

struct Project {
  std::string manifestPath;
  std::string outputPath;
  qb::Package package;                               // settings and every list but the files
  std::vector<PackedFile> files;                     // the file list, in record order
  std::map<int, std::vector<uint8_t>> supportFiles;  // support file number -> bytes
  // A picture's further forms, after its 96-DPI one in supportFiles: support
  // file number -> the larger pictures in the manifest's order (see
  // qb::PictureFormEntry).
  std::map<int, std::vector<std::vector<uint8_t>>> pictureForms;
  qb::cab::Compression compression = qb::cab::Compression::kLzx;
  int level = 6;
  int lzxWindowBits = 21;
  uint32_t cabinetSize = 0;   // 0: one cabinet
  uint64_t volumeSize = 0;    // 0: everything inside the installer
  std::string volumePattern;  // file name with {volume}, for volumes 2, 3, ...
  std::vector<std::string> registryVariableNames;
  size_t installProgramCount = 0;  // the first records of the program list
  SigningOptions signing;          // [signing]: sign the installer and its uninstaller
  // The installer's own face: its icon ([app] icon; empty keeps the stub's),
  // its version resource, and the execution level its manifest requests.
  std::vector<uint8_t> icon;
  VersionInfo versionInfo;
  std::string executionLevel = "requireAdministrator";
  // What follows from the files' sizes, set once more by the builder from
  // the bytes it packs (a signed uninstaller is larger than its source): the
  // registry value record of the Add/Remove Programs entry's EstimatedSize
  // (SIZE_MAX: none), and whether required_disk_space is the files' total
  // (the manifest does not set it).
  size_t estimatedSizeRecord = SIZE_MAX;
  bool requiredSpaceFromFiles = false;
  // What the build should know but that does not stop it, each as
  // "file:line: warning: reason", ready for the terminal.
  std::vector<std::string> warnings;
};

struct BuildError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What a build wrote.
struct BuildSummary {
  std::vector<std::string> written;  // the installer, then any volumes
  uint64_t installerSize = 0;
  size_t cabinets = 0;
  uint64_t packedBytes = 0;  // stored cabinet data
  uint64_t fileBytes = 0;    // the files' own size
};

// Builds the installer (and its volumes) from a project and the stub.
// Throws BuildError; leaves no partial output behind.
BuildSummary BuildInstaller(Project& project, const std::string& stubPath);

// Sets what follows from the files' sizes (see Project).
void SetSizesFromFiles(Project& project);

// Reads and checks a manifest. uninstallerPath is the uninstaller program
// that a package with [uninstall] on installs with the application. Throws
// ManifestError.
Project LoadManifest(const std::string& path, const std::string& uninstallerPath = "");

}  // namespace tool
