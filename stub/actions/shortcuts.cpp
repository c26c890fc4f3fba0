#include "actions/shortcuts.h"

#include <windows.h>
// shlobj.h needs windows.h first.
#include <objidl.h>
#include <shlobj.h>

#include "cab/safe_name.h"
#include "engine/run_state.h"
#include "engine/variables.h"
#include "text/text.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/shell.h"

namespace actions {

namespace {

// Where a shortcut goes. The group, desktop and Start menu of the first
// three follow the package: the installing user's, or all users' in a
// package for the whole machine. The last six name one of them explicitly.
enum Location : int {
  kGroup = 0,
  kDesktop = 1,
  kStartMenu = 2,
  kQuickLaunch = 3,
  kFullPath = 4,
  kUserGroup = 5,
  kUserDesktop = 6,
  kUserStartMenu = 7,
  kCommonGroup = 8,
  kCommonDesktop = 9,
  kCommonStartMenu = 10,
};

// The path variables of the user's and of all users' folders.
enum : int {
  kUserDesktopFolder = 6,
  kUserProgramsFolder = 8,
  kUserStartMenuFolder = 9,
  kCommonDesktopFolder = 28,
  kCommonProgramsFolder = 31,
  kCommonStartMenuFolder = 32,
};

// The folder a shortcut goes to, or empty when the user's choices (the
// group and task check boxes) or the machine leave it out.
std::string LocationFolder(const engine::UserChoices& choices, int64_t code, bool allUsers,
                           bool& made) {
  made = false;
  if (code == kGroup || code == kDesktop || code == kStartMenu) {
    code += allUsers ? kCommonGroup : kUserGroup;
  }
  switch (code) {
    case kUserGroup:
    case kCommonGroup:
      if (choices.noProgramGroup) return std::string();
      made = true;
      return engine::Variable(code == kUserGroup ? kUserProgramsFolder : kCommonProgramsFolder) +
             "\\" + choices.programGroup;
    case kUserDesktop:
    case kCommonDesktop:
      made = choices.tasks[0];
      return made ? engine::Variable(code == kUserDesktop ? kUserDesktopFolder
                                                          : kCommonDesktopFolder)
                  : std::string();
    case kUserStartMenu:
    case kCommonStartMenu:
      made = choices.tasks[1];
      return made ? engine::Variable(code == kUserStartMenu ? kUserStartMenuFolder
                                                            : kCommonStartMenuFolder)
                  : std::string();
    case kQuickLaunch:
      made = choices.tasks[2];
      return made ? engine::Variable(7) : std::string();
    case kFullPath:
      made = true;
      return std::string();
    default:
      return std::string();
  }
}

// The three COM identifiers a link needs, here rather than from the uuid
// library, whose one object holds every identifier of the system (35 KB).
constexpr CLSID kShellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kShellLinkInterface = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kPersistFileInterface = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Returns whether the link file was saved.
bool SaveLink(toolkit::TComSession& com, const std::string& path, const std::string& target,
              const std::string& arguments, const std::string& description,
              const std::string& folder, const std::string& icon, int iconIndex) {
  IShellLinkA* link = nullptr;
  if (!com.Create(kShellLinkClass, kShellLinkInterface, reinterpret_cast<void**>(&link)))
    return false;
  bool saved = false;
  link->SetArguments(arguments.c_str());
  link->SetDescription(description.c_str());
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(folder.c_str());
  if (!icon.empty()) link->SetIconLocation(icon.c_str(), iconIndex);
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(kPersistFileInterface, reinterpret_cast<void**>(&file)))) {
    WCHAR wide[MAX_PATH * 4] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 4 - 1);
    saved = SUCCEEDED(file->Save(wide, FALSE));
    file->Release();
  }
  link->Release();
  return saved;
}

}  // namespace

void CreateShortcuts(engine::RunState& run) {
  toolkit::TComSession com;
  const qb::RecordList& shortcuts = run.session.package.Records(qb::List::kShortcuts);
  for (size_t r = 0; r < shortcuts.Count(); ++r) {
    const int64_t code = qb::ReadNumber(shortcuts.Field(r, 0));
    bool made = false;
    const std::string location = LocationFolder(
        run.choices, code, run.session.package.LaterFlag(qb::kAllUsersShortcuts), made);
    if (made && code != kFullPath && location.empty()) {
      // Its folder is not on this system (a Quick Launch folder that the
      // user has not got): the log says so.
      toolkit::Log({"shortcut: left out, its folder is not on this system: ",
                    engine::ExpandText(shortcuts.Field(r, 1))});
    }
    if (made && (code == kFullPath || !location.empty())) {
      const std::string name = engine::ExpandText(shortcuts.Field(r, 1));
      const std::string path = code == kFullPath ? name : toolkit::WithBackslash(location) + name;
      if (!qb::IsSafeDestinationPath(path)) {
        toolkit::Log({"shortcut: left out, not a safe full path: ", path});
        run.ProgressStep();
        continue;
      }
      toolkit::CreateFolderChain(toolkit::FolderPart(path));
      const std::string target = engine::ExpandText(shortcuts.Field(r, 2));
      std::string folder = engine::ExpandText(shortcuts.Field(r, 7));
      if (folder.empty()) folder = toolkit::FolderPart(target);
      if (!folder.empty() && folder.back() == '\\') folder.pop_back();
      const std::string& icon = shortcuts.Field(r, 5);
      // Only a shortcut saved is the installation's to remove.
      if (SaveLink(com, path, target, engine::ExpandText(shortcuts.Field(r, 3)),
                   engine::ExpandText(shortcuts.Field(r, 4)), folder,
                   icon.empty() ? std::string() : engine::ExpandText(icon),
                   static_cast<int>(qb::ReadNumber(shortcuts.Field(r, 6))))) {
        run.installedFiles.push_back(path);
        toolkit::Log({"shortcut: ", path, " -> ", target});
      } else {
        toolkit::Log({"shortcut: FAILED to save ", path, " -> ", target});
      }
    }
    run.ProgressStep();
  }
}

}  // namespace actions
