// The uninstall log and the uninstaller trailer.
#pragma once

#include <string>

#include "engine/run_state.h"

namespace actions {

// Reads the uninstall log that an earlier installation of the application
// left at the log path into run.earlierLog, when it is a log and matches
// the fingerprint the earlier entry holds (if it holds one). Called when the
// run begins, before anything is replaced.
void ReadEarlierLog(engine::RunState& run);

// What the Add/Remove Programs entry holds of the log: its size in bytes
// (decimal) and its SHA-256 (lowercase hex).
struct LogFingerprint {
  std::string size, sha256;
};

// Appends the trailer to the uninstaller and writes the log, each checked
// (every write, the flush and the close; the uninstaller's end and the log
// are read back and compared). The log names what the run wrote, then what
// the earlier installation's log names that is still there. Returns false,
// after logging which file failed and why, when either is not in place.
bool WriteUninstallLog(engine::RunState& run, LogFingerprint& fingerprint);

}  // namespace actions
