#include "actions/uninstall_log.h"

#include <windows.h>

#include <cstring>

#include "actions/registry_ini.h"
#include "engine/run_state.h"
#include "engine/variables.h"
#include "package/signature.h"
#include "package/support_files.h"
#include "session/workfolder.h"
#include "text/sha256.h"
#include "text/text.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/system.h"
#include "uninstall/log_reader.h"
#include "uninstall/uninstall_log.h"

namespace actions {

namespace {

// An uninstall log larger than this is not one the installer made.
constexpr uint64_t kLargestEarlierLog = 64u << 20;
// Nor is an uninstaller larger than this one the installer unpacked.
constexpr uint64_t kLargestUninstaller = 256u << 20;

// The whole file, or false when it cannot be read in full.
bool ReadWholeFile(const std::string& path, std::string& bytes, uint64_t limit) {
  toolkit::TFileStream in;
  if (!in.OpenRead(path)) return false;
  const uint64_t size = in.Size();
  if (size > limit) return false;
  bytes.assign(static_cast<size_t>(size), '\0');
  return size == 0 || in.Read(&bytes[0], bytes.size()) == bytes.size();
}

void Failed(const char* what, const std::string& path, DWORD error) {
  toolkit::Log({"uninstall information: FAILED to write ", what, " ", path, ": ",
                toolkit::SystemErrorText(error)});
}

// Adds the trailer to the uninstaller and checks that the file now ends with
// it. A signed uninstaller keeps its signature: the trailer goes inside its
// certificate table.
bool AppendTrailer(const std::string& uninstaller, const std::vector<uint8_t>& trailer,
                   const std::string& logPath) {
  std::string original;
  if (!ReadWholeFile(uninstaller, original, kLargestUninstaller)) {
    Failed("the uninstaller", uninstaller, GetLastError());
    return false;
  }
  std::vector<uint8_t> program(original.begin(), original.end());
  if (qb::AppendKeepingSignature(program, trailer)) {
    toolkit::Log(
        "uninstall information: the uninstaller is signed; its trailer goes inside the "
        "signature's certificate table");
  }
  // The file only grows: writing it from its start replaces every byte.
  HANDLE h = CreateFileA(uninstaller.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Failed("the uninstaller", uninstaller, GetLastError());
    return false;
  }
  DWORD error = ERROR_SUCCESS;
  if (!toolkit::WriteAllAndClose(h, program.data(), program.size(), error)) {
    Failed("the uninstaller", uninstaller, error);
    return false;
  }
  // Read back: the file is what was written, ends with the trailer, and its
  // reader finds the log there.
  std::string back;
  std::string named;
  uint64_t pathStart = 0;
  const bool same = ReadWholeFile(uninstaller, back, program.size()) &&
                    back.size() == program.size() &&
                    std::memcmp(back.data(), program.data(), back.size()) == 0;
  qb::MemorySource written(std::move(program));
  if (!same || !qb::ReadTrailerLogPath(written, named, pathStart) || named != logPath) {
    toolkit::Log({"uninstall information: FAILED: the uninstaller ", uninstaller,
                  " does not end with the trailer written to it"});
    return false;
  }
  return true;
}

// Writes the log and checks it by reading it back.
bool WriteLogFile(const std::string& logPath, const std::string& text) {
  HANDLE h = CreateFileA(logPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Failed("the uninstall log", logPath, GetLastError());
    return false;
  }
  DWORD error = ERROR_SUCCESS;
  if (!toolkit::WriteAllAndClose(h, text.data(), text.size(), error)) {
    Failed("the uninstall log", logPath, error);
    return false;
  }
  std::string back;
  if (!ReadWholeFile(logPath, back, text.size()) || back != text) {
    toolkit::Log({"uninstall information: FAILED: the uninstall log ", logPath,
                  " does not read back as written"});
    return false;
  }
  return true;
}

bool KeyExists(int64_t root, const std::string& key) {
  HKEY rootKey = toolkit::RegistryRoot(root);
  HKEY h = nullptr;
  if (!rootKey || key.empty() ||
      RegOpenKeyExA(rootKey, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
    return false;
  RegCloseKey(h);
  return true;
}

bool IniEntryExists(const qb::LoggedIniEntry& e) {
  // A value never holds a line end, so the default tells a missing entry.
  char value[8] = {};
  GetPrivateProfileStringA(e.section.c_str(), e.key.c_str(), "\n", value, sizeof value,
                           e.file.c_str());
  return toolkit::FileExists(e.file) && std::string(value) != "\n";
}

uint64_t WriteTime(const WIN32_FILE_ATTRIBUTE_DATA& data) {
  return static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
         data.ftLastWriteTime.dwLowDateTime;
}

// A file of the earlier installation that is still there and was not
// written after its log: one written later is the user's now, as the
// uninstaller would have judged it.
bool UnchangedFile(const std::string& path, uint64_t logTime) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
         !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && WriteTime(data) <= logTime;
}

// What the earlier log names that is still there: files (shortcuts among
// them) not changed since, folders, INI entries, and registry records
// whose key is still there (a record with an empty name may stand for the
// key alone, so the key decides). Programs, components, fonts and extras
// are the new package's to name.
qb::UninstallLog StillThere(const qb::UninstallLog& earlier, uint64_t logTime) {
  qb::UninstallLog out;
  for (const std::string& f : earlier.files)
    if (UnchangedFile(f, logTime)) out.files.push_back(f);
  for (const std::string& f : earlier.folders)
    if (toolkit::FolderExists(f)) out.folders.push_back(f);
  for (const qb::LoggedIniEntry& e : earlier.ini)
    if (IniEntryExists(e)) out.ini.push_back(e);
  for (const qb::LoggedRegistryValue& v : earlier.registry)
    if (KeyExists(v.root, v.key)) out.registry.push_back(v);
  return out;
}

}  // namespace

void ReadEarlierLog(engine::RunState& run) {
  const qb::Package& pkg = run.session.package;
  run.earlierLog = qb::UninstallLog();
  if (!pkg.Flag(qb::kWriteUninstall)) return;
  const std::string logPath = engine::ExpandText(pkg.Text(qb::kUninstallLogPath));
  std::string bytes;
  if (!toolkit::FileExists(logPath)) return;
  qb::UninstallLog log;
  if (!ReadWholeFile(logPath, bytes, kLargestEarlierLog) || !qb::ParseUninstallLog(bytes, log)) {
    toolkit::Log({"uninstall information: the earlier log ", logPath,
                  " is not a log; nothing of it is carried over"});
    return;
  }
  // The entry of an earlier installation tells which log it wrote.
  long long root = 0;
  std::string key;
  if (UninstallEntryKey(run.session.package, root, key)) {
    const REGSAM view = toolkit::RegistryView(run.session.state.native64);
    const std::string size = engine::ReadRegistryText(root, key, kLogSizeValue, view);
    const std::string sha256 = engine::ReadRegistryText(root, key, kLogSha256Value, view);
    if ((!size.empty() && size != qb::Decimal(static_cast<int64_t>(bytes.size()))) ||
        (!sha256.empty() && sha256 != qb::Sha256Hex(bytes.data(), bytes.size()))) {
      toolkit::Log({"uninstall information: the earlier log ", logPath,
                    " does not match its entry; nothing of it is carried over"});
      return;
    }
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(logPath.c_str(), GetFileExInfoStandard, &data)) return;
  toolkit::Log({"uninstall information: earlier log ", logPath, " read"});
  run.earlierLog = std::move(log);
  run.earlierLogTime = WriteTime(data);
}

bool WriteUninstallLog(engine::RunState& run, LogFingerprint& fingerprint) {
  const qb::Package& pkg = run.session.package;
  const std::string uninstaller = engine::ExpandText(pkg.Text(qb::kUninstallerPath));
  const std::string logPath = engine::ExpandText(pkg.Text(qb::kUninstallLogPath));
  toolkit::CreateFolderChain(toolkit::FolderPart(uninstaller));
  toolkit::CreateFolderChain(toolkit::FolderPart(logPath));

  if (!toolkit::FileExists(uninstaller)) {
    toolkit::Log({"uninstall information: FAILED: there is no uninstaller at ", uninstaller});
    return false;
  }
  // The header bitmap travels as the BMP file it was loaded from.
  std::string bitmapFile;
  const bool withBitmap = pkg.Flag(qb::kHeaderBitmap);
  if (withBitmap &&
      !ReadWholeFile(session::SupportFile(qb::kSupportHeaderBitmap), bitmapFile, UINT32_MAX)) {
    toolkit::Log("uninstall information: FAILED to read the header picture");
    return false;
  }
  const std::vector<uint8_t> bitmap(bitmapFile.begin(), bitmapFile.end());
  if (!AppendTrailer(uninstaller, qb::UninstallerTrailer(withBitmap ? &bitmap : nullptr, logPath),
                     logPath)) {
    return false;
  }

  const qb::UninstallLog earlier = StillThere(run.earlierLog, run.earlierLogTime);
  qb::UninstallLogInput input;
  input.package = &pkg;
  input.installedFiles = run.installedFiles;
  input.destinationFolder = engine::Variable(4);
  input.native64 = run.session.state.native64;
  input.expand = engine::ExpandText;
  input.registryValuesWritten = run.registryValueWritten;
  input.registryKeysNew = run.registryKeyNew;
  input.iniEntriesWritten = run.iniEntryWritten;
  input.earlier = &earlier;
  // The fingerprint values go into the entry with its other values, and go
  // with them at removal.
  long long root = 0;
  std::string key;
  if (UninstallEntryKey(run.session.package, root, key)) {
    input.moreRegistry.push_back({root, key, kLogSizeValue});
    input.moreRegistry.push_back({root, key, kLogSha256Value});
  }
  const std::string text = qb::UninstallLogText(qb::BuildUninstallLog(input));
  if (!WriteLogFile(logPath, text)) return false;
  fingerprint.size = qb::Decimal(static_cast<int64_t>(text.size()));
  fingerprint.sha256 = qb::Sha256Hex(text.data(), text.size());
  toolkit::Log({"uninstall log: ", logPath, " (", fingerprint.size, " bytes, ",
                qb::Decimal(static_cast<int64_t>(earlier.files.size() + earlier.folders.size() +
                                                 earlier.ini.size() + earlier.registry.size())),
                " entries of the earlier log still there)"});
  return true;
}

}  // namespace actions
