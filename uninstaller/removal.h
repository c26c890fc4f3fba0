// Removing what an uninstall log lists, in an order that works: programs to
// run first, components unregistered, fonts, INI entries, registry values
// and the keys they leave empty, shortcuts and files, then the folders that
// are left empty (deepest first), and the programs to run last.
//
// Nothing the log does not name is removed: a file that was changed after
// the installation wrote the log stays, and so does the folder that holds
// it. A file in use is scheduled for removal when Windows restarts. Files go
// only from inside the roots the log check gave, and programs and
// components run only for a log whose fingerprint matched.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "removal_host.h"
#include "uninstall/log_reader.h"
#include "uninstall/removal_rules.h"

namespace uninstaller {

struct RemovalResult {
  std::vector<std::string> leftBehind;  // could be neither removed nor scheduled
  std::vector<std::string> kept;        // changed since the installation
  bool restartNeeded = false;           // something waits for the next restart
  bool stopped = false;                 // the user stopped the removal
};

// How far a removal may go, from the log check.
struct RemovalScope {
  bool proven = false;             // the fingerprint matched: programs and components run
  std::vector<std::string> roots;  // files and folders go only from inside these
  // The Add/Remove Programs entry that holds the log's fingerprint: its
  // two values go with the entry's logged ones.
  bool entryFound = false;
  qb::RegistryKeyName entry;
  // The log of a 64-bit package: its registry records are in the 64-bit
  // view, and its paths in the system folder are the native ones.
  bool native64 = false;
};

class Removal {
 public:
  // uninstallerPath and logPath are removed by the caller (the uninstaller
  // cannot remove the file it runs from); the file list passes them over.
  Removal(const qb::UninstallLog& log, RemovalScope scope, RemovalHost& host,
          std::string uninstallerPath, std::string logPath);

  // How many steps the whole removal makes, for a progress bar.
  int StepCount() const;

  void RunProgramsBefore() { RunPrograms(log_.before); }
  void UnregisterComponents();
  void RemoveFonts();
  void RemoveIniEntries();
  void RemoveRegistryEntries();
  void RemoveFiles();
  // Removes a file that the uninstaller itself still needed, or schedules
  // it for the next restart.
  void RemoveOwnFile(const std::string& path);
  void RemoveFolders();
  void RunProgramsAfter() { RunPrograms(log_.after); }

  const RemovalResult& Result() const { return result_; }

 private:
  void RunPrograms(const std::vector<qb::LoggedProgram>& programs);
  // Deletes a file; one in use is scheduled for the next restart.
  void DeleteOrSchedule(const std::string& path);
  bool Stopping();

  // Whether a folder between a root and path has been made a link
  // (junction or symbolic link) since: what lies behind it is not ours.
  bool ThroughLink(const std::string& path) const;

  const qb::UninstallLog& log_;
  RemovalScope scope_;
  RemovalHost& host_;
  std::string uninstallerPath_;
  std::string logPath_;
  FILETIME logWritten_ = {};  // when the installation wrote the log
  bool logTimeKnown_ = false;
  RemovalResult result_;
};

}  // namespace uninstaller
