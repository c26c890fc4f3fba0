#include "engine/extract.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "cab/safe_name.h"
#include "engine/cab.h"
#include "engine/variables.h"
#include "text/expand.h"
#include "text/text.h"
#include "toolkit/application.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/system.h"

namespace engine {

// The state of one extraction stage: the reader, and where the stored
// cabinets of the set lie in the installer and its volume files.
class Extraction {
 public:
  explicit Extraction(RunState& run) : run(run) {}

  RunState& run;
  TCab cab;
  int cabinetsFound = 0;  // cabinets 0 to cabinetsFound - 1 were handed out
  // The volume file where the next cabinet continues, and the place there.
  int volume = 1;
  uint64_t volumeOffset = 0;

  // The volume files that hold each cabinet handed out, for messages.
  std::vector<std::vector<std::string>> cabinetVolumes;

  // Where cabinet number index of the set lies: in the installer, and on
  // into the next volume files where the data continues there. A missing
  // volume is asked for; false when the user gives the installation up or a
  // volume is damaged.
  bool Locate(int index, CabinetSource& source);
  // The length volume (2, 3, ...) must have: the installer holds the first
  // part of the cabinet data, and every further volume as much, but the last.
  uint64_t VolumeLength(int volume) const;
};

namespace {

constexpr char kVolumeToken[] = "@$&%19";

uint64_t StoredSize(const qb::Package& pkg, int k) {
  const int64_t size = k == pkg.Number(qb::kLastCabinetNumber) ? pkg.Number(qb::kLastCabinetSize)
                                                               : pkg.Number(qb::kCabinetSize);
  return size < 0 ? 0 : static_cast<uint64_t>(static_cast<uint32_t>(size));
}

uint64_t ToUint(const FILETIME& ft) {
  return static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}

uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::string VolumePath(const qb::Package& pkg, int volume) {
  std::string name = pkg.Text(qb::kVolumePattern);
  const size_t at = name.find(kVolumeToken);
  if (at != std::string::npos) name.replace(at, 6, qb::Decimal(volume));
  return toolkit::FolderOf(toolkit::ModulePath()) + name;
}

bool VolumeDamaged(Extraction& x, int volume, const std::string& path, uint64_t length);

}  // namespace

uint64_t Extraction::VolumeLength(int volume) const {
  const qb::Package& pkg = run.session.package;
  const int64_t last = pkg.Number(qb::kLastCabinetNumber);
  uint64_t total = 0;
  if (last >= 0)
    total =
        static_cast<uint64_t>(last) * StoredSize(pkg, 0) + StoredSize(pkg, static_cast<int>(last));
  const uint64_t end = run.session.state.packageEnd >= qb::Trailer::kSize
                           ? run.session.state.packageEnd - qb::Trailer::kSize
                           : 0;
  const uint64_t start = static_cast<uint32_t>(run.session.state.fileCabinetOffset);
  const uint64_t inside = end > start ? end - start : 0;
  const uint64_t before = inside * static_cast<uint64_t>(volume - 1);
  if (inside == 0 || before >= total) return 0;
  return total - before < inside ? total - before : inside;
}

bool Extraction::Locate(int index, CabinetSource& source) {
  source = CabinetSource();
  const qb::Package& pkg = run.session.package;
  const uint64_t size = StoredSize(pkg, index);
  uint64_t found = 0;
  if (volume == 1) {
    const std::string installer = toolkit::ModulePath();
    const uint64_t position =
        static_cast<uint32_t>(run.session.state.fileCabinetOffset) +
        static_cast<uint64_t>(index) * static_cast<uint32_t>(pkg.Number(qb::kCabinetSize));
    // The cabinet data ends at the trailer, which a signature may follow.
    const uint64_t total = run.session.state.packageEnd;
    const uint64_t end = total >= qb::Trailer::kSize ? total - qb::Trailer::kSize : 0;
    const uint64_t available = end > position ? end - position : 0;
    found = size < available ? size : available;
    if (found) source.pieces.push_back({installer, position, found});
  }
  while (found < size) {
    // The data goes on in the next volume file, from its beginning; a file
    // that is not there is asked for until it is, or the user gives up.
    if (volume == 1 || volumeOffset >= FileSize(VolumePath(pkg, volume))) {
      ++volume;
      volumeOffset = 0;
    }
    const std::string path = VolumePath(pkg, volume);
    while (!toolkit::FileExists(path)) {
      toolkit::Log({"volume ", qb::Decimal(volume), " is missing: ", path});
      if (!run.host.AskForVolume(volume)) return false;
    }
    const uint64_t length = FileSize(path);
    if (VolumeDamaged(*this, volume, path, length)) return false;
    const uint64_t left = length > volumeOffset ? length - volumeOffset : 0;
    const uint64_t take = size - found < left ? size - found : left;
    if (take == 0) {
      // An empty or too short volume: the next one holds the rest.
      volumeOffset = length;
      continue;
    }
    source.pieces.push_back({path, volumeOffset, take});
    volumeOffset += take;
    found += take;
  }
  cabinetsFound = index + 1;
  cabinetVolumes.resize(cabinetsFound);
  cabinetVolumes[index].clear();
  for (const CabinetSource::Piece& piece : source.pieces)
    cabinetVolumes[index].push_back(piece.file);
  return true;
}

namespace {

// The reader asks for the cabinets of the set one after the other; each is
// read where it lies in the installer and its volumes, whatever the previous
// cabinet's header calls it.
void OnNextCabinet(void* owner, TCab&, int index, const std::string&, const std::string&,
                   CabinetSource& source, bool& abort) {
  Extraction& x = *static_cast<Extraction*>(owner);
  if (index != x.cabinetsFound || index > x.run.session.package.Number(qb::kLastCabinetNumber))
    return;
  if (!x.Locate(index, source)) {
    x.run.abandoned = true;
    abort = true;
  }
}

// Whether the packed file (packed time) is newer than the existing one, to
// the millisecond. An existing file whose time cannot be read (it is in
// use) counts as older.
bool PackedIsNewer(const std::string& dest, const FILETIME& packed) {
  HANDLE h = CreateFileA(dest.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;
  FILETIME existing = {};
  const BOOL ok = GetFileTime(h, nullptr, nullptr, &existing);
  CloseHandle(h);
  if (!ok) return true;
  // Compared in whole milliseconds.
  uint64_t packedTime = ToUint(packed), existingTime = ToUint(existing);
  qb::DivideInPlace(packedTime, 10000);
  qb::DivideInPlace(existingTime, 10000);
  return packedTime > existingTime;
}

bool Ask(RunState& run, const std::string& dest, const FILETIME& packed, int32_t size) {
  switch (run.rememberedAnswer) {
    case kOverwriteAll:
      return true;
    case kKeepAll:
      return false;
    case kAsk:
      break;
    default:
      return true;
  }
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExA(dest.c_str(), GetFileExInfoStandard, &data);
  const uint64_t existingSize = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  const OverwriteAnswer answer =
      run.host.AskOverwrite(dest, FileDescription(ToUint(data.ftLastWriteTime), existingSize),
                            FileDescription(ToUint(packed), static_cast<uint32_t>(size)));
  run.rememberedAnswer = answer == kOverwrite || answer == kKeep ? kAsk : answer;
  return answer == kOverwrite || answer == kOverwriteAll;
}

void OnCopyFile(void* owner, TCab& cab, const std::string& name, int32_t size, uint16_t date,
                uint16_t time, uint16_t, uint16_t, std::string& dest, bool& abort) {
  RunState& run = static_cast<Extraction*>(owner)->run;
  const qb::RecordList& files = run.session.package.Records(qb::List::kFiles);
  // A packed file is named by its record number; any other name has no
  // destination and is skipped.
  const bool numbered = !name.empty() && name.size() < 10 &&
                        name.find_first_not_of("0123456789") == std::string::npos;
  const int64_t n = numbered ? qb::ReadNumber(name) : -1;
  bool write = n >= 0 && static_cast<uint64_t>(n) < files.Count();
  const char* skipped = write ? nullptr : "no file record of that number";
  if (write) {
    dest = ExpandText(files.Field(static_cast<size_t>(n), 0));
    // The destination comes from the package: it must be a full path whose
    // every folder the safe-name rule accepts. One that is not cannot be
    // installed, which is an error like any file that cannot be created.
    if (!qb::IsSafeDestinationPath(dest)) {
      toolkit::Log({"file cannot be created (not a safe full path): ", dest});
      if (run.host.AskAfterCreateError(dest)) {
        ++run.filesNotInstalled;
      } else {
        run.abandoned = true;
        abort = true;
      }
      dest.clear();
      run.ProgressStep();
      return;
    }
    // A 64-bit package's system files go to the native system folder, and
    // the installed-files list names the path that reaches it.
    if (run.session.state.native64) dest = toolkit::UnredirectedPath(dest);
  }
  if (write) {
    const DWORD attributes = GetFileAttributesA(dest.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      FILETIME packed = {};
      DosTimeToUtc(date, time, packed);
      switch (qb::ReadNumber(files.Field(static_cast<size_t>(n), 1))) {
        case 0:
          write = Ask(run, dest, packed, size);
          if (!write) skipped = "kept: the answer was not to replace it";
          break;
        case 1:
          write = PackedIsNewer(dest, packed);
          if (!write) skipped = "kept: the existing file is as new or newer";
          if (write) write = Ask(run, dest, packed, size);
          if (!write && !skipped) skipped = "kept: the answer was not to replace it";
          break;
        case 3:
          write = PackedIsNewer(dest, packed);
          if (!write) skipped = "kept: the existing file is as new or newer";
          break;
        case 4:
          write = false;
          skipped = "kept: the rule never replaces an existing file";
          break;
        default:
          write = true;
          break;
      }
      if (write) {
        cab.MarkReplacing();
        if (attributes & FILE_ATTRIBUTE_READONLY) {
          SetFileAttributesA(dest.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        }
      }
    }
  }
  if (write) {
    run.Status(run.session.package.Msg(qb::kMsgStatusFilePrefix) +
               dest.substr(dest.find_last_of('\\') + 1));
  } else {
    toolkit::Log({"file ", dest.empty() ? "\"" : "", dest.empty() ? name : dest,
                  dest.empty() ? "\" " : " ",
                  skipped && std::strncmp(skipped, "kept:", 5) == 0 ? "" : "skipped: ",
                  skipped ? skipped : ""});
    dest.clear();
  }
  run.ProgressStep();
}

// A file is complete and in place: only now is it installed, and only now
// does the uninstaller learn of it.
void OnFilePlaced(void* owner, TCab&, const std::string& name, const std::string& dest,
                  bool replaced) {
  RunState& run = static_cast<Extraction*>(owner)->run;
  const qb::RecordList& files = run.session.package.Records(qb::List::kFiles);
  const size_t n = static_cast<size_t>(qb::ReadNumber(name));
  if (n < files.Count() && qb::ReadNumber(files.Field(n, 2)) == 1) {
    run.installedFiles.push_back(dest);
  }
  toolkit::Log({replaced ? "file replaced: " : "file written: ", dest});
}

void OnCreateError(void* owner, TCab&, const std::string& dest, bool& abort) {
  RunState& run = static_cast<Extraction*>(owner)->run;
  toolkit::Log({"file cannot be created: ", dest, ": ", toolkit::SystemErrorText(GetLastError())});
  if (run.host.AskAfterCreateError(dest)) {
    ++run.filesNotInstalled;
  } else {
    run.abandoned = true;
    abort = true;
  }
}

// The volume files that hold cabinet index of the set, for a message.
std::string VolumesOf(const Extraction& x, int index) {
  std::string names;
  if (index < 0 || static_cast<size_t>(index) >= x.cabinetVolumes.size()) return names;
  for (const std::string& file : x.cabinetVolumes[static_cast<size_t>(index)]) {
    if (names.find(file) == std::string::npos) names += (names.empty() ? "" : "\r\n") + file;
  }
  return names;
}

// An extraction that did not finish and was not given up by the user: the
// log and the user learn which file or which part of the package failed,
// and the run ends as failed.
void ReportFailure(RunState& run, const Extraction& x) {
  const ExtractionFailure& f = x.cab.Failure();
  std::string text;
  switch (f.fault) {
    case ExtractionFault::kWrite:
    case ExtractionFault::kPlace:
      toolkit::Log(
          {"file could not be written: ", f.path, ": ", toolkit::SystemErrorText(f.systemError)});
      text = run.session.package.Msg(qb::kMsgCannotCreate) + f.path + "\r\n" +
             toolkit::SystemErrorText(f.systemError);
      break;
    case ExtractionFault::kMemory:
      toolkit::Log("the cabinet reader ran out of memory");
      run.failureReason = qb::ExitReason::kOutOfMemory;
      break;
    default: {
      const std::string volumes = VolumesOf(x, f.cabinet);
      toolkit::Log({"cabinet ", qb::Decimal(f.cabinet), " is damaged (reader error ",
                    qb::Decimal(f.fdiError), "), in ", volumes});
      text = std::string(qb::kDamagedPackageMessage) + "\r\n" + volumes;
      run.failureReason = qb::ExitReason::kDamagedPackage;
      break;
    }
  }
  if (!text.empty()) run.host.ReportFailure(text);
}

// A volume that is not the size the package says is damaged: reading on
// into the next one would take the wrong bytes for the rest of the set.
bool VolumeDamaged(Extraction& x, int volume, const std::string& path, uint64_t length) {
  const uint64_t expected = x.VolumeLength(volume);
  if (length == expected) return false;
  toolkit::Log({"volume ", qb::Decimal(volume), " is damaged: ", path, " holds ",
                qb::Decimal(static_cast<int64_t>(length)), " bytes, not ",
                qb::Decimal(static_cast<int64_t>(expected))});
  x.run.host.ReportFailure(std::string(qb::kDamagedPackageMessage) + "\r\n" + path);
  x.run.failureReason = qb::ExitReason::kDamagedPackage;
  return true;
}

}  // namespace

void DiscardExtraction(RunState& run) {
  Extraction* x = run.extraction;
  if (!x) return;
  x->cab.AbandonOpenFiles();
  run.extraction = nullptr;
}

std::string FileDescription(uint64_t fileTimeUtc, uint64_t size) {
  FILETIME utc = {static_cast<DWORD>(fileTimeUtc), static_cast<DWORD>(fileTimeUtc >> 32)};
  FILETIME local;
  SYSTEMTIME st;
  FileTimeToLocalFileTime(&utc, &local);
  FileTimeToSystemTime(&local, &st);
  char date[64] = {}, clock[64] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, date, sizeof date);
  GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, clock, sizeof clock);
  return std::string(date) + " " + clock + "    " + qb::SizeShortForm(size) + "b";
}

bool ExtractFiles(RunState& run) {
  Extraction extraction(run);
  run.extraction = &extraction;
  run.Status(run.session.package.Msg(qb::kMsgStatusExtracting));
  toolkit::Application.ProcessMessages();
  CabinetSource first;
  if (extraction.Locate(0, first)) {
    TCab& cab = extraction.cab;
    cab.OnCopyFile = {OnCopyFile, &extraction};
    cab.OnCreateError = {OnCreateError, &extraction};
    cab.OnNextCabinet = {OnNextCabinet, &extraction};
    cab.OnFilePlaced = {OnFilePlaced, &extraction};
    cab.Extract(first, DestinationFolder());
    if (!cab.Finished() && !run.abandoned) {
      ReportFailure(run, extraction);
      run.abandoned = true;
    }
  } else {
    run.abandoned = true;
  }
  if (run.filesNotInstalled) {
    toolkit::Log(
        {qb::Decimal(run.filesNotInstalled), " file(s) could not be installed and were skipped"});
  }
  if (run.abandoned) {
    // What FDI was writing when it stopped is incomplete and goes; the
    // caller ends the installation.
    DiscardExtraction(run);
    return false;
  }
  toolkit::Application.ProcessMessages();
  run.extraction = nullptr;
  return true;
}

}  // namespace engine
