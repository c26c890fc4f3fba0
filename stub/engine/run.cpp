#include "engine/run.h"

#include <windows.h>

#include "actions/completion.h"
#include "actions/components.h"
#include "actions/fonts.h"
#include "actions/programs.h"
#include "actions/registry_ini.h"
#include "actions/shortcuts.h"
#include "actions/uninstall_log.h"
#include "engine/extract.h"
#include "engine/variables.h"
#include "startup/state.h"
#include "startup/workfolder.h"
#include "toolkit/application.h"
#include "toolkit/files.h"
#include "wizard/replace_file.h"
#include "wizard/wizard.h"

namespace en {

std::vector<std::string> InstalledFiles;

void Status(const std::string& text) {
  if (wz::Wizard) wz::Wizard->SetStatus(text);
}

void ProgressStep() {
  if (wz::Wizard) wz::Wizard->ProgressStep();
}

namespace {

const std::string& Msg(int m) { return st::Package.Msg(m); }

void CreateFolders() {
  Status(Msg(qb::kMsgStatusFolders));
  const qb::RecordList& folders = st::Package.Records(qb::List::kFolders);
  for (size_t r = 0; r < folders.Count(); ++r) {
    const std::string path = ExpandText(folders.Field(r, 0));
    if (path.size() >= 3) {
      tk::CreateFolderChain(path);
    }
    ProgressStep();
  }
}

}  // namespace

void InstallationRun() {
  qb::Package& pkg = st::Package;
  RememberedAnswer = wz::kAsk;
  const int64_t total = pkg.Number(qb::kProgressTotal);
  wz::Wizard->SetProgressRange(total < 0            ? 0
                               : total > 0x7FFFFFFF ? 0x7FFFFFFF
                                                    : static_cast<int>(total));
  act::RunPrograms(act::kBeforeFiles);
  InstalledFiles.clear();
  ExtractFiles();
  CreateFolders();
  Status(Msg(qb::kMsgStatusRegistry));
  act::WriteRegistryValues();
  act::InstallFonts();
  Status(Msg(qb::kMsgStatusShortcuts));
  act::CreateShortcuts();
  if (pkg.Flag(qb::kWriteUninstall)) {
    Status(Msg(qb::kMsgStatusUninstall));
    act::WriteUninstallLog();
    ProgressStep();
  }
  Status(Msg(qb::kMsgStatusIni));
  act::WriteIniEntries();
  if (pkg.Text(qb::kComponentCount) != "0") act::RegisterComponents();
  act::RunPrograms(act::kAfterInstall);
  Status(Msg(qb::kMsgStatusFinishing));
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  st::RemoveWorkFolder();
  // A short pause lets the last status be seen; nobody sees a silent run.
  if (!st::Startup.silent) Sleep(100);
  act::EndOfRun();
}

}  // namespace en
