#include "wizard/select_lang.h"

#include "startup/state.h"

namespace wz {

bool SelectLanguage() {
  // The dialog is not built yet: the first language is taken as confirmed.
  st::Startup.languageIndex = 0;
  st::Startup.languageName = st::Package.Records(qb::List::kLanguages).Field(0, qb::kLanguageName);
  st::Startup.languageConfirmed = true;
  return true;
}

}  // namespace wz
