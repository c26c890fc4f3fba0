// Why the installer ends, and the process exit code each reason gives.
#pragma once

namespace qb {

// The one message that is not in the package's languages: the package
// itself cannot be trusted.
constexpr char kDamagedPackageMessage[] =
    "The setup files are corrupted. Please obtain a new copy of the program.";

enum class ExitReason {
  kInstalled,          // the run finished (or a page flow ended normally)
  kRestartPending,     // installed, but the restart the package needs did not happen
  kTestMode,           // "test" started the authoring tool
  kDamagedPackage,     // the package could not be read
  kCancelled,          // the user cancelled
  kAbandoned,          // a file error or a missing volume stopped the run
  kAnotherRunning,     // another installer holds the single-instance mutex
  kMachineUnsuitable,  // Windows version, rights or .NET do not suit
  kPasswordNeeded,     // silent run of a package that still wants a password
  kOutOfMemory,        // memory ran out (a damaged or hostile package, say)
  kUnusableOption,     // /P= or /G= names a folder that cannot be used as given
};

enum ExitCode : int {
  kExitOk = 0,
  kExitDamaged = 1,
  kExitCancelled = 2,
  kExitAbandoned = 3,
  kExitAnotherRunning = 4,
  kExitUnsuitable = 5,
  kExitPasswordNeeded = 6,
  kExitOutOfMemory = 7,
  kExitUnusableOption = 8,
  kExitRestartRequired = 3010,
};

// An installation whose package needs a restart that did not happen reports
// 3010: a silent run (silent mode never restarts Windows itself), "restart
// later", or a restart the system refused.
int ExitCodeFor(ExitReason reason, bool silent, bool restartRequired);

}  // namespace qb
