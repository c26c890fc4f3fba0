// The state of one installation run, handed to each of its stages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/installation_host.h"
#include "package/exit_codes.h"
#include "session/session.h"
#include "uninstall/log_reader.h"

namespace engine {

class Extraction;

// What the user chose on the wizard's pages that the stages read.
struct UserChoices {
  std::string programGroup;
  bool noProgramGroup = false;
  bool tasks[3] = {true, true, true};  // desktop, Start menu, Quick Launch
};

struct RunState {
  RunState(session::Session& session, InstallationHost& host, UserChoices choices)
      : session(session), host(host), choices(std::move(choices)) {}

  // The package and what the startup routine settled.
  session::Session& session;
  InstallationHost& host;
  UserChoices choices;
  // Paths to remove at uninstall, in order; filled by file placement and the
  // shortcuts, written out by the uninstall log.
  std::vector<std::string> installedFiles;
  // What the run did with each record, by its index in the package's list,
  // for the uninstall log, which names only what the run wrote: the
  // registry value was written (a key-only record: the key was created);
  // the key of a [[registry_keys]] record was not there before the run; the
  // INI entry was written. The values of the Add/Remove Programs entry are
  // written after the log and count as written (see WriteRegistryValues).
  std::vector<bool> registryValueWritten, registryKeyNew, iniEntryWritten;
  // The uninstall log of an earlier installation at the same log path, read
  // when the run begins (empty when there was none or it did not check out),
  // and when it was written (a FILETIME as one number).
  qb::UninstallLog earlierLog;
  uint64_t earlierLogTime = 0;
  OverwriteAnswer rememberedAnswer = kAsk;
  // The file extraction stage while it runs (null before and after).
  Extraction* extraction = nullptr;
  // Set when a stage gave the installation up; the run then ends it, for
  // the reason given (a damaged package, say, rather than a file error).
  bool abandoned = false;
  qb::ExitReason failureReason = qb::ExitReason::kAbandoned;
  // Files that could not be installed and that the user chose to skip.
  int filesNotInstalled = 0;

  void Status(const std::string& text) { host.ShowStatus(text); }
  void ProgressStep() { host.ProgressStep(); }
};

}  // namespace engine
