// Thin wrappers over files and folders.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "package/source.h"
#include "toolkit/text_arg.h"

namespace toolkit {

// A file opened through the ANSI interface; readable as a package source.
class TFileStream : public qb::ByteSource {
 public:
  TFileStream() = default;
  ~TFileStream() override { Close(); }
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  // An existing file for reading; other processes may read but not write.
  bool OpenRead(TextArg path);
  // A new file (replacing any earlier one) for writing.
  bool Create(TextArg path);
  void Close();
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

  size_t Read(void* buffer, size_t size) override;
  bool Seek(uint64_t position) override;
  uint64_t Size() override;
  bool Write(const void* data, size_t size);

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Writes all of data through h, flushes it to the disk and closes h. False
// with the system's error when any of that fails; a write that falls short
// without an error of its own is a full disk.
bool WriteAllAndClose(HANDLE h, const void* data, size_t size, DWORD& error);

bool FileExists(TextArg path);
bool FolderExists(TextArg path);
// Creates a folder and every missing folder above it. Returns true when the
// last folder was created by this call (false when it existed or failed).
bool CreateFolderChain(const std::string& folder);
// The folder part of a path, with its trailing backslash.
std::string FolderOf(const std::string& path);
// The folder part of a path or command as the actions take it: up to and
// including the last ":", "\" or "/"; empty when there is none.
std::string FolderPart(const std::string& path);
// What follows that folder part: the file name.
std::string NamePart(const std::string& path);
std::string WithBackslash(std::string path);

// The user's temporary folder with exactly one trailing backslash.
std::string TempFolder();
// The full path of the running executable.
std::string ModulePath();

// Copies length bytes from the source's current position to the file in
// chunks of at most 512 KiB, with one pass of the message loop after each.
// Stops early when a read delivers nothing or a write fails. Returns the
// number of bytes copied.
uint64_t CopyStream(qb::ByteSource& from, TFileStream& to, uint64_t length);
constexpr size_t kCopyChunk = 512 * 1024;
}  // namespace toolkit
