// The rules the uninstaller follows that need no system to decide: which
// folders and registry keys it tries to remove and in what order, whether a
// log may be acted on at all (its fingerprint, and the bounds of what an
// installation can have made), how it reads its command line, and what its
// exit codes mean.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "uninstall/log_reader.h"

namespace qb {

// Exit codes of the uninstaller.
enum UninstallExit : int {
  kUninstallDone = 0,
  kUninstallNoLog = 1,       // the log is missing, unreadable or cut short
  kUninstallCancelled = 2,   // the user said no or cancelled
  kUninstallLeftBehind = 3,  // something could be neither removed nor scheduled
  kUninstallCopyLost = 4,    // the temporary copy ended without a result
  kUninstallRestart = 3010,  // files in use are removed when Windows restarts
};

// The exit code the uninstaller reports from what its temporary copy wrote
// into the result pipe before the pipe closed: exactly one 32-bit code
// (little-endian) of those a copy writes (0, 1, 2, 3, 3010). Anything else
// (nothing at all: the copy was killed or crashed; a part of a code; more
// bytes; a code no copy writes) is kUninstallCopyLost.
int CopyExitCode(const std::string& received);

// The Add/Remove Programs key below HKLM or HKCU that holds each
// installation's entry (a subkey named by the package's id).
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The entry's values that fingerprint the uninstall log, both REG_SZ: the
// log file's length in bytes (decimal) and the SHA-256 of its bytes (64
// lowercase hexadecimal digits). The installer writes them after the log;
// only the installing account (or an administrator) can change them.
constexpr char kLogSizeValue[] = "QuillboxLogSize";
constexpr char kLogSha256Value[] = "QuillboxLogSha256";

// The program an UninstallString names: the text between its first pair of
// double quotes, or the whole text when it does not begin with one.
std::string UninstallStringProgram(const std::string& uninstallString);

// The fingerprint values as an entry holds them; present is false for a
// value the entry does not have, and text is empty for one that is not a
// REG_SZ.
struct LogFingerprint {
  bool sizePresent = false, sha256Present = false;
  std::string size, sha256;
};

enum class FingerprintCheck {
  kNone,     // the entry has neither value: an installation by an older installer
  kMatches,  // both values are there and describe these bytes
  kDiffers,  // the log is not the one the installation wrote (or one value is missing)
};

FingerprintCheck CheckLogFingerprint(const LogFingerprint& fingerprint, const std::string& log);

// The Add/Remove Programs entry a registry key lies in:
// "Software\Microsoft\Windows\CurrentVersion\Uninstall\<id>", its parts
// spelt as in key (separators at either end or doubled dropped), when key
// is that entry or below it; empty for any other key (the Uninstall key
// itself included).
std::string UninstallEntryOf(const std::string& key);

// A registry key by its root's index (0 HKCR, 1 HKCU, 2 HKLM, 3 HKU, 5 HKCC)
// and its path below the root.
using RegistryKeyName = std::pair<int64_t, std::string>;

// Whether the uninstaller may remove a value of key below the root with
// that index. Only the roots the authoring tool writes (0, 1, 2, 3, 5), a
// key below the root, and never in the system's own trees:
//   - below HKLM, HKCU, HKCC and an account of HKU (Software\Wow6432Node
//     counts as Software): System, SAM, Security, Hardware, Software\Policies,
//     Software\Microsoft\Windows\CurrentVersion\Policies, the logon
//     settings (Software\Microsoft\Windows NT\CurrentVersion\Winlogon), the
//     shell's folders (...\Explorer\Shell Folders and User Shell Folders),
//     the certificate stores (Software\Microsoft\SystemCertificates), the
//     keys Software, Software\Microsoft, Software\Microsoft\Windows (NT) and
//     their CurrentVersion themselves, and Add/Remove Programs entries other
//     than this installation's own (ownEntries);
//   - among the classes (HKCR, Software\Classes, HKU\<account>_Classes): the
//     classes root itself, the classes through which Windows starts programs
//     and opens files and folders (.exe, exefile, .lnk, *, Directory, Folder,
//     ...), but for their "shellex" handlers and shell verbs other than
//     open, runas and runasuser, which applications add; and the lists
//     CLSID, Interface, TypeLib and AppID themselves (not their entries).
bool RegistryRemovalAllowed(int64_t root, const std::string& key,
                            const std::vector<RegistryKeyName>& ownEntries);

// Whether path lies inside (below, not at) one of the folders; letters
// compared without case, "/" and "\" alike.
bool InsideFolders(const std::string& path, const std::vector<std::string>& folders);

// What bounds a removal, from the system and from the installation's entry.
struct RemovalBounds {
  // Folders the shell gives for what an installation makes without the log
  // naming a folder: the Start menu, programs, desktop and Quick Launch
  // folders (shortcuts) and the fonts folder.
  std::vector<std::string> shellRoots;
  // The uninstaller's and the log's own folders; one that is too wide to
  // be a root (see CheckRemovalBounds) is left out.
  std::vector<std::string> ownFolders;
  // The system's own folders (Windows, system, Program Files, the profile
  // and its shell folders, ...): a folder the log names as a root may not
  // be one of these nor hold one.
  std::vector<std::string> systemFolders;
  // Folders a root the log names may not lie in (the Windows folder).
  std::vector<std::string> closedFolders;
  // The entry's InstallLocation; empty when there is no entry or no value.
  std::string installLocation;
  // Add/Remove Programs entries that are this installation's.
  std::vector<RegistryKeyName> ownEntries;
  // The log's fingerprint matched: it is exactly what the installer wrote,
  // and its files, components and fonts are the ones it placed. They need
  // only be safe full paths, wherever they are (an application may well put
  // a DLL into the system folder).
  bool proven = false;
};

struct BoundsCheck {
  bool inside = false;
  std::string outside;             // the first record outside, for the message
  std::vector<std::string> roots;  // the folders files and folders may be in
};

// Whether every record of the log lies within what the installation could
// have made. The roots are the destination ([s] key 18), the [e] folders,
// the shell's roots and the own folders. The destination and the [e]
// folders must be safe full folder paths below a drive or share root, none
// of the system's folders nor holding one, not inside a closed folder (an
// own folder that is not so is left out), and the destination must be the
// entry's InstallLocation when there is one. Files ([f]), components ([u]) and fonts
// ([n]) must lie inside a root; INI files ([iN]) must be safe full paths
// (the uninstaller removes only the entries named, and the file only when
// it is left blank inside a root); registry values ([rN]) must pass
// RegistryRemovalAllowed. Programs ([bN], [aN]) are not bounded here: they
// run only for a log whose fingerprint matched.
BoundsCheck CheckRemovalBounds(const UninstallLog& log, const RemovalBounds& bounds);

// Whether two paths name the same file: letters compared without case, "/"
// and "\" alike, trailing separators ignored.
bool SamePath(const std::string& a, const std::string& b);

// The folders to try, deepest first (then in the order given), each once:
// "/" becomes "\", trailing separators go, and anything that is not a safe
// full folder path below a drive or share root is left out.
std::vector<std::string> FoldersDeepestFirst(const std::vector<std::string>& folders);

// The registry keys to try after a value of key is removed, each only when
// it is then empty: the key itself, then its parents as long as they lie
// at least two levels below the root ("Software\Vendor\App" gives itself
// and "Software\Vendor", never "Software"). The system's own trees
// (Software\Microsoft, Software\Classes, Software\Policies,
// Software\Wow6432Node, System) give the key alone: their empty keys are
// the system's. Separators at either end are dropped; an empty key gives
// nothing.
std::vector<std::string> RegistryKeysToTry(const std::string& key);

// The folders that hold path and lie inside root, deepest first; root
// itself is not one of them. Empty when path is not inside root.
std::vector<std::string> FoldersInside(const std::string& path, const std::string& root);

struct UninstallerOptions {
  bool silent = false;      // /S
  std::string original;     // /ORIGINAL=path: the file this copy was made from
  uint64_t parent = 0;      // /PARENT=n: handle of the process that started it
  uint64_t resultPipe = 0;  // /RESULT=n: handle the exit code is written to
  uint64_t keep = 0;        // /KEEP=n: handle that deletes the copy's file when closed
};

// Reads the parameters (the command line after the program name). Options
// are case-insensitive; anything else is passed over.
UninstallerOptions ParseUninstallerOptions(const std::string& parameters);

}  // namespace qb
