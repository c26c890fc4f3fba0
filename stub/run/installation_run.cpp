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
#include "session/workfolder.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/system.h"

namespace installation {

namespace {

// The run in progress, for a program that ends in its middle.
engine::RunState* activeRun = nullptr;

void CreateFolders(engine::RunState& state) {
  state.Status(state.session.package.Msg(qb::kMsgStatusFolders));
  const qb::RecordList& folders = state.session.package.Records(qb::List::kFolders);
  for (size_t r = 0; r < folders.Count(); ++r) {
    const std::string path = engine::ExpandText(folders.Field(r, 0));
    if (path.size() >= 3 && qb::IsSafeFolderPath(path)) {
      toolkit::CreateFolderChain(state.session.state.native64 ? toolkit::UnredirectedPath(path)
                                                              : path);
      toolkit::Log({"folder: ", path});
    } else {
      toolkit::Log({"folder skipped (not a safe full path): ", path});
    }
    state.ProgressStep();
  }
}

}  // namespace

void DiscardActiveRun() {
  if (activeRun) engine::DiscardExtraction(*activeRun);
}

void InstallationRun(session::Session& session, engine::InstallationHost& host,
                     const engine::UserChoices& choices) {
  const qb::Package& pkg = session.package;
  engine::RunState state(session, host, choices);
  activeRun = &state;
  toolkit::Log({"installation into ", engine::Variable(4)});
  // Before anything is replaced: what an earlier installation's log names.
  actions::ReadEarlierLog(state);
  toolkit::Log("stage: programs before the files");
  actions::RunPrograms(state, actions::kBeforeFiles);
  toolkit::Log("stage: files");
  if (!engine::ExtractFiles(state)) actions::AbandonInstallation(state);
  toolkit::Log("stage: folders");
  CreateFolders(state);
  toolkit::Log("stage: registry values");
  state.Status(pkg.Msg(qb::kMsgStatusRegistry));
  actions::WriteRegistryValues(state);
  toolkit::Log("stage: fonts");
  actions::InstallFonts(state);
  toolkit::Log("stage: shortcuts");
  state.Status(pkg.Msg(qb::kMsgStatusShortcuts));
  actions::CreateShortcuts(state);
  // The INI entries come before the log, which names those written.
  toolkit::Log("stage: INI entries");
  state.Status(pkg.Msg(qb::kMsgStatusIni));
  actions::WriteIniEntries(state);
  if (pkg.Flag(qb::kWriteUninstall)) {
    toolkit::Log("stage: uninstall information");
    state.Status(pkg.Msg(qb::kMsgStatusUninstall));
    // The Add/Remove Programs entry points at the uninstaller and its log,
    // so it is written only once both are in place; without them the
    // installation is given up and no entry is written. The log names the
    // entry's values as this run's although they are written right after
    // it: a log written after the entry would have to take the entry back
    // when it failed. A value of the entry that then cannot be written is
    // logged as failed; the uninstaller's removal of a value that is not
    // there does nothing.
    actions::LogFingerprint fingerprint;
    if (!actions::WriteUninstallLog(state, fingerprint)) actions::AbandonInstallation(state);
    if (!actions::WriteUninstallEntry(state, fingerprint.size, fingerprint.sha256))
      toolkit::Log("uninstall information: the Add/Remove Programs entry is incomplete");
    state.ProgressStep();
  }
  if (pkg.Text(qb::kComponentCount) != "0") {
    toolkit::Log("stage: components");
    actions::RegisterComponents(state);
  }
  toolkit::Log("stage: programs at the end");
  actions::RunPrograms(state, actions::kAfterInstall);
  toolkit::Log("stage: finishing");
  state.Status(pkg.Msg(qb::kMsgStatusFinishing));
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  session::RemoveWorkFolder(session);
  activeRun = nullptr;
}

}  // namespace installation
