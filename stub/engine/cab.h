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
// Every file is written under a temporary name beside its destination
// ("name.qbpart") and moved into place only when it is complete with its
// times and attributes, so that an installation that is killed, cancelled or
// stopped by a full disk or damaged data never leaves a partial file under a
// final name, nor a half-written file in place of a user's file. The owner
// hears of a file only once it is in place.
//
// An extraction that does not finish (a failed write, a file that cannot be
// moved into place and is not skipped, damaged cabinet data, a stop asked by
// an event) says so through Failure(): nothing FDI reports is dropped.
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
// Called when a file is complete and in place under its destination;
// replaced tells whether it took the place of an existing file.
using FilePlacedFn = void (*)(void* owner, TCab& sender, const std::string& name,
                              const std::string& dest, bool replaced);
// Called when the extraction needs cabinet number index of the set (the
// first cabinet has the number its header gives, usually 0). headerName and
// disk are what the previous header says, for information only. The handler
// sets source to where that cabinet lies; an empty source ends the walk
// through the set, abort stops the extraction.
using NextCabinetFn = void (*)(void* owner, TCab& sender, int index, const std::string& headerName,
                               const std::string& disk, CabinetSource& source, bool& abort);

// Why an extraction did not finish.
enum class ExtractionFault {
  kNone,
  kStopped,  // an event asked to stop (the owner knows why)
  kWrite,    // a file could not be written (full disk, say): path, systemError
  kPlace,    // a complete file could not be moved into place: path, systemError
  kData,     // FDI found the cabinet data damaged or unreadable: cabinet, fdiError
  kMemory,   // FDI ran out of memory
};

struct ExtractionFailure {
  ExtractionFault fault = ExtractionFault::kNone;
  std::string path;  // the destination concerned, if any
  DWORD systemError = 0;
  int fdiError = 0;
  int cabinet = -1;  // the set number of the cabinet being read
};

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
  // Whether the last extraction finished, and why not.
  bool Finished() const { return failure_.fault == ExtractionFault::kNone; }
  const ExtractionFailure& Failure() const { return failure_; }

  TEvent<CopyFileFn> OnCopyFile;
  TEvent<CreateErrorFn> OnCreateError;
  TEvent<NextCabinetFn> OnNextCabinet;
  TEvent<FilePlacedFn> OnFilePlaced;

  // For an OnCopyFile handler whose destination exists as a file: the new
  // file replaces it, so it is checked before anything is written that the
  // existing one can be replaced at all.
  void MarkReplacing() { startingReplaces_ = true; }

  // Whether cabinet.dll could be loaded from the system folder.
  static bool Available();
  // For a program that ends in the middle of an extraction, and for an
  // extraction that failed: closes every file FDI has open through this
  // reader and deletes the ones it was writing. The reader must not be used
  // again afterwards.
  void AbandonOpenFiles();

 private:
  friend struct FdiCallbacks;
  INT_PTR Notify(int type, void* notification);
  INT_PTR StartFile(void* notification);
  INT_PTR FinishFile(void* notification);
  INT_PTR NextCabinet(void* notification);
  // Creates path to extract into, with the file's attributes, after the
  // folder of its destination dest.
  INT_PTR CreateTarget(const std::string& dest, const std::string& path, DWORD disposition);
  // Where cabinet index lies, from the owner; empty when there is none.
  CabinetSource AskForCabinet(int index, const char* headerName, const char* disk);
  // The first failure of an extraction is kept; later ones follow from it.
  void Fail(ExtractionFault fault, const std::string& path, DWORD systemError);

  // Every file FDI has open through the callbacks, so that an installation
  // that ends in the middle of an extraction can close them and remove what
  // was being written.
  struct OpenFile {
    HANDLE handle;
    std::string path;
    bool writing;
  };
  // A file FDI is writing: its name in the cabinet, its destination, the
  // temporary file written beside it, and whether it replaces a file.
  struct PendingFile {
    std::string name;
    std::string destination;
    std::string written;
    bool replaces;
    bool writeFailed;   // some of its data never reached the disk
    INT_PTR handle;     // the handle FDI writes it through
    uint32_t size;      // its length, as the cabinet says
    uint32_t received;  // the bytes written so far
  };

  void* context_ = nullptr;
  std::string destinationFolder_;
  int error_[3] = {};
  std::vector<OpenFile> openFiles_;
  std::vector<PendingFile> pending_;
  std::string lastFolder_;  // the folder made for the file before
  bool stopped_ = false;
  // The file being started: its attributes, and whether OnCopyFile found a
  // file it replaces.
  DWORD startingAttributes_ = 0;
  bool startingReplaces_ = false;
  ExtractionFailure failure_;

  // The walk through the set.
  int currentIndex_ = -1;   // the set number of the cabinet FDI reads now
  int expectedIndex_ = -1;  // the number the first cabinet of a pass must have
  bool passStarted_ = false;
  bool followingNamed_ = false;  // the current header names a next cabinet
  int requestedIndex_ = -1;      // the cabinet FDI asked for in this pass
  CabinetSource requested_;
  CabinetSource nextOpen_;  // what FDI's next open for reading gets
  int nextOpenIndex_ = -1;  // its number in the set
  int readingIndex_ = -1;   // the number of the cabinet FDI opened last
};

// A DOS date and time taken as local time, in universal time.
bool DosTimeToUtc(uint16_t date, uint16_t time, FILETIME& utc);

// Joins a folder and a name with exactly one backslash between them.
std::string JoinPath(const std::string& first, const std::string& second);

}  // namespace engine
