#include "self_copy.h"

#include <windows.h>
// sddl.h needs windows.h first.
#include <sddl.h>

#include <vector>

#include "text/text.h"
#include "toolkit/files.h"
#include "toolkit/system.h"
#include "uninstall/removal_rules.h"

namespace uninstaller {

namespace {

// The copy's file name, the same in every folder; the folders' names begin
// with the prefix.
constexpr char kCopyName[] = "quillbox-uninstall.exe";
constexpr char kFolderPrefix[] = "qbu-";

// Only administrators and SYSTEM, for the folder and what is made in it;
// nothing inherited from the folder above.
constexpr char kClosedFolderAccess[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

HANDLE AsHandle(uint64_t value) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)); }

std::string HandleText(HANDLE h) {
  return qb::Decimal(static_cast<int64_t>(reinterpret_cast<uintptr_t>(h)));
}

// Whether the running account acts with administrator rights (an elevated
// administrator, SYSTEM). When that cannot be told, it is taken to: the
// closed folder is then used, which an account without the rights cannot
// write to, so no copy starts and the removal runs in place.
bool HoldsAdministratorRights() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &administrators)) {
    return true;
  }
  BOOL member = FALSE;
  const bool known = CheckTokenMembership(nullptr, administrators, &member) != 0;
  FreeSid(administrators);
  return !known || member;
}

// Sixteen hexadecimal digits from the system's random numbers, mixed with
// the time, the process and the attempt.
std::string UniqueName(uint32_t attempt) {
  uint64_t value = 0;
  using GenRandomFn = BOOLEAN(WINAPI*)(PVOID, ULONG);
  if (HMODULE advapi = GetModuleHandleA("advapi32.dll")) {
    if (auto random = toolkit::LibraryFunction<GenRandomFn>(advapi, "SystemFunction036"))
      random(&value, sizeof value);
  }
  LARGE_INTEGER counter = {};
  QueryPerformanceCounter(&counter);
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  value ^= static_cast<uint64_t>(counter.QuadPart) ^
           (static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) ^
           (static_cast<uint64_t>(GetCurrentProcessId()) << 20) ^
           (static_cast<uint64_t>(attempt) * 0x9E3779B97F4A7C15u);
  std::string name(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) name[i] = "0123456789abcdef"[value & 15];
  return name;
}

// Makes a new folder below parent (which ends with "\") that did not exist
// before; closed gives it the administrators-only access list. False when
// none could be made.
bool MakeOwnFolder(const std::string& parent, bool closed, std::string& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (closed && !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                    kClosedFolderAccess, SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES access = {sizeof access, descriptor, FALSE};
  bool made = false;
  for (uint32_t attempt = 0; attempt < 8 && !made; ++attempt) {
    folder = parent + kFolderPrefix + UniqueName(attempt);
    made = CreateDirectoryA(folder.c_str(), closed ? &access : nullptr) != 0;
    // Someone else's folder of that name is never used; another name is.
    if (!made && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  if (descriptor) LocalFree(descriptor);
  return made;
}

// Where the copy's folder goes: %WINDIR%\Temp for an account with
// administrator rights, the account's own temporary folder for any other.
std::string CopyParent(bool closed) {
  if (!closed) return toolkit::TempFolder();
  char buffer[MAX_PATH + 1] = {};
  const UINT n = GetSystemWindowsDirectoryA(buffer, MAX_PATH);
  if (!n || n > MAX_PATH) return std::string();
  return toolkit::WithBackslash(std::string(buffer, n)) + "Temp\\";
}

// Copies the bytes only: no alternate streams (a downloaded file's zone
// mark would make Windows ask before starting the copy).
bool CopyBytes(const std::string& from, const std::string& to) {
  toolkit::TFileStream in, out;
  if (!in.OpenRead(from) || !out.Create(to)) return false;
  const uint64_t size = in.Size();
  return toolkit::CopyStream(in, out, size) == size;
}

// Removes the copy's folder once the copy has ended and its file is gone
// (the file goes when the last handle to it closes).
void RemoveEndedCopyFolder(const std::string& folder) {
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (RemoveDirectoryA(folder.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return;
    Sleep(50);
  }
}

// Renames the file open as file to the full path to. Through the handle
// that deletes the file when closed, so the deletion follows the file to its
// new name wherever the system tracks it by the handle's own name; without
// SetFileInformationByHandle (before Windows Vista), by name.
bool RenameThroughHandle(HANDLE file, const std::string& to) {
  using SetInformationFn = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto setInformation =
      kernel ? toolkit::LibraryFunction<SetInformationFn>(kernel, "SetFileInformationByHandle")
             : nullptr;
  if (!setInformation) {
    char from[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, from, MAX_PATH);
    return n && n < MAX_PATH && MoveFileExA(from, to.c_str(), 0);
  }
  // The new name as the system's own form of a full path.
  const std::string full = "\\??\\" + to;
  const int characters = MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, nullptr, 0);
  if (characters <= 1) return false;
  const size_t nameBytes = static_cast<size_t>(characters - 1) * sizeof(WCHAR);
  std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  if (MultiByteToWideChar(CP_ACP, 0, full.c_str(), -1, info->FileName, characters) != characters)
    return false;
  return setInformation(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != 0;
}

}  // namespace

bool RunFromTemporaryCopy(const std::string& self, bool silent, int& exitCode) {
  const bool closed = HoldsAdministratorRights();
  const std::string parent = CopyParent(closed);
  std::string folder;
  if (parent.empty() || !MakeOwnFolder(parent, closed, folder)) return false;
  const std::string copy = folder + "\\" + kCopyName;
  if (!CopyBytes(self, copy)) {
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
    return false;
  }
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  // The last of these handles to close deletes the copy: the copy's own,
  // inherited, closes when the copy ends.
  HANDLE keep =
      CreateFileA(copy.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  &inherited, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  HANDLE resultRead = nullptr, resultWrite = nullptr, me = nullptr;
  const bool ready = keep != INVALID_HANDLE_VALUE &&
                     CreatePipe(&resultRead, &resultWrite, &inherited, 0) &&
                     SetHandleInformation(resultRead, HANDLE_FLAG_INHERIT, 0) &&
                     DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                                     &me, SYNCHRONIZE, TRUE, 0);
  PROCESS_INFORMATION process = {};
  bool started = false;
  if (ready) {
    std::string command = "\"" + copy + "\" \"/ORIGINAL=" + self + "\" /PARENT=" + HandleText(me) +
                          " /RESULT=" + HandleText(resultWrite) + " /KEEP=" + HandleText(keep) +
                          (silent ? " /S" : "");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    started = CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                             parent.c_str(), &startup, &process) != 0;
  }
  if (resultWrite) CloseHandle(resultWrite);
  if (me) CloseHandle(me);
  if (!started) {
    if (resultRead) CloseHandle(resultRead);
    if (keep != INVALID_HANDLE_VALUE) CloseHandle(keep);
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
    return false;
  }
  CloseHandle(process.hThread);
  // The copy writes its exit code (four bytes) before it removes this
  // program's file. A copy that ends without writing it (killed, crashed)
  // closes the pipe with fewer: that is no result, whatever the copy's own
  // exit code says.
  std::string received;
  char buffer[4];
  DWORD read = 0;
  while (received.size() < sizeof buffer &&
         ReadFile(resultRead, buffer, static_cast<DWORD>(sizeof buffer - received.size()), &read,
                  nullptr) &&
         read > 0) {
    received.append(buffer, read);
  }
  CloseHandle(resultRead);
  exitCode = qb::CopyExitCode(received);
  if (received.size() < sizeof buffer) {
    // The copy has ended or is ending, and will not clear its folder.
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(keep);
    RemoveEndedCopyFolder(folder);
    return true;
  }
  CloseHandle(process.hProcess);
  CloseHandle(keep);
  return true;
}

bool ReportResult(uint64_t pipe, int exitCode) {
  if (!pipe) return true;
  const int32_t code = exitCode;
  DWORD written = 0;
  const BOOL wrote = WriteFile(AsHandle(pipe), &code, sizeof code, &written, nullptr);
  CloseHandle(AsHandle(pipe));
  // Only the whole code, written, reaches the original.
  return wrote && written == sizeof code;
}

void WaitForOriginal(uint64_t process) {
  if (!process) return;
  WaitForSingleObject(AsHandle(process), 10000);
  CloseHandle(AsHandle(process));
}

void RemoveCopyFolder(const std::string& self, uint64_t keep) {
  std::string folder = toolkit::FolderOf(self);
  if (!folder.empty()) folder.pop_back();
  const std::string name = toolkit::NamePart(folder);
  // Only a folder that an original made for this copy.
  if (!keep || name.compare(0, sizeof kFolderPrefix - 1, kFolderPrefix) != 0 ||
      toolkit::NamePart(self) != kCopyName) {
    return;
  }
  // A running program's file can be renamed, not deleted; beside the
  // folder it still goes when the copy ends. When it cannot be moved, the
  // folder stays behind, empty.
  const std::string moved = toolkit::FolderOf(folder) + name + ".tmp";
  if (RenameThroughHandle(AsHandle(keep), moved)) RemoveDirectoryA(folder.c_str());
}

}  // namespace uninstaller
