// Whether the uninstall log may be acted on, and how far.
//
// The uninstaller reads the log through the trailer of its original file and
// finds the installation's Add/Remove Programs entry: the subkey of
// Software\Microsoft\Windows\CurrentVersion\Uninstall, below HKLM and then
// HKCU (in the uninstaller's own registry view), whose UninstallString,
// quotes taken off, names the original file. When the entry holds the log's
// fingerprint (QuillboxLogSize, QuillboxLogSha256), the log must match it.
// An entry without one (an older installer's), or no entry at all, leaves
// the log unproven: it is then acted on within the bounds alone, and its
// programs and components are not run. Every log must also agree with its
// own counts and stay within the bounds (common/uninstall/removal_rules.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "uninstall/log_reader.h"
#include "uninstall/removal_rules.h"

namespace uninstaller {

struct CheckedLog {
  std::string path;                  // where the log is
  qb::UninstallLog log;              // what it says
  std::vector<uint8_t> headerImage;  // the header bitmap from the trailer, if any
  // The entry whose UninstallString names the uninstaller; it holds the
  // fingerprint values the removal takes out with the entry's other values.
  bool entryFound = false;
  qb::RegistryKeyName entry;
  // The fingerprint matched: the log is the one the installation wrote, and
  // its programs and components may run.
  bool proven = false;
  std::vector<std::string> roots;  // the only folders files and folders go from
  std::string outside;             // for a log out of bounds: the first record outside
  // The log of a 64-bit package: its entry and registry records are in the
  // 64-bit view; its paths in the system folder are given as this 32-bit
  // program reaches the native ones (toolkit::UnredirectedPath).
  bool native64 = false;
};

enum class LogVerdict {
  kAccepted,
  kDamaged,  // missing, unreadable, cut short, counts that differ, or not the fingerprinted log
  kOutside,  // a record outside what the installation could have made
};

// Reads and checks the log of the uninstaller whose original file is
// uninstaller (its trailer names the log; the entry names the file).
LogVerdict ReadCheckedLog(const std::string& uninstaller, CheckedLog& checked);

}  // namespace uninstaller
