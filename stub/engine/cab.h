// TCab: the cabinet reader over cabinet.dll's FDI. It supplies FDI's memory
// and file callbacks, walks every cabinet of a set, keeps the files being
// written, sets each file's date, time and attributes, and lets its owner
// choose destinations and provide the next cabinet through three events.
//
// A file that replaces an existing one is written under a temporary name
// beside it ("name.qbpart") and moved over it only when it is complete with
// its times and attributes, so that an installation that is killed or
// cancelled never leaves a half-written file in place of a user's file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace en {

class TCab;

// An event: a function and the object it belongs to.
template <typename Fn>
struct TEvent {
  Fn fn = nullptr;
  void* owner = nullptr;
  explicit operator bool() const { return fn != nullptr; }
};

// Called before each file is written. dest arrives as the destination folder
// joined with the name; the handler may change it, empty it to skip the file,
// or set abort.
using CopyFileFn = void (*)(void* owner, TCab& sender, const std::string& name, int32_t size,
                            uint16_t date, uint16_t time, uint16_t attributes, uint16_t folderIndex,
                            std::string& dest, bool& abort);
// Called when a destination cannot be created; abort stops the extraction,
// otherwise the file is skipped.
using CreateErrorFn = void (*)(void* owner, TCab& sender, const std::string& dest, bool& abort);
// Called each time FDI needs the next cabinet of the set.
using NextCabinetFn = void (*)(void* owner, TCab& sender, const std::string& name,
                               const std::string& disk, std::string& folder, bool& abort);

class TCab {
 public:
  TCab() = default;
  virtual ~TCab();
  TCab(const TCab&) = delete;
  TCab& operator=(const TCab&) = delete;

  // Extracts the cabinet and every following cabinet of its set that exists.
  void Extract(const std::string& cabinetFile, const std::string& destinationFolder);

  TEvent<CopyFileFn> OnCopyFile;
  TEvent<CreateErrorFn> OnCreateError;
  TEvent<NextCabinetFn> OnNextCabinet;

  // Whether cabinet.dll could be loaded from the system folder.
  static bool Available();
  // For a program that ends in the middle of an extraction: closes every file
  // FDI has open and deletes the ones it was writing. FDI must not be called
  // again afterwards.
  static void AbandonOpenFiles();

 private:
  friend struct FdiCallbacks;
  INT_PTR Notify(int type, void* notification);

  void* context_ = nullptr;
  std::string cabinetFile_;
  std::string destinationFolder_;
  std::string followingCabinet_;
  std::string followingDisk_;
  std::string currentCabinet_;
  std::string requestedCabinet_;
  bool cabinetRequested_ = false;
  int error_[3] = {};
  std::vector<std::string> pendingNames_;
  std::vector<std::string> pendingDestinations_;
  std::vector<std::string> pendingTemporaries_;  // where each is written
  std::string lastFolder_;                       // the folder made for the file before
};

// A DOS date and time taken as local time, in universal time.
bool DosTimeToUtc(uint16_t date, uint16_t time, FILETIME& utc);

// Joins a folder and a name with exactly one backslash between them.
std::string JoinPath(const std::string& first, const std::string& second);

// Whether a name inside a cabinet stays inside the folder it is extracted to:
// not absolute, no drive or stream colon, no ".." component.
bool IsSafeCabinetName(const std::string& name);

}  // namespace en
