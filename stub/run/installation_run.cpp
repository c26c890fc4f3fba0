#include "run/installation_run.h"

#include <windows.h>

#include "actions/completion.h"
#include "actions/components.h"
#include "actions/fonts.h"
#include "actions/programs.h"
#include "actions/registry_ini.h"
#include "actions/shortcuts.h"
#include "actions/uninstall_log.h"
#include "cab/safe_name.h"
#include "engine/extract.h"
#include "engine/variables.h"
#include "startup/state.h"
#include "startup/workfolder.h"
#include "toolkit/files.h"

namespace run {

namespace {

// The run in progress, for a program that ends in its middle.
en::RunState* activeRun = nullptr;

const std::string& Msg(int m) { return st::Package.Msg(m); }

void CreateFolders(en::RunState& state) {
  state.Status(Msg(qb::kMsgStatusFolders));
  const qb::RecordList& folders = st::Package.Records(qb::List::kFolders);
  for (size_t r = 0; r < folders.Count(); ++r) {
    const std::string path = en::ExpandText(folders.Field(r, 0));
    if (path.size() >= 3 && qb::IsSafeFolderPath(path)) tk::CreateFolderChain(path);
    state.ProgressStep();
  }
}

}  // namespace

void DiscardActiveRun() {
  if (activeRun) en::DiscardExtraction(*activeRun);
}

void InstallationRun(en::InstallationHost& host, const en::UserChoices& choices) {
  const qb::Package& pkg = st::Package;
  en::RunState state(host, choices);
  activeRun = &state;
  act::RunPrograms(state, act::kBeforeFiles);
  if (!en::ExtractFiles(state)) act::AbandonInstallation(state);
  CreateFolders(state);
  state.Status(Msg(qb::kMsgStatusRegistry));
  act::WriteRegistryValues(state);
  act::InstallFonts(state);
  state.Status(Msg(qb::kMsgStatusShortcuts));
  act::CreateShortcuts(state);
  if (pkg.Flag(qb::kWriteUninstall)) {
    state.Status(Msg(qb::kMsgStatusUninstall));
    act::WriteUninstallLog(state);
    state.ProgressStep();
  }
  state.Status(Msg(qb::kMsgStatusIni));
  act::WriteIniEntries(state);
  if (pkg.Text(qb::kComponentCount) != "0") act::RegisterComponents(state);
  act::RunPrograms(state, act::kAfterInstall);
  state.Status(Msg(qb::kMsgStatusFinishing));
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  st::RemoveWorkFolder();
  activeRun = nullptr;
}

}  // namespace run
