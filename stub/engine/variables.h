// Path variables and text expansion over the running system.
#pragma once

#include <windows.h>

#include <string>

#include "session/session.h"

namespace engine {

// Reads a registry value as text: REG_SZ as is, REG_EXPAND_SZ with the
// environment expanded, REG_DWORD in decimal, REG_DWORD_BIG_ENDIAN "0";
// anything else, and a missing key or value, is empty. The view is 0 (this
// process's own) or toolkit::RegistryView's flag.
std::string ReadRegistryText(long long root, const std::string& key, const std::string& name,
                             REGSAM view = 0);
// The session whose language and registry variables the variables give;
// the startup routine binds its one session before anything is expanded.
void BindSession(const session::Session& session);
// Reduces the session's registry variable list to one text per record: the
// registry value, or the record's default when that is empty.
void LoadRegistryVariables(session::Session& session);
// Replaces every variable token of a text by its value.
std::string ExpandText(const std::string& text);
// The value of one variable, without a trailing backslash.
std::string Variable(int number);
// The destination folder that variable 4 gives; the wizard keeps it, always
// with a trailing backslash.
void SetDestinationFolder(const std::string& folder);
const std::string& DestinationFolder();
// Whether Windows is of the NT family.
bool IsNtFamily();

}  // namespace engine
