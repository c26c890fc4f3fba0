#include "startup/workfolder.h"

#include <windows.h>

#include "package/support_files.h"
#include "startup/state.h"
#include "toolkit/files.h"

namespace startup {

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

void RemoveWorkFolder() {
  // Before the settings are read the language count reads as 0.
  for (int n : qb::SupportFilesToRemove(Package.LanguageCount())) {
    DeleteFileA(SupportFile(n).c_str());
  }
  RemoveDirectoryA(toolkit::FolderOf(SupportFile(1)).c_str());
}

void LeaveWorkFolder() {
  if (createdByUs) RemoveDirectoryA(toolkit::FolderOf(SupportFile(1)).c_str());
}

}  // namespace startup
