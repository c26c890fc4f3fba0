// Registry values and INI entries of the package, and the Add/Remove
// Programs entry.
#pragma once

#include <string>

#include "engine/run_state.h"

namespace actions {

enum RegistryType : int { kRegString = 0, kRegBinary = 1, kRegDword = 2 };

// What WriteRegistryValue did: wrote the value (a key-only record: created
// the key), kept what was there (overwrite off and a value of that name
// exists; a key-only record over a key that exists), or failed.
enum RegistryResult : int { kRegWritten = 0, kRegKept = 1, kRegFailed = 2 };

// Creates the key (and every missing key above it) and writes the value,
// unless overwrite is off and a value of that name exists. A type other than
// string, binary or double word creates only the key. Failures are logged
// as such. The view is 0 or toolkit::RegistryView's flag (a 64-bit package
// writes into the 64-bit view).
RegistryResult WriteRegistryValue(long long root, const std::string& key, const std::string& name,
                                  const std::string& data, long long type, bool overwrite,
                                  REGSAM view);

// The registry value list (but the Add/Remove Programs entry) and whether
// each [[registry_keys]] key is new; one progress step per value record.
void WriteRegistryValues(engine::RunState& run);
// The INI entry list; one progress step per record.
void WriteIniEntries(engine::RunState& run);

// The Add/Remove Programs entry is the registry value records below
// Software\Microsoft\Windows\CurrentVersion\Uninstall\ (HKCU or HKLM) of a
// package that writes uninstall information. The registry stage leaves them
// out; they are written once the uninstaller and its log are in place.
bool IsUninstallEntryRecord(const qb::Package& pkg, size_t record);
// The root and key of the entry (those of its first record); false when
// the package has no entry.
bool UninstallEntryKey(const qb::Package& pkg, long long& root, std::string& key);
// The names of the values that hold the uninstall log's fingerprint in the
// entry: its size in bytes (decimal) and its SHA-256 (lowercase hex).
extern const char* const kLogSizeValue;
extern const char* const kLogSha256Value;
// Writes the entry's records and the log's fingerprint into its key.
// Returns false when a value could not be written (each failure is logged).
bool WriteUninstallEntry(engine::RunState& run, const std::string& logSize,
                         const std::string& logSha256);

}  // namespace actions
