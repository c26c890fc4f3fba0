// The rule that decides whether a name read from a cabinet (or a destination
// path read from a package) may be written to, and how it is normalised.
//
// A name from a cabinet is a relative path below the folder it is extracted
// to. It is refused when it is empty, absolute, carries a drive or any colon
// (alternate data streams), has an empty component, a component of dots only
// ("." and ".."), a component that ends in a dot or a space (Windows drops
// them, so "a." would be "a"), a reserved device name in any component (CON,
// PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, CONIN$, CONOUT$, in any case, with or
// without an extension), a control character or one of <>"|?*, or when the
// joined path does not fit the system's path limit. "/" and "\" are the same
// separator; the normalised form uses "\".
#pragma once

#include <cstddef>
#include <string>

namespace qb {

// The longest path the ANSI file functions take, without its NUL.
constexpr size_t kMaxPathLength = 259;

// Why the rule refuses one component of a path, if it does.
enum class ComponentProblem {
  kNone,
  kEmpty,               // two separators in a row, or one at either end
  kDotsOnly,            // "." and ".." and the like
  kTrailingDotOrBlank,  // Windows would drop it
  kForbiddenCharacter,  // see IsForbiddenNameCharacter
  kDeviceName,          // CON, NUL, COM1, ... with or without an extension
};

// Whether no name may hold the character: control characters, <>"|?*, the
// colon, and the separators "\" and "/".
bool IsForbiddenNameCharacter(char c);

// The first problem the rule finds in one component of a path, in the order
// above; the authoring tool uses it to say why it refuses a manifest's name.
ComponentProblem PathComponentProblem(const std::string& component);

// Whether one component of a path (no separators in it) may be written.
bool IsSafePathComponent(const std::string& component);

// The name with "\" as its only separator, or an empty text when the rule
// refuses it. The path limit is not checked here (see JoinCabinetName).
std::string NormalisedCabinetName(const std::string& name);

// Joins folder and a name read from a cabinet. Returns false, leaving joined
// alone, when the rule refuses the name or the joined path is too long.
bool JoinCabinetName(const std::string& folder, const std::string& name, std::string& joined);

// Whether a full destination path taken from a package may be written: a
// drive ("C:\") or a share ("\\server\share\") followed by components that
// each pass the component rule, within the path limit. "/" counts as "\".
bool IsSafeDestinationPath(const std::string& path);

// The same for a folder, which may end with separators.
bool IsSafeFolderPath(const std::string& path);

}  // namespace qb
