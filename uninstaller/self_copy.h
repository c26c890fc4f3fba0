// An uninstaller cannot delete the file it runs from. So it first starts a
// copy of itself in the temporary folder and ends when the copy has said how
// the removal went; the copy removes the original once it has ended, and
// the copy's own file goes when the copy ends (it is held open for deletion
// by a handle that only the two processes have).
#pragma once

#include <cstdint>
#include <string>

namespace uninstaller {

// Runs the removal in a temporary copy of self, passing silent on, and
// returns with the exit code the copy reports. False when no copy could be
// started; the caller then removes what it can from where it runs.
bool RunFromTemporaryCopy(const std::string& self, bool silent, int& exitCode);

// In the copy: hands the exit code to the original, which then ends.
void ReportResult(uint64_t pipe, int exitCode);

// In the copy: waits (at most a few seconds) until the original has ended.
void WaitForOriginal(uint64_t process);

}  // namespace uninstaller
