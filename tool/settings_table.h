// Every setting of a package under a readable name, with the way it is
// written in a manifest and its default.
#pragma once

#include <string>
#include <vector>

namespace tool {

enum class Kind {
  kFlag,      // true / false
  kNumber,    // integer
  kColour,    // integer 0x00BBGGRR, or 0x80000000 + system colour index
  kText,      // string used as stored by the installer
  kExpanded,  // string with {variables}, expanded by the installer
  kComputed,  // filled in by the tool from what the package holds
  kUnused,    // a position the installer never reads
};

struct SettingInfo {
  int index;
  const char* name;
  Kind kind;
  const char* defaultValue;  // as stored in the package
  const char* help;
};

const std::vector<SettingInfo>& AllSettings();
const SettingInfo* FindSetting(const std::string& name);
const SettingInfo* SettingAt(int index);

}  // namespace tool
