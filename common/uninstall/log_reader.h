// Reading what the installer left for the uninstaller: the uninstall log
// (the INI-like text that uninstall_log.h builds) and the trailer at the end
// of the uninstaller's own file that says where the log is.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "package/source.h"

namespace qb {

struct LoggedRegistryValue {
  int64_t root = 0;  // registry root index
  std::string key;
  std::string name;  // empty: the key's default value
};

struct LoggedIniEntry {
  std::string file, section, key;
};

struct LoggedProgram {
  std::string file, parameters;
  int64_t show = 1;
  bool wait = false;
};

struct LoggedFont {
  std::string name, file;
};

struct LoggedExtra {
  std::string kind, value;
};

// The records of a log, each list in the order of its numbering.
// The [s] entry that marks the log of a 64-bit package ("64"); logs of
// 32-bit packages do not have it.
constexpr int kLogNative64 = 52;

struct UninstallLog {
  std::vector<std::string> files;             // [f]
  std::vector<std::string> folders;           // [e]
  std::vector<LoggedExtra> extras;            // [oN]
  std::vector<std::string> components;        // [u]
  std::vector<LoggedIniEntry> ini;            // [iN]
  std::vector<LoggedRegistryValue> registry;  // [rN]
  std::vector<LoggedProgram> before, after;   // [bN], [aN]
  std::vector<LoggedFont> fonts;              // [nN]
  std::map<int64_t, std::string> settings;    // [s]

  // An entry of [s], or an empty text when the log has none.
  std::string Setting(int64_t key) const;
};

// Undoes the log's quoting: a value longer than one character with a double
// quote at both ends loses that pair, as the system's profile functions
// read it.
std::string UnquoteLogValue(const std::string& value);

// Reads a log. Lines end with CR LF (a lone LF is taken too); lines that
// are neither a section header nor "digits=value" are passed over, and a
// later entry of the same key replaces an earlier one. Returns false when
// the text has no [s] section: the log was cut short or is not a log.
bool ParseUninstallLog(const std::string& text, UninstallLog& log);

// Whether the log holds as many records as its [s] section counts: [e]
// folders (key 37), [f] files (39), [u] components (42), [rN] registry
// sections (43), [iN] INI sections (44) and [bN]/[aN] programs (45, 46). A
// count that is missing or differs means the log was damaged or changed
// after the installation (a section renamed, a record added or taken out).
bool LogCountsAgree(const UninstallLog& log);

// The log path the trailer at the end of an uninstaller names: the last two
// bytes give its length L, the L bytes before them the path. pathStart gets
// where the path begins. Returns false when the file is too short for the
// length it claims, the path is empty or holds a NUL, or it is not a full
// path (drive or share).
bool ReadTrailerLogPath(ByteSource& file, std::string& logPath, uint64_t& pathStart);

// The header bitmap in front of the log path, when the log says there is
// one: a 32-bit size S just before the path and S bytes of a BMP file
// before that. Returns false when the size does not fit or the bytes do not
// begin with "BM".
bool ReadTrailerBitmap(ByteSource& file, uint64_t pathStart, std::vector<uint8_t>& bitmap);

}  // namespace qb
