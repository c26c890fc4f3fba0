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

namespace installation {

namespace {

// The run in progress, for a program that ends in its middle.
engine::RunState* activeRun = nullptr;

const std::string& Msg(int m) { return startup::Package.Msg(m); }

void CreateFolders(engine::RunState& state) {
  state.Status(Msg(qb::kMsgStatusFolders));
  const qb::RecordList& folders = startup::Package.Records(qb::List::kFolders);
  for (size_t r = 0; r < folders.Count(); ++r) {
    const std::string path = engine::ExpandText(folders.Field(r, 0));
    if (path.size() >= 3 && qb::IsSafeFolderPath(path)) toolkit::CreateFolderChain(path);
    state.ProgressStep();
  }
}

}  // namespace

void DiscardActiveRun() {
  if (activeRun) engine::DiscardExtraction(*activeRun);
}

void InstallationRun(engine::InstallationHost& host, const engine::UserChoices& choices) {
  const qb::Package& pkg = startup::Package;
  engine::RunState state(host, choices);
  activeRun = &state;
  actions::RunPrograms(state, actions::kBeforeFiles);
  if (!engine::ExtractFiles(state)) actions::AbandonInstallation(state);
  CreateFolders(state);
  state.Status(Msg(qb::kMsgStatusRegistry));
  actions::WriteRegistryValues(state);
  actions::InstallFonts(state);
  state.Status(Msg(qb::kMsgStatusShortcuts));
  actions::CreateShortcuts(state);
  if (pkg.Flag(qb::kWriteUninstall)) {
    state.Status(Msg(qb::kMsgStatusUninstall));
    actions::WriteUninstallLog(state);
    state.ProgressStep();
  }
  state.Status(Msg(qb::kMsgStatusIni));
  actions::WriteIniEntries(state);
  if (pkg.Text(qb::kComponentCount) != "0") actions::RegisterComponents(state);
  actions::RunPrograms(state, actions::kAfterInstall);
  state.Status(Msg(qb::kMsgStatusFinishing));
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  startup::RemoveWorkFolder();
  activeRun = nullptr;
}

}  // namespace installation
