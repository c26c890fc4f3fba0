#include "engine/cab.h"

#include <fdi.h>

#include "cab/safe_name.h"
#include "toolkit/files.h"
#include "toolkit/system.h"

namespace engine {

namespace {

using FdiCreateFn = HFDI(DIAMONDAPI*)(PFNALLOC, PFNFREE, PFNOPEN, PFNREAD, PFNWRITE, PFNCLOSE,
                                      PFNSEEK, int, PERF);
using FdiCopyFn = BOOL(DIAMONDAPI*)(HFDI, char*, char*, int, PFNFDINOTIFY, PFNFDIDECRYPT, void*);
using FdiDestroyFn = BOOL(DIAMONDAPI*)(HFDI);

struct FdiLibrary {
  bool loaded = false;
  FdiCreateFn create = nullptr;
  FdiCopyFn copy = nullptr;
  FdiDestroyFn destroy = nullptr;
};

// cabinet.dll is loaded once, by its full path in the system folder.
FdiLibrary& Fdi() {
  static FdiLibrary fdi;
  if (!fdi.loaded) {
    fdi.loaded = true;
    if (HMODULE m = toolkit::LoadSystemLibrary("cabinet.dll")) {
      fdi.create = toolkit::LibraryFunction<FdiCreateFn>(m, "FDICreate");
      fdi.copy = toolkit::LibraryFunction<FdiCopyFn>(m, "FDICopy");
      fdi.destroy = toolkit::LibraryFunction<FdiDestroyFn>(m, "FDIDestroy");
    }
  }
  return fdi;
}

// Open flags of the C runtime, as FDI passes them.
constexpr int kAccessMask = 0x0003;
constexpr int kAppend = 0x0008;
constexpr int kRandom = 0x0010;
constexpr int kSequential = 0x0020;
constexpr int kTemporary = 0x0040;
constexpr int kCreate = 0x0100;
constexpr int kTruncate = 0x0200;
constexpr int kExclusive = 0x0400;
constexpr int kShortLived = 0x1000;

// The reader whose FDICopy is running: FDI's file callbacks carry no
// context of their own. One extraction runs at a time, on the one thread.
TCab* activeReader = nullptr;

// A stored cabinet read in place: "MSCF" and then the pieces, one after the
// other. Its handle for FDI is its address with the lowest bit set, which no
// file handle of the system has.
class CabinetView {
 public:
  static CabinetView* Open(const CabinetSource& source) {
    CabinetView* view = new CabinetView;
    for (const CabinetSource::Piece& piece : source.pieces) {
      HANDLE h = CreateFileA(piece.file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
      if (h == INVALID_HANDLE_VALUE) {
        delete view;
        return nullptr;
      }
      view->parts_.push_back({h, piece.offset, piece.length, kUnknown});
      view->size_ += piece.length;
    }
    return view;
  }
  ~CabinetView() {
    for (const Part& part : parts_) CloseHandle(part.handle);
    if (buffer_) HeapFree(GetProcessHeap(), 0, buffer_);
  }

  static bool IsView(INT_PTR handle) { return (handle & 1) != 0; }
  INT_PTR Handle() const { return reinterpret_cast<INT_PTR>(this) | 1; }
  static CabinetView* Of(INT_PTR handle) { return reinterpret_cast<CabinetView*>(handle & ~1); }

  // FDI reads a data block's header and then its data, some thousand
  // times per cabinet; they are served from a buffer filled by large reads.
  UINT Read(void* buffer, UINT size) {
    auto* out = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < size) {
      if (position_ < bufferStart_ || position_ >= bufferStart_ + bufferLength_) {
        if (!buffer_) buffer_ = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, kBufferSize));
        if (!buffer_) return ReadStored(out, size);
        bufferStart_ = position_;
        bufferLength_ = 0;
        const UINT got = ReadStored(buffer_, kBufferSize);
        if (got == static_cast<UINT>(-1)) return done ? done : got;
        bufferLength_ = got;
        position_ = bufferStart_;
        if (got == 0) break;
      }
      const uint64_t available = bufferStart_ + bufferLength_ - position_;
      const UINT n = available < size - done ? static_cast<UINT>(available) : size - done;
      CopyMemory(out + done, buffer_ + (position_ - bufferStart_), n);
      done += n;
      position_ += n;
    }
    return done;
  }

  // Reads from the stored pieces at the position, without the buffer.
  UINT ReadStored(void* buffer, UINT size) {
    auto* out = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < size && position_ < size_) {
      UINT n = 0;
      if (position_ < kSignature) {
        n = static_cast<UINT>(kSignature - position_);
        if (n > size - done) n = size - done;
        for (UINT i = 0; i < n; ++i) out[done + i] = "MSCF"[position_ + i];
      } else {
        // The part that holds the position, and the place in its file.
        uint64_t at = position_ - kSignature;
        size_t k = 0;
        while (k < parts_.size() && at >= parts_[k].length) at -= parts_[k++].length;
        if (k == parts_.size()) break;
        const uint64_t left = parts_[k].length - at;
        const UINT want = left < size - done ? static_cast<UINT>(left) : size - done;
        // FDI reads on from where it stopped; the file is positioned only
        // when it does not.
        Part& part = parts_[k];
        const uint64_t from = part.offset + at;
        if (part.filePosition != from) {
          LARGE_INTEGER where;
          where.QuadPart = static_cast<LONGLONG>(from);
          if (!SetFilePointerEx(part.handle, where, nullptr, FILE_BEGIN)) {
            part.filePosition = kUnknown;
            return done ? done : static_cast<UINT>(-1);
          }
        }
        DWORD got = 0;
        if (!ReadFile(part.handle, out + done, want, &got, nullptr)) {
          part.filePosition = kUnknown;
          return done ? done : static_cast<UINT>(-1);
        }
        part.filePosition = from + got;
        if (got == 0) break;  // the file is shorter than the package says
        n = got;
      }
      done += n;
      position_ += n;
    }
    return done;
  }

  LONG Seek(LONG distance, int origin) {
    const int64_t base = origin == kFromStart     ? 0
                         : origin == kFromCurrent ? static_cast<int64_t>(position_)
                                                  : static_cast<int64_t>(size_);
    const int64_t target = base + distance;
    if (target < 0 || target > 0x7FFFFFFF) return -1;
    position_ = static_cast<uint64_t>(target);
    return static_cast<LONG>(target);
  }

 private:
  static constexpr uint64_t kSignature = 4;
  static constexpr UINT kBufferSize = 512 * 1024;
  static constexpr uint64_t kUnknown = ~uint64_t(0);
  enum Origin : int { kFromStart = 0, kFromCurrent = 1 };
  struct Part {
    HANDLE handle;
    uint64_t offset;
    uint64_t length;
    uint64_t filePosition;  // where the handle stands in its file
  };
  std::vector<Part> parts_;
  uint64_t size_ = kSignature;
  uint64_t position_ = 0;
  char* buffer_ = nullptr;
  uint64_t bufferStart_ = 0;  // the position of the buffer's first byte
  uint64_t bufferLength_ = 0;
};

}  // namespace

struct FdiCallbacks {
  static void* DIAMONDAPI Alloc(ULONG size) { return HeapAlloc(GetProcessHeap(), 0, size); }
  static void DIAMONDAPI Free(void* p) { HeapFree(GetProcessHeap(), 0, p); }

  static INT_PTR DIAMONDAPI Open(char* requestedPath, int flags, int) {
    TCab* reader = activeReader;
    std::string path = requestedPath;
    // A read of the next cabinet of a set goes to where the owner said it
    // lies, whatever the cabinet header called it.
    if (reader && !reader->nextOpen_.Empty() && (flags & kAccessMask) == 0 && !(flags & kCreate)) {
      const CabinetSource source = reader->nextOpen_;
      reader->nextOpen_ = CabinetSource();
      reader->readingIndex_ = reader->nextOpenIndex_;
      if (!source.pieces.empty()) {
        CabinetView* view = CabinetView::Open(source);
        if (!view) return -1;
        reader->openFiles_.push_back({reinterpret_cast<HANDLE>(view->Handle()), "", false});
        return view->Handle();
      }
      path = source.file;
    }
    DWORD access = GENERIC_READ;
    if ((flags & kAccessMask) == 1) access = GENERIC_WRITE;
    if ((flags & kAccessMask) >= 2) access = GENERIC_READ | GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if ((flags & kCreate) && (flags & kExclusive)) {
      disposition = CREATE_NEW;
    } else if ((flags & kCreate) && (flags & kTruncate)) {
      disposition = CREATE_ALWAYS;
    } else if (flags & kTruncate) {
      disposition = TRUNCATE_EXISTING;
    } else if (flags & kCreate) {
      disposition = OPEN_ALWAYS;
    }
    DWORD attributes = ((flags & kShortLived) && (flags & kCreate)) ? FILE_ATTRIBUTE_TEMPORARY
                                                                    : FILE_ATTRIBUTE_NORMAL;
    if (flags & kRandom) attributes |= FILE_FLAG_RANDOM_ACCESS;
    if (flags & kSequential) attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
    if ((flags & kTemporary) && (flags & kCreate)) attributes |= FILE_FLAG_DELETE_ON_CLOSE;
    HANDLE h = CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, attributes,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    if ((flags & kAppend) && SetFilePointer(h, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
      CloseHandle(h);
      return -1;
    }
    if (reader) reader->openFiles_.push_back({h, path, (flags & kAccessMask) != 0});
    return reinterpret_cast<INT_PTR>(h);
  }

  // A file to extract into, created with its final attributes.
  static INT_PTR Create(TCab& reader, const std::string& path, DWORD attributes,
                        DWORD disposition) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                           attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    reader.openFiles_.push_back({h, path, true});
    return reinterpret_cast<INT_PTR>(h);
  }

  static UINT DIAMONDAPI Read(INT_PTR hf, void* buffer, UINT size) {
    if (CabinetView::IsView(hf)) return CabinetView::Of(hf)->Read(buffer, size);
    DWORD done = 0;
    return ReadFile(reinterpret_cast<HANDLE>(hf), buffer, size, &done, nullptr)
               ? done
               : static_cast<UINT>(-1);
  }

  // A write that fails or falls short (a full disk) fails the file, and
  // FDI then ends the extraction; the reader keeps why.
  static UINT DIAMONDAPI Write(INT_PTR hf, void* buffer, UINT size) {
    const HANDLE h = reinterpret_cast<HANDLE>(hf);
    DWORD done = 0;
    if (WriteFile(h, buffer, size, &done, nullptr) && done == size) {
      if (TCab* reader = activeReader) {
        for (TCab::PendingFile& f : reader->pending_) {
          if (f.handle == hf) f.received += done;
        }
      }
      return done;
    }
    DWORD error = GetLastError();
    if (done != size && error == ERROR_SUCCESS) error = ERROR_DISK_FULL;
    if (TCab* reader = activeReader) {
      std::string path;
      for (const TCab::OpenFile& f : reader->openFiles_) {
        if (f.handle == h) path = f.path;
      }
      // Some readers of cabinets go on after a failed write: the file is
      // marked, so that it is never moved into place.
      for (TCab::PendingFile& f : reader->pending_) {
        if (f.written != path) continue;
        f.writeFailed = true;
        path = f.destination;
      }
      reader->Fail(ExtractionFault::kWrite, path, error);
    }
    return static_cast<UINT>(-1);
  }

  static int DIAMONDAPI Close(INT_PTR hf) {
    const HANDLE h = reinterpret_cast<HANDLE>(hf);
    if (TCab* reader = activeReader) {
      std::vector<TCab::OpenFile>& open = reader->openFiles_;
      for (size_t i = 0; i < open.size(); ++i) {
        if (open[i].handle == h) {
          open.erase(open.begin() + static_cast<long>(i));
          break;
        }
      }
    }
    if (CabinetView::IsView(hf)) {
      delete CabinetView::Of(hf);
      return 0;
    }
    return CloseHandle(h) ? 0 : -1;
  }

  static LONG DIAMONDAPI Seek(INT_PTR hf, LONG distance, int origin) {
    if (CabinetView::IsView(hf)) return CabinetView::Of(hf)->Seek(distance, origin);
    const DWORD at =
        SetFilePointer(reinterpret_cast<HANDLE>(hf), distance, nullptr, static_cast<DWORD>(origin));
    return at == INVALID_SET_FILE_POINTER ? -1 : static_cast<LONG>(at);
  }

  static INT_PTR DIAMONDAPI Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION n) {
    return static_cast<TCab*>(n->pv)->Notify(static_cast<int>(type), n);
  }
};

std::string JoinPath(const std::string& first, const std::string& second) {
  if (first.empty()) return second;
  const bool a = first.back() == '\\';
  const bool b = !second.empty() && second.front() == '\\';
  if (a && b) return first + second.substr(1);
  if (!a && !b) return first + "\\" + second;
  return first + second;
}

bool TCab::Available() { return Fdi().create != nullptr; }

bool DosTimeToUtc(uint16_t date, uint16_t time, FILETIME& utc) {
  // The system converts local time with the bias in force now; that bias is
  // taken once and applied to every file.
  static bool known = false;
  static int64_t bias = 0;
  if (!known) {
    FILETIME local = {0, 0x01D00000}, converted;
    if (!LocalFileTimeToFileTime(&local, &converted)) return false;
    bias = static_cast<int64_t>(static_cast<uint64_t>(converted.dwHighDateTime) << 32 |
                                converted.dwLowDateTime) -
           static_cast<int64_t>(static_cast<uint64_t>(local.dwHighDateTime) << 32);
    known = true;
  }
  FILETIME local;
  if (!DosDateTimeToFileTime(date, time, &local)) return false;
  const uint64_t value =
      (static_cast<uint64_t>(local.dwHighDateTime) << 32 | local.dwLowDateTime) + bias;
  utc.dwLowDateTime = static_cast<DWORD>(value);
  utc.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return true;
}

void TCab::AbandonOpenFiles() {
  for (const OpenFile& f : openFiles_) {
    const INT_PTR handle = reinterpret_cast<INT_PTR>(f.handle);
    if (CabinetView::IsView(handle)) {
      delete CabinetView::Of(handle);
      continue;
    }
    CloseHandle(f.handle);
    // A file being written is incomplete: it goes.
    if (f.writing) DeleteFileA(f.path.c_str());
  }
  openFiles_.clear();
  // The temporary files of the ones FDI had not opened yet, or had closed.
  for (const PendingFile& f : pending_) DeleteFileA(f.written.c_str());
  pending_.clear();
}

void TCab::Fail(ExtractionFault fault, const std::string& path, DWORD systemError) {
  if (failure_.fault != ExtractionFault::kNone) return;
  failure_.fault = fault;
  failure_.path = path;
  failure_.systemError = systemError;
  failure_.cabinet = readingIndex_;
}

TCab::~TCab() {
  if (context_ && Fdi().destroy) Fdi().destroy(static_cast<HFDI>(context_));
}

INT_PTR TCab::Notify(int type, void* notification) {
  auto* n = static_cast<PFDINOTIFICATION>(notification);
  switch (type) {
    case fdintCABINET_INFO:
      // The first cabinet of a pass must be the one the walk asked for; the
      // ones FDI moves on to are checked by FDI itself.
      if (!passStarted_ && expectedIndex_ >= 0 && n->iCabinet != expectedIndex_) return -1;
      passStarted_ = true;
      currentIndex_ = n->iCabinet;
      followingNamed_ = n->psz1[0] != 0;
      return 0;
    case fdintCOPY_FILE:
      return StartFile(notification);
    case fdintCLOSE_FILE_INFO:
      return FinishFile(notification);
    case fdintNEXT_CABINET:
      return NextCabinet(notification);
    default:
      return 0;
  }
}

INT_PTR TCab::CreateTarget(const std::string& dest, const std::string& path, DWORD disposition) {
  const std::string folder = toolkit::FolderOf(dest);
  if (folder != lastFolder_) {
    toolkit::CreateFolderChain(folder);
    lastFolder_ = folder;
  }
  return FdiCallbacks::Create(*this, path, startingAttributes_, disposition);
}

INT_PTR TCab::StartFile(void* notification) {
  auto* n = static_cast<PFDINOTIFICATION>(notification);
  const std::string name = n->psz1;
  // A name the rule refuses (one that would leave the destination folder,
  // name a device or a stream, or not fit the path limit) is never written.
  std::string dest;
  if (!qb::JoinCabinetName(destinationFolder_, name, dest)) return 0;
  // Nothing more is written once a write has failed.
  if (failure_.fault != ExtractionFault::kNone) return -1;
  bool abort = false;
  startingAttributes_ = n->attribs & 0x27;
  startingReplaces_ = false;
  if (OnCopyFile) {
    OnCopyFile.fn(OnCopyFile.owner, *this, name, n->cb, n->date, n->time, n->attribs, n->iFolder,
                  dest, abort);
  }
  if (abort) {
    stopped_ = true;
    Fail(ExtractionFault::kStopped, dest, 0);
    return -1;
  }
  if (dest.empty()) return 0;
  // An existing file that cannot be replaced (in use, or read-only to us) is
  // reported before anything is written.
  bool replaceable = true;
  if (startingReplaces_) {
    HANDLE probe = CreateFileA(dest.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    replaceable = probe != INVALID_HANDLE_VALUE;
    if (replaceable) CloseHandle(probe);
  }
  // The temporary name is seven characters longer than a destination that
  // may itself be at the path limit.
  std::string target = dest + ".qbpart";
  if (target.size() >= MAX_PATH) target = "\\\\?\\" + target;
  const INT_PTR h = replaceable ? CreateTarget(dest, target, CREATE_ALWAYS) : -1;
  if (h == -1) {
    if (OnCreateError) OnCreateError.fn(OnCreateError.owner, *this, dest, abort);
    if (abort) {
      stopped_ = true;
      Fail(ExtractionFault::kStopped, dest, 0);
    }
    return abort ? -1 : 0;
  }
  pending_.push_back(
      {name, dest, target, startingReplaces_, false, h, static_cast<uint32_t>(n->cb), 0});
  return h;
}

INT_PTR TCab::FinishFile(void* notification) {
  auto* n = static_cast<PFDINOTIFICATION>(notification);
  // The times go on through the handle FDI wrote with; the attributes were
  // given when the file was created.
  FILETIME utc;
  if (DosTimeToUtc(n->date, n->time, utc)) {
    SetFileTime(reinterpret_cast<HANDLE>(n->hf), &utc, nullptr, &utc);
  }
  // A close that fails may have lost data the system still held.
  const bool closed = FdiCallbacks::Close(n->hf) == 0;
  const DWORD closeError = closed ? 0 : GetLastError();
  for (size_t i = 0; i < pending_.size(); ++i) {
    if (pending_[i].name != n->psz1) continue;
    const PendingFile file = pending_[i];
    pending_.erase(pending_.begin() + static_cast<long>(i));
    if (!closed || file.writeFailed) {
      DeleteFileA(file.written.c_str());
      Fail(ExtractionFault::kWrite, file.destination, closeError);
      return -1;
    }
    // A reader that meets damaged data may still close the file it was
    // writing: a file shorter or longer than the cabinet says is never placed.
    if (file.received != file.size) {
      DeleteFileA(file.written.c_str());
      Fail(ExtractionFault::kData, file.destination, 0);
      return -1;
    }
    const DWORD attributes = n->attribs & 0x27;
    // Within one folder the move is a rename: the destination is the old
    // file or the new one, never a part of either.
    if (!MoveFileExA(file.written.c_str(), file.destination.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      const DWORD error = GetLastError();
      DeleteFileA(file.written.c_str());
      SetLastError(error);  // for the handler, which tells why
      bool abort = false;
      if (OnCreateError) OnCreateError.fn(OnCreateError.owner, *this, file.destination, abort);
      if (abort) {
        stopped_ = true;
        Fail(ExtractionFault::kPlace, file.destination, error);
        return -1;
      }
      break;
    }
    if (!(attributes & FILE_ATTRIBUTE_ARCHIVE)) {
      // The system gives every new file the archive bit; the cabinet's
      // attributes are applied exactly, so a file without it loses it.
      SetFileAttributesA(file.destination.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
    }
    if (OnFilePlaced) {
      OnFilePlaced.fn(OnFilePlaced.owner, *this, file.name, file.destination, file.replaces);
    }
    break;
  }
  return 1;
}

CabinetSource TCab::AskForCabinet(int index, const char* headerName, const char* disk) {
  CabinetSource source;
  bool abort = false;
  if (OnNextCabinet) {
    OnNextCabinet.fn(OnNextCabinet.owner, *this, index, headerName, disk, source, abort);
  }
  if (abort) {
    stopped_ = true;
    Fail(ExtractionFault::kStopped, "", 0);
    return CabinetSource();
  }
  return source;
}

INT_PTR TCab::NextCabinet(void* notification) {
  auto* n = static_cast<PFDINOTIFICATION>(notification);
  const int wanted = currentIndex_ + 1;
  // FDI asks again when the file it got was not the cabinet it needs; the
  // owner has nothing better to give, so the pass ends there.
  if (wanted == requestedIndex_ || currentIndex_ < 0) return -1;
  const CabinetSource source = AskForCabinet(wanted, n->psz1, n->psz2);
  if (source.Empty()) return -1;
  requestedIndex_ = wanted;
  requested_ = source;
  nextOpen_ = source;
  nextOpenIndex_ = wanted;
  // FDI joins this folder and the header's name; the open callback hands it
  // the owner's cabinet instead, so the joined text is never used as a path.
  n->psz3[0] = '\0';
  return 0;
}

void TCab::Extract(const std::string& cabinetFile, const std::string& destinationFolder) {
  char full[MAX_PATH] = {};
  const DWORD length = GetFullPathNameA(cabinetFile.c_str(), MAX_PATH, full, nullptr);
  CabinetSource source;
  source.file = length && length < MAX_PATH ? std::string(full, length) : cabinetFile;
  Extract(source, destinationFolder);
}

void TCab::Extract(const CabinetSource& cabinet, const std::string& destinationFolder) {
  FdiLibrary& fdi = Fdi();
  failure_ = ExtractionFailure();
  readingIndex_ = 0;
  if (!fdi.create || !fdi.copy) {
    Fail(ExtractionFault::kData, "", ERROR_MOD_NOT_FOUND);
    return;
  }
  CabinetSource next = cabinet;
  destinationFolder_ = toolkit::WithBackslash(destinationFolder);
  pending_.clear();
  stopped_ = false;
  expectedIndex_ = -1;
  requestedIndex_ = -1;
  TCab* const outer = activeReader;
  activeReader = this;
  while (!next.Empty()) {
    passStarted_ = false;
    followingNamed_ = false;
    currentIndex_ = -1;
    requested_ = CabinetSource();
    const int passRequested = requestedIndex_;
    if (!context_) {
      for (int& e : error_) e = 0;
      context_ = fdi.create(FdiCallbacks::Alloc, FdiCallbacks::Free, FdiCallbacks::Open,
                            FdiCallbacks::Read, FdiCallbacks::Write, FdiCallbacks::Close,
                            FdiCallbacks::Seek, cpuUNKNOWN, reinterpret_cast<PERF>(error_));
      if (!context_) {
        Fail(ExtractionFault::kMemory, "", ERROR_NOT_ENOUGH_MEMORY);
        break;
      }
    }
    // FDI opens the cabinet by a name and a folder; the open callback gives
    // it the cabinet itself, so a stored one needs no name at all.
    const std::string path = next.pieces.empty() ? next.file : "cabinet";
    std::string name = path.substr(path.find_last_of('\\') + 1);
    std::string folder = toolkit::FolderOf(path);
    nextOpen_ = next;
    nextOpenIndex_ = expectedIndex_ >= 0 ? expectedIndex_ : readingIndex_;
    for (int& e : error_) e = 0;
    const BOOL copied = fdi.copy(static_cast<HFDI>(context_), &name[0], &folder[0], 0,
                                 FdiCallbacks::Notify, nullptr, this);
    nextOpen_ = CabinetSource();
    if (!copied || !pending_.empty() || !passStarted_) {
      // FDI's own error, unless a write or an event ended it first; a file
      // FDI began and never finished is as much a failure.
      const int code = error_[0];
      Fail(code == FDIERROR_ALLOC_FAIL ? ExtractionFault::kMemory : ExtractionFault::kData, "", 0);
      if (failure_.fault == ExtractionFault::kData) failure_.fdiError = code;
      // What FDI left open or unfinished goes; the walk ends here.
      AbandonOpenFiles();
      break;
    }
    if (stopped_) break;
    if (requestedIndex_ != passRequested && !requested_.Empty()) {
      // FDI finished the files that continued into the requested cabinet;
      // the files that begin there are extracted in the next pass, and the
      // ones that began earlier arrive as partial files and are passed over.
      expectedIndex_ = requestedIndex_;
      next = requested_;
    } else if (followingNamed_) {
      // The set goes on, but no file crossed into the next cabinet.
      expectedIndex_ = currentIndex_ + 1;
      requestedIndex_ = expectedIndex_;
      next = AskForCabinet(expectedIndex_, "", "");
      if (stopped_) break;
    } else {
      next = CabinetSource();
    }
    if (!next.file.empty() && next.pieces.empty() && !toolkit::FileExists(next.file)) break;
  }
  activeReader = outer;
}

}  // namespace engine
