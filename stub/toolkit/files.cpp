#include "toolkit/files.h"

#include <vector>

#include "toolkit/application.h"

namespace toolkit {

bool TFileStream::OpenRead(TextArg path) {
  Close();
  handle_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return IsOpen();
}

bool TFileStream::Create(TextArg path) {
  Close();
  handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

void TFileStream::Close() {
  if (IsOpen()) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

size_t TFileStream::Read(void* buffer, size_t size) {
  DWORD done = 0;
  if (!IsOpen() || !ReadFile(handle_, buffer, static_cast<DWORD>(size), &done, nullptr)) {
    return 0;
  }
  return done;
}

bool TFileStream::Seek(uint64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return IsOpen() && SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN);
}

uint64_t TFileStream::Size() {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(handle_, &size)) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

bool TFileStream::Write(const void* data, size_t size) {
  DWORD done = 0;
  return IsOpen() && WriteFile(handle_, data, static_cast<DWORD>(size), &done, nullptr) &&
         done == size;
}

bool WriteAllAndClose(HANDLE h, const void* data, size_t size, DWORD& error) {
  DWORD done = 0;
  bool ok = WriteFile(h, data, static_cast<DWORD>(size), &done, nullptr) != FALSE;
  if (ok && done != size) {
    ok = false;
    SetLastError(ERROR_DISK_FULL);
  }
  if (ok) ok = FlushFileBuffers(h) != FALSE;
  error = ok ? ERROR_SUCCESS : GetLastError();
  if (!CloseHandle(h) && ok) {
    ok = false;
    error = GetLastError();
  }
  return ok;
}

bool FileExists(TextArg path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(TextArg path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string WithBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FolderPart(const std::string& path) {
  const size_t cut = path.find_last_of(":\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string NamePart(const std::string& path) { return path.substr(FolderPart(path).size()); }

bool CreateFolderChain(const std::string& folder) {
  std::string path = folder;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  while (!path.empty() && path.back() == '\\') path.pop_back();
  // A folder needs room for the names of the files in it: the system's
  // limit for folders is 12 characters below that for files.
  if (path.size() < 3 || path.size() > MAX_PATH - 12 || FolderExists(path)) return false;
  // Back from the end to the deepest folder that exists, then forward,
  // creating each missing level in turn.
  size_t existing = path.size();
  for (;;) {
    const size_t at = path.rfind('\\', existing - 1);
    if (at == std::string::npos || at < 2) {
      existing = 0;
      break;
    }
    existing = at;
    if (FolderExists(path.substr(0, at))) break;
  }
  bool created = false;
  for (size_t at = path.find('\\', existing + 1);; at = path.find('\\', at + 1)) {
    const std::string level = at == std::string::npos ? path : path.substr(0, at);
    if (level.size() >= 3) created = CreateDirectoryA(level.c_str(), nullptr) != 0;
    if (at == std::string::npos) break;
  }
  return created;
}

std::string TempFolder() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(MAX_PATH, buffer);
  return WithBackslash(n && n <= MAX_PATH ? std::string(buffer, n) : std::string());
}

std::string ModulePath() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return std::string(buffer, n);
}

uint64_t CopyStream(qb::ByteSource& from, TFileStream& to, uint64_t length) {
  const size_t chunk = length < kCopyChunk ? static_cast<size_t>(length) : kCopyChunk;
  std::vector<char> buffer(chunk);
  uint64_t copied = 0;
  while (copied < length) {
    const uint64_t left = length - copied;
    const size_t want = left < chunk ? static_cast<size_t>(left) : chunk;
    const size_t got = from.Read(buffer.data(), want);
    if (got == 0 || !to.Write(buffer.data(), got)) break;
    copied += got;
    Application.ProcessMessages();
  }
  return copied;
}

}  // namespace toolkit
