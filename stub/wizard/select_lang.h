// The language selection dialog, shown at startup when a package has two or
// more languages and no /L= option chose one.
#pragma once

#include "session/session.h"

namespace wizard {

// Shows the dialog modally; on confirmation it sets the selected language
// index and name of the session. Returns whether the user confirmed.
bool SelectLanguage(session::Session& session);

}  // namespace wizard
