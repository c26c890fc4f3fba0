// Path variables and text expansion.
#pragma once

#include <string>

namespace en {

// Reads a registry value as text: REG_SZ as is, REG_EXPAND_SZ with the
// environment expanded, REG_DWORD in decimal; anything else is empty.
std::string ReadRegistryText(long long root, const std::string& key, const std::string& name);
// Reduces the registry variable list to one text per record: the registry
// value, or the record's default when that is empty.
void LoadRegistryVariables();
// Replaces every variable token of a text by its value.
std::string ExpandText(const std::string& text);

}  // namespace en
