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

// A picture of the wizard (header, side, page icons) may come in several
// sizes. Its support file n.tmp is always the picture for 96 DPI, as in a
// package with one size; the larger ones travel in the support cabinet as
// "$inst\n_1.tmp", "$inst\n_2.tmp", ... in the order the manifest lists
// them, at most kMaxPictureForms - 1 of them, numbered without gaps. A stub
// that knows only n.tmp never extracts them (IsSupportCabinetEntry of its
// time refuses the name), so it shows the 96-DPI picture as before; a
// package whose pictures have one size each carries no such entry and is
// what it has always been.
constexpr int kMaxPictureForms = 8;
// Whether support file number is a picture that may have further forms.
bool HasPictureForms(int number);
// The path of form (1 to kMaxPictureForms - 1) of picture number.
std::string PictureFormPath(const std::string& tempFolder, int number, int form);
// The support cabinet's entry name for the same.
std::string PictureFormEntry(int number, int form);

// The support file numbers that removing the working folder deletes, in
// order, for a package with the given number of languages.
std::vector<int> SupportFilesToRemove(long long languages);

// Whether an entry of the support cabinet names one of the working folder's
// numbered support files ("$inst\n.tmp", either separator): the files that
// removing the folder deletes, except the folder anchor and the copy of the
// support cabinet itself, and the further forms of the pictures. Any other
// entry is not extracted.
bool IsSupportCabinetEntry(const std::string& name, long long languages);

}  // namespace qb
