#include "actions/registry_ini.h"

#include <windows.h>

#include <vector>

#include "cab/safe_name.h"
#include "engine/run_state.h"
#include "engine/variables.h"
#include "startup/state.h"
#include "text/text.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/system.h"

namespace actions {

void WriteRegistryValue(long long root, const std::string& key, const std::string& name,
                        const std::string& data, long long type, bool overwrite) {
  static const char* const kRoots[] = {"HKCR", "HKCU", "HKLM", "HKU", "", "HKCC"};
  const std::string where = std::string(root >= 0 && root <= 5 ? kRoots[root] : "?") + "\\" + key +
                            " value \"" + name + "\"";
  HKEY rootKey = toolkit::RegistryRoot(root);
  if (!rootKey) return;
  HKEY handle = nullptr;
  if (RegCreateKeyExA(rootKey, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    toolkit::Log({"registry: cannot open ", where});
    return;
  }
  const bool exists =
      RegQueryValueExA(handle, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  if (!overwrite && exists) toolkit::Log({"registry: kept the existing ", where});
  if (overwrite || !exists) {
    toolkit::Log({"registry: ", where, " = ", data});
    switch (type) {
      case kRegString:
        RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
        break;
      case kRegBinary: {
        const std::vector<uint8_t> bytes = qb::HexPairs(data);
        RegSetValueExA(handle, name.c_str(), 0, REG_BINARY, bytes.data(),
                       static_cast<DWORD>(bytes.size()));
        break;
      }
      case kRegDword: {
        const DWORD value = static_cast<DWORD>(qb::ReadNumber(data));
        RegSetValueExA(handle, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
        break;
      }
      default:
        break;  // the key alone
    }
  }
  RegCloseKey(handle);
}

void WriteRegistryValues(engine::RunState& run) {
  const qb::RecordList& values = startup::Package.Records(qb::List::kRegistryValues);
  for (size_t r = 0; r < values.Count(); ++r) {
    WriteRegistryValue(qb::ReadNumber(values.Field(r, 0)), engine::ExpandText(values.Field(r, 1)),
                       engine::ExpandText(values.Field(r, 2)),
                       engine::ExpandText(values.Field(r, 3)), qb::ReadNumber(values.Field(r, 4)),
                       qb::ReadNumber(values.Field(r, 5)) == 1);
    run.ProgressStep();
  }
}

void WriteIniEntries(engine::RunState& run) {
  const qb::RecordList& entries = startup::Package.Records(qb::List::kIniEntries);
  for (size_t r = 0; r < entries.Count(); ++r) {
    const std::string file = engine::ExpandText(entries.Field(r, 0));
    // A full path the safe-name rule accepts, or a bare name, which the
    // system places in the Windows folder.
    if (!qb::IsSafeDestinationPath(file) && !qb::IsSafePathComponent(file)) {
      toolkit::Log({"INI entry skipped (not a safe path): ", file});
      run.ProgressStep();
      continue;
    }
    toolkit::CreateFolderChain(toolkit::FolderPart(file));
    const std::string section = engine::ExpandText(entries.Field(r, 1));
    const std::string key = engine::ExpandText(entries.Field(r, 2));
    const std::string value = engine::ExpandText(entries.Field(r, 3));
    bool write = true;
    if (qb::ReadNumber(entries.Field(r, 4)) == 0) {
      // Keep a value that is already there.
      std::vector<char> present(4096);
      GetPrivateProfileStringA(section.c_str(), key.c_str(), "", present.data(),
                               static_cast<DWORD>(present.size()), file.c_str());
      write = present[0] == '\0';
    }
    const std::string entry = file + " [" + section + "] " + key;
    if (write) {
      WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str());
      toolkit::Log({"INI: ", entry, " = ", value});
    } else {
      toolkit::Log({"INI: kept the existing ", entry});
    }
    run.ProgressStep();
  }
}

}  // namespace actions
