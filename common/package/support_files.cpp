#include "package/support_files.h"

#include "text/text.h"

namespace qb {

std::string SupportFilePath(const std::string& tempFolder, int number, bool piece) {
  return tempFolder + kWorkFolderName + (piece ? "temp_" : "") + Decimal(number) + ".tmp";
}

bool HasPictureForms(int number) {
  return number == kSupportHeaderBitmap || number == kSupportSideBitmap ||
         number == kSupportDestinationIcon || number == kSupportTasksIcon ||
         number == kSupportPasswordIcon;
}

std::string PictureFormEntry(int number, int form) {
  return std::string(kWorkFolderName) + Decimal(number) + "_" + Decimal(form) + ".tmp";
}

std::string PictureFormPath(const std::string& tempFolder, int number, int form) {
  return tempFolder + PictureFormEntry(number, form);
}

std::vector<int> SupportFilesToRemove(long long languages) {
  std::vector<int> numbers;
  for (int i = 0; i <= 17; ++i) numbers.push_back(i);
  if (languages < 0) languages = 0;
  if (languages > 1000) languages = 1000;
  for (long long i = 20; i <= 20 + languages; ++i) {
    numbers.push_back(static_cast<int>(i));
    numbers.push_back(static_cast<int>(i + 30));
  }
  return numbers;
}

bool IsSupportCabinetEntry(const std::string& name, long long languages) {
  std::string normal = name;
  for (char& c : normal) {
    if (c == '/') c = '\\';
  }
  for (int n : SupportFilesToRemove(languages)) {
    if (n == kSupportFolderAnchor || n == kSupportCabinetCopy) continue;
    if (normal == std::string(kWorkFolderName) + Decimal(n) + ".tmp") return true;
    if (!HasPictureForms(n)) continue;
    for (int form = 1; form < kMaxPictureForms; ++form) {
      if (normal == PictureFormEntry(n, form)) return true;
    }
  }
  return false;
}

}  // namespace qb
