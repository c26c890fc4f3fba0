// The language selection dialog, shown at startup when a package has two or
// more languages and no /L= option chose one.
#pragma once

namespace wizard {

// Shows the dialog modally; on confirmation it sets the selected language
// index and name of the startup state. Returns whether the user confirmed.
bool SelectLanguage();

}  // namespace wizard
