// Registry values and INI entries of the package.
#pragma once

#include <string>

#include "engine/run_state.h"

namespace actions {

enum RegistryType : int { kRegString = 0, kRegBinary = 1, kRegDword = 2 };

// Creates the key (and every missing key above it) and writes the value,
// unless overwrite is off and a value of that name exists. A type other than
// string, binary or double word creates only the key.
void WriteRegistryValue(long long root, const std::string& key, const std::string& name,
                        const std::string& data, long long type, bool overwrite);

// The registry value list; one progress step per record.
void WriteRegistryValues(engine::RunState& run);
// The INI entry list; one progress step per record.
void WriteIniEntries(engine::RunState& run);

}  // namespace actions
