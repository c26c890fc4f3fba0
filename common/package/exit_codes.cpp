#include "package/exit_codes.h"

namespace qb {

int ExitCodeFor(ExitReason reason, bool silent, bool restartRequired) {
  switch (reason) {
    case ExitReason::kInstalled:
      return silent && restartRequired ? kExitRestartRequired : kExitOk;
    case ExitReason::kRestartPending:
      return kExitRestartRequired;
    case ExitReason::kTestMode:
      return kExitOk;
    case ExitReason::kDamagedPackage:
      return kExitDamaged;
    case ExitReason::kCancelled:
      return kExitCancelled;
    case ExitReason::kAbandoned:
      return kExitAbandoned;
    case ExitReason::kAnotherRunning:
      return kExitAnotherRunning;
    case ExitReason::kMachineUnsuitable:
      return kExitUnsuitable;
    case ExitReason::kPasswordNeeded:
      return kExitPasswordNeeded;
    case ExitReason::kOutOfMemory:
      return kExitOutOfMemory;
    case ExitReason::kUnusableOption:
      return kExitUnusableOption;
  }
  return kExitOk;
}

}  // namespace qb
