// Number and text rules shared by the stub and the authoring tool.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qb {

// Reads a number the lenient way every package number is read: an optional
// "-" or "+", then decimal digits up to the first other character. No digit
// gives 0. A number beyond the 64-bit range saturates at INT64_MAX (or
// -INT64_MAX with a "-") instead of overflowing.
int64_t ReadNumber(const std::string& text);

// a + b and a * b, held at INT64_MAX or INT64_MIN instead of overflowing.
int64_t SaturatingAdd(int64_t a, int64_t b);
int64_t SaturatingMultiply(int64_t a, int64_t b);

// A text fit for a terminal: control characters (below 32, and 127) become
// escapes ("\n", "\r", "\t", "\x1b", ...) and a backslash stays a
// backslash; every other byte is kept.
std::string EscapeControls(const std::string& text);

// The decimal digits of a number (with a leading "-" when negative).
std::string Decimal(int64_t value);

// Divides value by a divisor of 1 to 65535 in place and returns the
// remainder. It works in 32-bit steps, so the 32-bit Windows programs need
// no 64-bit division helpers from the compiler's library.
uint32_t DivideInPlace(uint64_t& value, uint16_t divisor);

// A flag is on unless its text is exactly "0" (an empty text is on).
inline bool ReadFlag(const std::string& text) { return text != "0"; }

// Upper-cases the letters a to z only; every other byte stays as it is.
std::string UpperAscii(std::string text);

// The stored form of an installation password: a text of the same length
// with every character between '0' and 'Z'.
std::string PasswordForm(const std::string& password);

// Splits the part of a command line after the program name into parameters.
// Blanks (any byte of code 32 or less) separate parameters unless quoted; a
// parameter that both starts and ends with a quote loses those two quotes.
std::vector<std::string> SplitParameters(const std::string& commandLine);

// Skips the program name at the front of a full command line (as the system
// hands it over) and returns the rest.
std::string SkipProgramName(const std::string& commandLine);

// Binary registry data from text: byte i is the hexadecimal reading of
// characters 2i and 2i+1 (a leading "$" skipped, digits up to the first
// other character, low 8 bits); an odd last character is ignored.
std::vector<uint8_t> HexPairs(const std::string& text);

// The long-path form of a folder typed on the command line, rebuilt
// component by component: a drive stays as typed, every other component
// becomes the name the shell shows for it (displayName of the path so far
// plus the component; empty when the shell knows none, which keeps the
// component as typed). A trailing backslash is dropped, and an extension
// that display names hide is restored.
std::string LongPathForm(const std::string& typed,
                         const std::function<std::string(const std::string&)>& displayName);

// The destination field's text after the folder picker returned picked:
// inside the default destination (its text, ignoring letter case, begins
// picked), or with no application subfolder, the picked folder without one
// trailing backslash; otherwise the picked folder, a backslash and the
// subfolder. A bare drive ("D:") gets its backslash.
std::string BrowsedDestination(const std::string& picked, const std::string& defaultDestination,
                               const std::string& subfolder);

// A size as the wizard shows it: "N bytes" below 1 KB, otherwise in the
// largest unit of 1024 (KB, MB, GB, TB, PB, EB) that leaves at least 1, with
// one decimal, rounded to the nearest tenth ("12.3 MB"). Works without
// 64-bit division, as DivideInPlace.
std::string ByteSizeText(uint64_t bytes);

// The folder that holds path ("C:\a\b" -> "C:\a", "C:\a" -> "C:\"),
// trailing backslashes or slashes not counting; empty for a root ("C:\",
// "C:", "\\server\share") and for a path without a folder part.
std::string ParentFolder(const std::string& path);

}  // namespace qb
