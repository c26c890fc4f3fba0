#include "actions/components.h"

#include <windows.h>

#include "engine/run_state.h"
#include "engine/variables.h"
#include "toolkit/application.h"
#include "toolkit/log.h"
#include "toolkit/shell.h"
#include "toolkit/system.h"

namespace actions {

namespace {

// Loads a component by its full path (its own folder and the system folder
// serve its dependencies) and calls its DllRegisterServer.
void RegisterComponent(const std::string& path) {
  constexpr DWORD kSearchDllFolder = 0x00000100;  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
  constexpr DWORD kSearchSystem32 = 0x00000800;   // LOAD_LIBRARY_SEARCH_SYSTEM32
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, kSearchDllFolder | kSearchSystem32);
  if (!module) module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) return;
  using RegisterFn = HRESULT(STDAPICALLTYPE*)();
  if (auto reg = toolkit::LibraryFunction<RegisterFn>(module, "DllRegisterServer")) {
    reg();
  }
  FreeLibrary(module);
}

}  // namespace

void RegisterComponents(engine::RunState& run) {
  const qb::RecordList& components = run.session.package.Records(qb::List::kComponents);
  for (size_t r = 0; r < components.Count(); ++r) {
    const std::string path = engine::ExpandText(components.Field(r, 0));
    run.Status(run.session.package.Msg(qb::kMsgStatusFontPrefix) +
               path.substr(path.find_last_of('\\') + 1));
    toolkit::Application.ProcessMessages();
    toolkit::Log({"component: ", path});
    if (run.session.state.native64) {
      // A 64-bit component cannot be loaded into this 32-bit process.
      if (!toolkit::RunNativeRegsvr32(
              toolkit::UnredirectedPath(path), false,
              [](void*) { toolkit::Application.ProcessMessages(); }, nullptr))
        toolkit::Log({"component: FAILED to start the native regsvr32 for ", path});
    } else {
      RegisterComponent(path);
    }
    run.ProgressStep();
  }
}

}  // namespace actions
