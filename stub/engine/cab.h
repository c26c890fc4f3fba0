// TCab: the cabinet reader over cabinet.dll's FDI. It supplies FDI's memory
// and file callbacks, walks every cabinet of a set, keeps the files being
// written, sets each file's date, time and attributes, and lets its owner
// choose destinations and provide the next cabinet through three events.
//
// Nothing a cabinet says decides where a file is written or read unless the
// safe-name rule accepts it: a file's name goes through that rule before it
// is joined to the destination folder, and the name of the next cabinet that
// a header gives is never used as a path. The owner supplies every further
// cabinet of the set by its number in the set: a file of its own choosing,
// or a stored cabinet read where it lies (pieces of the installer and its
// volume files), so that nothing is copied out first.
//
// A file that replaces an existing one is written under a temporary name
// beside it ("name.qbpart") and moved over it only when it is complete with
// its times and attributes, so that an installation that is killed or
// cancelled never leaves a half-written file in place of a user's file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

class TCab;

// Where a cabinet lies for the reader: a file of its own, or a stored
// cabinet, which the package keeps without its "MSCF" signature: the reader
// sees the signature followed by the pieces, read in place.
struct CabinetSource {
  struct Piece {
    std::string file;
    uint64_t offset = 0;
    uint64_t length = 0;
  };
  std::string file;
  std::vector<Piece> pieces;  // when not empty, file is not used
  bool Empty() const { return file.empty() && pieces.empty(); }
};

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
// Called when the extraction needs cabinet number index of the set (the
// first cabinet has the number its header gives, usually 0). headerName and
// disk are what the previous header says, for information only. The handler
// sets source to where that cabinet lies; an empty source ends the walk
// through the set, abort stops the extraction.
using NextCabinetFn = void (*)(void* owner, TCab& sender, int index, const std::string& headerName,
                               const std::string& disk, CabinetSource& source, bool& abort);

class TCab {
 public:
  TCab() = default;
  virtual ~TCab();
  TCab(const TCab&) = delete;
  TCab& operator=(const TCab&) = delete;

  // Extracts the cabinet and every following cabinet of its set that the
  // owner supplies.
  void Extract(const std::string& cabinetFile, const std::string& destinationFolder);
  void Extract(const CabinetSource& cabinet, const std::string& destinationFolder);
  // Whether an event stopped the extraction.
  bool Stopped() const { return stopped_; }

  TEvent<CopyFileFn> OnCopyFile;
  TEvent<CreateErrorFn> OnCreateError;
  TEvent<NextCabinetFn> OnNextCabinet;

  // For an OnCopyFile handler that must know whether its destination exists:
  // creates it as a new file (and its folder) when nothing of that name is
  // there, and the file is then written into it. That is one look at the
  // folder instead of two for every new file. False when something of that
  // name exists or the file cannot be made.
  bool CreateIfNew(const std::string& dest);

  // Whether cabinet.dll could be loaded from the system folder.
  static bool Available();
  // For a program that ends in the middle of an extraction: closes every file
  // FDI has open through this reader and deletes the ones it was writing.
  // The reader must not be used again afterwards.
  void AbandonOpenFiles();

 private:
  friend struct FdiCallbacks;
  INT_PTR Notify(int type, void* notification);
  INT_PTR StartFile(void* notification);
  INT_PTR FinishFile(void* notification);
  INT_PTR NextCabinet(void* notification);
  // Creates a file to extract into, with the file's attributes, after its
  // folder.
  INT_PTR CreateTarget(const std::string& path, DWORD disposition);
  // Where cabinet index lies, from the owner; empty when there is none.
  CabinetSource AskForCabinet(int index, const char* headerName, const char* disk);

  // Every file FDI has open through the callbacks, so that an installation
  // that ends in the middle of an extraction can close them and remove what
  // was being written.
  struct OpenFile {
    HANDLE handle;
    std::string path;
    bool writing;
  };
  // A file FDI is writing: its name in the cabinet, its destination and the
  // file actually written (the destination, or a temporary beside it).
  struct PendingFile {
    std::string name;
    std::string destination;
    std::string written;
  };

  void* context_ = nullptr;
  std::string destinationFolder_;
  int error_[3] = {};
  std::vector<OpenFile> openFiles_;
  std::vector<PendingFile> pending_;
  std::string lastFolder_;  // the folder made for the file before
  bool stopped_ = false;
  // The file being started, as OnCopyFile found it: its attributes, and the
  // new file made for it (handle and path) or -1.
  DWORD startingAttributes_ = 0;
  INT_PTR created_ = -1;
  std::string createdPath_;

  // The walk through the set.
  int currentIndex_ = -1;   // the set number of the cabinet FDI reads now
  int expectedIndex_ = -1;  // the number the first cabinet of a pass must have
  bool passStarted_ = false;
  bool followingNamed_ = false;  // the current header names a next cabinet
  int requestedIndex_ = -1;      // the cabinet FDI asked for in this pass
  CabinetSource requested_;
  CabinetSource nextOpen_;  // what FDI's next open for reading gets
};

// A DOS date and time taken as local time, in universal time.
bool DosTimeToUtc(uint16_t date, uint16_t time, FILETIME& utc);

// Joins a folder and a name with exactly one backslash between them.
std::string JoinPath(const std::string& first, const std::string& second);

}  // namespace engine
