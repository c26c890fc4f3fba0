#include "engine/cab.h"

#include <fdi.h>

#include "toolkit/files.h"
#include "toolkit/system.h"

namespace en {

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

template <typename T>
T Proc(HMODULE module, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// cabinet.dll is loaded once, by its full path in the system folder.
FdiLibrary& Fdi() {
  static FdiLibrary fdi;
  if (!fdi.loaded) {
    fdi.loaded = true;
    if (HMODULE m = tk::LoadSystemLibrary("cabinet.dll")) {
      fdi.create = Proc<FdiCreateFn>(m, "FDICreate");
      fdi.copy = Proc<FdiCopyFn>(m, "FDICopy");
      fdi.destroy = Proc<FdiDestroyFn>(m, "FDIDestroy");
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

// Every file FDI has open through the callbacks, so that an installation that
// ends in the middle of an extraction can close them and remove what was
// being written.
struct OpenFile {
  HANDLE handle;
  std::string path;
  bool writing;
};
std::vector<OpenFile> openFiles;

}  // namespace

struct FdiCallbacks {
  static void* DIAMONDAPI Alloc(ULONG size) { return HeapAlloc(GetProcessHeap(), 0, size); }
  static void DIAMONDAPI Free(void* p) { HeapFree(GetProcessHeap(), 0, p); }

  static INT_PTR DIAMONDAPI Open(char* path, int flags, int) {
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
    HANDLE h =
        CreateFileA(path, access, FILE_SHARE_READ, nullptr, disposition, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    if ((flags & kAppend) && SetFilePointer(h, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
      CloseHandle(h);
      return -1;
    }
    openFiles.push_back({h, path, (flags & kAccessMask) != 0});
    return reinterpret_cast<INT_PTR>(h);
  }

  // A file to extract into, created with its final attributes.
  static INT_PTR Create(const std::string& path, DWORD attributes, DWORD disposition) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                           attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    openFiles.push_back({h, path, true});
    return reinterpret_cast<INT_PTR>(h);
  }

  static UINT DIAMONDAPI Read(INT_PTR hf, void* buffer, UINT size) {
    DWORD done = 0;
    return ReadFile(reinterpret_cast<HANDLE>(hf), buffer, size, &done, nullptr)
               ? done
               : static_cast<UINT>(-1);
  }

  static UINT DIAMONDAPI Write(INT_PTR hf, void* buffer, UINT size) {
    DWORD done = 0;
    return WriteFile(reinterpret_cast<HANDLE>(hf), buffer, size, &done, nullptr)
               ? done
               : static_cast<UINT>(-1);
  }

  static int DIAMONDAPI Close(INT_PTR hf) {
    const HANDLE h = reinterpret_cast<HANDLE>(hf);
    for (size_t i = 0; i < openFiles.size(); ++i) {
      if (openFiles[i].handle == h) {
        openFiles.erase(openFiles.begin() + static_cast<long>(i));
        break;
      }
    }
    return CloseHandle(h) ? 0 : -1;
  }

  static LONG DIAMONDAPI Seek(INT_PTR hf, LONG distance, int origin) {
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

bool IsSafeCabinetName(const std::string& name) {
  if (name.empty() || name.front() == '\\' || name.front() == '/') return false;
  if (name.find(':') != std::string::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    // ".." and names of dots only (Windows drops trailing dots) climb up.
    const std::string part = name.substr(start, end - start);
    if (!part.empty() && part.find_first_not_of('.') == std::string::npos && part.size() >= 2) {
      return false;
    }
    start = end + 1;
  }
  return true;
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
  for (const OpenFile& f : openFiles) {
    CloseHandle(f.handle);
    // A file being written is incomplete: it goes.
    if (f.writing) DeleteFileA(f.path.c_str());
  }
  openFiles.clear();
}

TCab::~TCab() {
  if (context_ && Fdi().destroy) Fdi().destroy(static_cast<HFDI>(context_));
}

INT_PTR TCab::Notify(int type, void* notification) {
  auto* n = static_cast<PFDINOTIFICATION>(notification);
  switch (type) {
    case fdintCABINET_INFO:
      if (!requestedCabinet_.empty()) currentCabinet_ = requestedCabinet_;
      followingCabinet_ = n->psz1[0] ? JoinPath(n->psz3, n->psz1) : std::string();
      followingDisk_ = n->psz2;
      return 0;
    case fdintCOPY_FILE: {
      const std::string name = n->psz1;
      // A name that would leave the destination folder is never written.
      if (!IsSafeCabinetName(name)) return 0;
      std::string dest = JoinPath(destinationFolder_, name);
      bool abort = false;
      if (OnCopyFile) {
        OnCopyFile.fn(OnCopyFile.owner, *this, name, n->cb, n->date, n->time, n->attribs,
                      n->iFolder, dest, abort);
      }
      if (abort) return -1;
      if (dest.empty()) return 0;
      const std::string folder = tk::FolderOf(dest);
      if (folder != lastFolder_) {
        tk::CreateFolderChain(folder);
        lastFolder_ = folder;
      }
      // A new file is written in place. An existing file that cannot be
      // replaced (in use, or a folder of that name) is reported before
      // anything is written; one that can is written under a temporary name
      // first.
      const DWORD attributes = n->attribs & 0x27;
      std::string target = dest;
      INT_PTR h = FdiCallbacks::Create(target, attributes, CREATE_NEW);
      if (h == -1 && GetFileAttributesA(dest.c_str()) != INVALID_FILE_ATTRIBUTES) {
        HANDLE probe = CreateFileA(dest.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
          CloseHandle(probe);
          target = dest + ".qbpart";
          h = FdiCallbacks::Create(target, attributes, CREATE_ALWAYS);
        }
      }
      if (h == -1) {
        if (OnCreateError) OnCreateError.fn(OnCreateError.owner, *this, dest, abort);
        return abort ? -1 : 0;
      }
      pendingNames_.push_back(name);
      pendingDestinations_.push_back(dest);
      pendingTemporaries_.push_back(target);
      return h;
    }
    case fdintCLOSE_FILE_INFO: {
      // The times go on through the handle FDI wrote with; the attributes
      // were given when the file was created.
      FILETIME utc;
      if (DosTimeToUtc(n->date, n->time, utc)) {
        SetFileTime(reinterpret_cast<HANDLE>(n->hf), &utc, nullptr, &utc);
      }
      FdiCallbacks::Close(n->hf);
      for (size_t i = 0; i < pendingNames_.size(); ++i) {
        if (pendingNames_[i] == n->psz1) {
          const std::string dest = pendingDestinations_[i];
          const std::string target = pendingTemporaries_[i];
          pendingNames_.erase(pendingNames_.begin() + i);
          pendingDestinations_.erase(pendingDestinations_.begin() + i);
          pendingTemporaries_.erase(pendingTemporaries_.begin() + i);
          if (target != dest && !MoveFileExA(target.c_str(), dest.c_str(),
                                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
            DeleteFileA(target.c_str());
            bool abort = false;
            if (OnCreateError) OnCreateError.fn(OnCreateError.owner, *this, dest, abort);
          } else if ((n->attribs & 0x27) == 0) {
            // The system gives new files the archive bit; the cabinet says none.
            SetFileAttributesA(dest.c_str(), FILE_ATTRIBUTE_NORMAL);
          }
          break;
        }
      }
      return 1;
    }
    case fdintNEXT_CABINET: {
      bool abort = false;
      std::string folder = n->psz3;
      if (OnNextCabinet) {
        OnNextCabinet.fn(OnNextCabinet.owner, *this, n->psz1, n->psz2, folder, abort);
        if (!abort) {
          // FDI's buffer for the folder holds 256 characters.
          folder = tk::WithBackslash(folder);
          if (folder.size() < 256) lstrcpyA(n->psz3, folder.c_str());
        }
      }
      requestedCabinet_ = JoinPath(n->psz3, n->psz1);
      cabinetRequested_ = true;
      return abort ? -1 : 0;
    }
    default:
      return 0;
  }
}

void TCab::Extract(const std::string& cabinetFile, const std::string& destinationFolder) {
  FdiLibrary& fdi = Fdi();
  if (!fdi.create || !fdi.copy) return;
  char full[MAX_PATH] = {};
  const DWORD n = GetFullPathNameA(cabinetFile.c_str(), MAX_PATH, full, nullptr);
  cabinetFile_ = n && n < MAX_PATH ? std::string(full, n) : cabinetFile;
  destinationFolder_ = tk::WithBackslash(destinationFolder);
  pendingNames_.clear();
  pendingDestinations_.clear();
  std::string next = cabinetFile_;
  while (!next.empty()) {
    followingCabinet_.clear();
    followingDisk_.clear();
    requestedCabinet_.clear();
    cabinetRequested_ = false;
    currentCabinet_ = next;
    if (!context_) {
      for (int& e : error_) e = 0;
      context_ = fdi.create(FdiCallbacks::Alloc, FdiCallbacks::Free, FdiCallbacks::Open,
                            FdiCallbacks::Read, FdiCallbacks::Write, FdiCallbacks::Close,
                            FdiCallbacks::Seek, cpuUNKNOWN, reinterpret_cast<PERF>(error_));
      if (!context_) return;
    }
    std::string name = next.substr(next.find_last_of('\\') + 1);
    std::string folder = tk::FolderOf(next);
    fdi.copy(static_cast<HFDI>(context_), &name[0], &folder[0], 0, FdiCallbacks::Notify, nullptr,
             this);
    const std::string processed = next;
    if (cabinetRequested_) {
      next = requestedCabinet_;
    } else if (!followingCabinet_.empty() &&
               CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, followingCabinet_.c_str(), -1,
                              processed.c_str(), -1) == CSTR_EQUAL) {
      break;
    } else {
      next = followingCabinet_;
    }
    if (!next.empty() && !tk::FileExists(next)) break;
  }
}

}  // namespace en
