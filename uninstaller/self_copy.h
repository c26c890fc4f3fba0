// An uninstaller cannot delete the file it runs from. So it first starts a
// copy of itself and ends when the copy has said how the removal went; the
// copy removes the original once it has ended, and the copy's own file goes
// when the copy ends (it is held open for deletion by a handle that only the
// two processes have).
//
// The copy lives in a new folder of its own with a name no one can foresee,
// made by this run (an existing folder of that name is never used): for an
// account that holds administrator rights in %WINDIR%\Temp, with an access
// list that lets only administrators and SYSTEM in; for any other account
// in its own temporary folder. No one with fewer rights than the running
// account can change the copy or put a file beside it.
#pragma once

#include <cstdint>
#include <string>

namespace uninstaller {

// Runs the removal in a temporary copy of self, passing silent on, and
// returns with the exit code the copy reports; a copy that ends without
// reporting one (killed, crashed) gives qb::kUninstallCopyLost. False when
// no copy could be started; the caller then removes what it can from where
// it runs.
bool RunFromTemporaryCopy(const std::string& self, bool silent, int& exitCode);

// In the copy: hands the exit code to the original, which then ends. False
// when it could not be handed on: the original then reports
// qb::kUninstallCopyLost.
bool ReportResult(uint64_t pipe, int exitCode);

// In the copy: waits (at most a few seconds) until the original has ended.
void WaitForOriginal(uint64_t process);

// In the copy, last of all: moves the copy's file out of its folder (beside
// the folder, where it still goes when the copy ends), through the handle
// keep that deletes it, and removes the folder, which is then empty.
void RemoveCopyFolder(const std::string& self, uint64_t keep);

}  // namespace uninstaller
