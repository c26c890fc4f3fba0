#include "actions/registry_ini.h"

#include <windows.h>

#include <vector>

#include "cab/safe_name.h"
#include "engine/run_state.h"
#include "engine/variables.h"
#include "text/text.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/system.h"

namespace actions {

const char* const kLogSizeValue = "QuillboxLogSize";
const char* const kLogSha256Value = "QuillboxLogSha256";

namespace {

std::string KeyName(long long root, const std::string& key) {
  static const char* const kRoots[] = {"HKCR", "HKCU", "HKLM", "HKU", "", "HKCC"};
  return std::string(root >= 0 && root <= 5 ? kRoots[root] : "?") + "\\" + key;
}

}  // namespace

RegistryResult WriteRegistryValue(long long root, const std::string& key, const std::string& name,
                                  const std::string& data, long long type, bool overwrite,
                                  REGSAM view) {
  const bool keyOnly = type != kRegString && type != kRegBinary && type != kRegDword;
  const std::string where = KeyName(root, key) + (keyOnly ? "" : " value \"" + name + "\"");
  HKEY rootKey = toolkit::RegistryRoot(root);
  if (!rootKey) {
    toolkit::Log({"registry: FAILED, no such root: ", where});
    return kRegFailed;
  }
  HKEY handle = nullptr;
  DWORD disposition = 0;
  const LONG opened = RegCreateKeyExA(rootKey, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS | view, nullptr, &handle, &disposition);
  if (opened != ERROR_SUCCESS) {
    toolkit::Log({"registry: FAILED to open ", where, ": ", toolkit::SystemErrorText(opened)});
    return kRegFailed;
  }
  RegistryResult result = kRegKept;
  if (keyOnly) {
    // Only a key this run created is the installation's to remove.
    if (disposition == REG_CREATED_NEW_KEY) {
      toolkit::Log({"registry: created the key ", where});
      result = kRegWritten;
    } else {
      toolkit::Log({"registry: kept the existing key ", where});
    }
    RegCloseKey(handle);
    return result;
  }
  const bool exists =
      RegQueryValueExA(handle, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  if (!overwrite && exists) {
    toolkit::Log({"registry: kept the existing ", where});
  } else {
    LONG written = ERROR_SUCCESS;
    switch (type) {
      case kRegString:
        written = RegSetValueExA(handle, name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>(data.size() + 1));
        break;
      case kRegBinary: {
        const std::vector<uint8_t> bytes = qb::HexPairs(data);
        written = RegSetValueExA(handle, name.c_str(), 0, REG_BINARY, bytes.data(),
                                 static_cast<DWORD>(bytes.size()));
        break;
      }
      default: {
        const DWORD value = static_cast<DWORD>(qb::ReadNumber(data));
        written = RegSetValueExA(handle, name.c_str(), 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&value), sizeof value);
        break;
      }
    }
    if (written == ERROR_SUCCESS) {
      toolkit::Log({"registry: ", where, " = ", data});
      result = kRegWritten;
    } else {
      toolkit::Log({"registry: FAILED to write ", where, ": ", toolkit::SystemErrorText(written)});
      result = kRegFailed;
    }
  }
  if (RegCloseKey(handle) != ERROR_SUCCESS && result == kRegWritten) {
    toolkit::Log({"registry: FAILED to close ", where});
    result = kRegFailed;
  }
  return result;
}

namespace {

const char kEntryFolder[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

void WriteRecord(engine::RunState& run, const qb::RecordList& values, size_t r) {
  run.registryValueWritten[r] =
      WriteRegistryValue(qb::ReadNumber(values.Field(r, 0)), engine::ExpandText(values.Field(r, 1)),
                         engine::ExpandText(values.Field(r, 2)),
                         engine::ExpandText(values.Field(r, 3)), qb::ReadNumber(values.Field(r, 4)),
                         qb::ReadNumber(values.Field(r, 5)) == 1,
                         toolkit::RegistryView(run.session.state.native64)) == kRegWritten;
}

}  // namespace

bool IsUninstallEntryRecord(const qb::Package& pkg, size_t record) {
  const qb::RecordList& values = pkg.Records(qb::List::kRegistryValues);
  if (!pkg.Flag(qb::kWriteUninstall) || record >= values.Count()) return false;
  const int64_t root = qb::ReadNumber(values.Field(record, 0));
  const std::string key = qb::UpperAscii(engine::ExpandText(values.Field(record, 1)));
  const std::string folder = qb::UpperAscii(kEntryFolder);
  return (root == 1 || root == 2) && key.size() > folder.size() &&
         key.compare(0, folder.size(), folder) == 0;
}

bool UninstallEntryKey(const qb::Package& pkg, long long& root, std::string& key) {
  const qb::RecordList& values = pkg.Records(qb::List::kRegistryValues);
  for (size_t r = 0; r < values.Count(); ++r) {
    if (!IsUninstallEntryRecord(pkg, r)) continue;
    root = qb::ReadNumber(values.Field(r, 0));
    key = engine::ExpandText(values.Field(r, 1));
    return true;
  }
  return false;
}

void WriteRegistryValues(engine::RunState& run) {
  // A [[registry_keys]] key that is there before the run is someone else's:
  // only a new one is the installation's to remove.
  const qb::RecordList& keys = run.session.package.Records(qb::List::kRegistryKeys);
  run.registryKeyNew.assign(keys.Count(), false);
  for (size_t r = 0; r < keys.Count(); ++r) {
    const long long root = qb::ReadNumber(keys.Field(r, 0));
    const std::string key = engine::ExpandText(keys.Field(r, 1));
    HKEY rootKey = toolkit::RegistryRoot(root);
    HKEY handle = nullptr;
    const LONG opened =
        rootKey
            ? RegOpenKeyExA(rootKey, key.c_str(), 0,
                            KEY_READ | toolkit::RegistryView(run.session.state.native64), &handle)
            : ERROR_BADKEY;
    if (opened == ERROR_SUCCESS) RegCloseKey(handle);
    run.registryKeyNew[r] = opened == ERROR_FILE_NOT_FOUND && !key.empty();
    toolkit::Log({"registry key for removal when empty: ", KeyName(root, key),
                  run.registryKeyNew[r] ? " (new)" : " (there already: it stays)"});
  }

  const qb::RecordList& values = run.session.package.Records(qb::List::kRegistryValues);
  run.registryValueWritten.assign(values.Count(), false);
  for (size_t r = 0; r < values.Count(); ++r) {
    // The entry is written after the uninstall log, which names its values
    // as written by this run (WriteUninstallEntry writes them right after).
    if (IsUninstallEntryRecord(run.session.package, r)) {
      run.registryValueWritten[r] = true;
    } else {
      WriteRecord(run, values, r);
    }
    run.ProgressStep();
  }
}

bool WriteUninstallEntry(engine::RunState& run, const std::string& logSize,
                         const std::string& logSha256) {
  const qb::RecordList& values = run.session.package.Records(qb::List::kRegistryValues);
  run.registryValueWritten.resize(values.Count(), false);
  bool all = true;
  for (size_t r = 0; r < values.Count(); ++r) {
    if (!IsUninstallEntryRecord(run.session.package, r)) continue;
    WriteRecord(run, values, r);
    all = all && run.registryValueWritten[r];
  }
  long long root = 0;
  std::string key;
  if (UninstallEntryKey(run.session.package, root, key)) {
    const REGSAM view = toolkit::RegistryView(run.session.state.native64);
    all = WriteRegistryValue(root, key, kLogSizeValue, logSize, kRegString, true, view) ==
              kRegWritten &&
          all;
    all = WriteRegistryValue(root, key, kLogSha256Value, logSha256, kRegString, true, view) ==
              kRegWritten &&
          all;
  }
  return all;
}

void WriteIniEntries(engine::RunState& run) {
  const qb::RecordList& entries = run.session.package.Records(qb::List::kIniEntries);
  run.iniEntryWritten.assign(entries.Count(), false);
  for (size_t r = 0; r < entries.Count(); ++r) {
    std::string file = engine::ExpandText(entries.Field(r, 0));
    if (run.session.state.native64) file = toolkit::UnredirectedPath(file);
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
    if (!write) {
      toolkit::Log({"INI: kept the existing ", entry});
    } else if (WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                          file.c_str())) {
      run.iniEntryWritten[r] = true;
      toolkit::Log({"INI: ", entry, " = ", value});
    } else {
      toolkit::Log(
          {"INI: FAILED to write ", entry, ": ", toolkit::SystemErrorText(GetLastError())});
    }
    run.ProgressStep();
  }
}

}  // namespace actions
