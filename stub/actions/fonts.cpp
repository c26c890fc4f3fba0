#include "actions/fonts.h"

#include <windows.h>

#include "actions/registry_ini.h"
#include "engine/run_state.h"
#include "engine/variables.h"
#include "text/text.h"
#include "toolkit/application.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/system.h"

namespace actions {

void InstallFonts(engine::RunState& run) {
  const qb::Package& pkg = run.session.package;
  const qb::RecordList& fonts = pkg.Records(qb::List::kFonts);
  const std::string key = std::string("Software\\Microsoft\\Windows") +
                          (engine::IsNtFamily() ? " NT" : "") + "\\CurrentVersion\\Fonts";
  for (size_t r = 0; r < fonts.Count(); ++r) {
    const std::string file = engine::ExpandText(fonts.Field(r, 1));
    run.Status(pkg.Msg(qb::kMsgStatusFontPrefix) + toolkit::NamePart(file));
    toolkit::Application.ProcessMessages();
    if (toolkit::FileExists(file)) {
      // A font inside the Fonts folder is entered by its file name alone.
      const std::string fontsFolder = qb::UpperAscii(engine::Variable(15));
      const bool inFonts =
          !fontsFolder.empty() && qb::UpperAscii(file).find(fontsFolder) != std::string::npos;
      const std::string data = inFonts ? toolkit::NamePart(file) : file;
      WriteRegistryValue(2, key, engine::ExpandText(fonts.Field(r, 0)), data, kRegString, false,
                         toolkit::RegistryView(run.session.state.native64));
      AddFontResourceA(file.c_str());
      toolkit::Log({"font: ", file});
      SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    }
    if (!toolkit::FileExists(file)) toolkit::Log({"font skipped (no such file): ", file});
    run.ProgressStep();
  }
}

}  // namespace actions
