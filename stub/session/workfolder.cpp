#include "session/workfolder.h"

#include <windows.h>

#include "package/support_files.h"
#include "toolkit/files.h"

namespace session {

namespace {
bool createdByUs = false;
}

std::string SupportFile(int number, bool piece) {
  return qb::SupportFilePath(toolkit::TempFolder(), number, piece);
}

void CreateWorkFolder() {
  createdByUs =
      toolkit::CreateFolderChain(toolkit::FolderOf(SupportFile(qb::kSupportFolderAnchor)));
}

void RemovePictureForms() {
  for (int n = qb::kSupportHeaderBitmap; n <= qb::kSupportPasswordIcon; ++n) {
    if (!qb::HasPictureForms(n)) continue;
    for (int form = 1; form < qb::kMaxPictureForms; ++form) {
      DeleteFileA(qb::PictureFormPath(toolkit::TempFolder(), n, form).c_str());
    }
  }
}

void RemoveWorkFolder(const Session& session) {
  // Before the settings are read the language count reads as 0.
  for (int n : qb::SupportFilesToRemove(session.package.LanguageCount())) {
    DeleteFileA(SupportFile(n).c_str());
  }
  RemovePictureForms();
  RemoveDirectoryA(toolkit::FolderOf(SupportFile(1)).c_str());
}

void LeaveWorkFolder() {
  if (createdByUs) RemoveDirectoryA(toolkit::FolderOf(SupportFile(1)).c_str());
}

}  // namespace session
