// The portable rules of the environment checks: the Windows class of a
// system version, version numbers as .NET policy keys and packages write
// them, and which windows and processes a package's close target means.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qb {

// The Windows class of a version: 0 Win32s, 1 Windows 95, 2 Windows 98,
// 3 Windows Me, 4 NT 4.0 and older, 5 Windows 2000, 6 XP, 7 Server 2003 and
// other 5.x, 8 Vista and every later version.
int WindowsClass(bool ntFamily, unsigned major, unsigned minor);

// Whether the excluded-versions mask (bit c set: class c is not supported)
// excludes the class.
bool ExcludedClass(int64_t mask, int windowsClass);

// A version number read from text: an optional "-"; digits before the
// first "." form the integer part, digits after it the fraction; a second
// "." ends the number; "E" or "e" ends it after multiplying by ten to the
// power of the rest of the text read as a number; other characters are
// skipped. "2.0" reads 2, "1.1" reads 1.1, "2.0.50727" reads 2.
double ReadVersionNumber(const std::string& text);

// The installed .NET version from the names of the policy key's subkeys:
// the largest of the names that start with "v" or "V" and hold a ".", read
// without that letter; 0 when there is none.
double InstalledDotNetVersion(const std::vector<std::string>& policySubkeys);

// Whether the installed version satisfies the required one: at least it
// when atLeast is set, exactly it otherwise.
bool DotNetSatisfies(double required, double installed, bool atLeast);

// Whether a window title names the close target: not empty, holding the
// target (letters a to z compared without case), and never holding
// "QUILLBOX", so that installers and the authoring tool are left alone.
bool TitleHoldsTarget(const std::string& title, const std::string& target);

// Whether a process's executable path names the close target: its file name
// (after the last "\", "/" or ":") equals the target without regard to the
// case of the letters a to z.
bool ProcessIsTarget(const std::string& executablePath, const std::string& target);

}  // namespace qb
