// The uninstall log that the separate uninstaller reads, and the trailer
// appended to the uninstaller's own file that tells it where the log is.
//
// The log is ANSI text in an INI-like syntax, every line ended by CR LF:
// [f] installed files, [e] folders, [oN] uninstall extras, [u] components,
// [iN] INI entries, [rN] registry values and keys, [bN]/[aN] programs to run
// before and after removal, [nN] fonts, and [s] with the uninstaller's
// settings, texts and counts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/package.h"
#include "uninstall/log_reader.h"

namespace qb {

// A value with a double quote at both ends (and more than one character)
// gets one more pair, so that a reader that strips one pair gets it back.
std::string QuoteLogValue(const std::string& value);

struct UninstallLogInput {
  const Package* package = nullptr;
  std::vector<std::string> installedFiles;
  std::string destinationFolder;                          // as path variable 4 gives it
  std::function<std::string(const std::string&)> expand;  // text expansion
  // What the run did, one flag per record of the package's list (by its
  // index): it wrote the registry value (for a key-only record: it created
  // the key); the key of a [[registry_keys]] record was not there before
  // the run; it wrote the INI entry. A record without its flag set is left
  // out of the log, so the uninstaller never removes what the run kept or
  // found. A record beyond the end of its list of flags counts as written:
  // empty lists give the log of a package whose records were all written.
  std::vector<bool> registryValuesWritten, registryKeysNew, iniEntriesWritten;
  // Registry values the run writes besides the package's records (the
  // log's fingerprint in the Add/Remove Programs entry); their [r] sections
  // follow those of the package's records.
  std::vector<LoggedRegistryValue> moreRegistry;
  // An earlier installation's log, holding only what is still there: its
  // files, folders, INI entries and registry records follow the run's own
  // in their sections, each left out when the run's own entries (or an
  // earlier one of it) name the same thing already.
  const UninstallLog* earlier = nullptr;
  // A 64-bit package's run: the log says so (kLogNative64 in [s]), and the
  // uninstaller removes its registry records from the 64-bit view.
  bool native64 = false;
};

// The lines of the log, without line ends.
std::vector<std::string> BuildUninstallLog(const UninstallLogInput& input);

// The log as its file holds it: every line followed by CR LF.
std::string UninstallLogText(const std::vector<std::string>& lines);

// The uninstaller trailer: [bitmap image, its 32-bit size] when a header
// bitmap is given, then the log path and its 16-bit length.
std::vector<uint8_t> UninstallerTrailer(const std::vector<uint8_t>* headerBitmap,
                                        const std::string& logPath);

}  // namespace qb
