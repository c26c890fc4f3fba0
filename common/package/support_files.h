// Names in the temporary working folder: "$inst\" below the user's temporary
// folder, holding the numbered support files (n.tmp) and the cabinet pieces
// (temp_n.tmp).
#pragma once

#include <string>
#include <vector>

namespace qb {

constexpr const char* kWorkFolderName = "$inst\\";

// Support file numbers with a fixed role.
enum SupportFile : int {
  kSupportFolderAnchor = 0,  // never written; names the folder on creation
  kSupportCabinetCopy = 2,
  kSupportHeaderBitmap = 4,
  kSupportSideBitmap = 5,
  kSupportBackground = 6,
  kSupportDestinationIcon = 7,
  kSupportTasksIcon = 8,
  kSupportPasswordIcon = 9,
  kSupportLicense = 15,
  kSupportReadme = 16,
};

// tempFolder must end with a backslash.
std::string SupportFilePath(const std::string& tempFolder, int number, bool piece);

// The support file numbers that removing the working folder deletes, in
// order, for a package with the given number of languages.
std::vector<int> SupportFilesToRemove(long long languages);

// Whether an entry of the support cabinet names one of the working folder's
// numbered support files ("$inst\n.tmp", either separator): the files that
// removing the folder deletes, except the folder anchor and the copy of the
// support cabinet itself. Any other entry is not extracted.
bool IsSupportCabinetEntry(const std::string& name, long long languages);

}  // namespace qb
