#include "startup/workfolder.h"

#include <windows.h>

#include "package/support_files.h"
#include "startup/state.h"
#include "toolkit/files.h"

namespace st {

namespace {
bool createdByUs = false;
}

std::string SupportFile(int number, bool piece) {
  return qb::SupportFilePath(tk::TempFolder(), number, piece);
}

void CreateWorkFolder() {
  createdByUs = tk::CreateFolderChain(tk::FolderOf(SupportFile(qb::kSupportFolderAnchor)));
}

void RemoveWorkFolder() {
  // Before the settings are read the language count reads as 0.
  for (int n : qb::SupportFilesToRemove(Package.LanguageCount())) {
    DeleteFileA(SupportFile(n).c_str());
  }
  RemoveDirectoryA(tk::FolderOf(SupportFile(1)).c_str());
}

void LeaveWorkFolder() {
  if (createdByUs) RemoveDirectoryA(tk::FolderOf(SupportFile(1)).c_str());
}

}  // namespace st
