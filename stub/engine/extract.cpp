#include "engine/extract.h"

#include <windows.h>

#include <vector>

#include "actions/completion.h"
#include "engine/cab.h"
#include "engine/run.h"
#include "engine/variables.h"
#include "startup/state.h"
#include "startup/workfolder.h"
#include "text/expand.h"
#include "text/text.h"
#include "toolkit/application.h"
#include "toolkit/files.h"
#include "wizard/replace_file.h"
#include "wizard/wizard.h"

namespace en {

int RememberedAnswer = wz::kAsk;

namespace {

constexpr char kVolumeToken[] = "@$&%19";

struct Extraction {
  int cabinetCounter = 0;
  int volume = 1;
  bool lastAttemptFound = true;
  tk::TFileStream current;
  std::string lastWritten;
  std::vector<std::string> written;  // every piece, for the final clean-up
};
Extraction* state = nullptr;

HWND Owner() { return wz::Wizard ? wz::Wizard->Handle() : tk::Application.Handle(); }

uint64_t StoredSize(int k) {
  const qb::Package& pkg = st::Package;
  const int64_t size = k == pkg.Number(qb::kLastCabinetNumber) ? pkg.Number(qb::kLastCabinetSize)
                                                               : pkg.Number(qb::kCabinetSize);
  return size < 0 ? 0 : static_cast<uint64_t>(static_cast<uint32_t>(size));
}

uint64_t ToUint(const FILETIME& ft) {
  return static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}

// Writes the next stored cabinet of the set to path, reading on into the
// next volume files where the data continues there.
void WriteNextCabinet(const std::string& path) {
  Extraction& s = *state;
  if (s.cabinetCounter > 0) DeleteFileA(s.lastWritten.c_str());
  tk::TFileStream out;
  out.Create(path);
  out.Write("MSCF", 4);
  s.written.push_back(path);
  const uint64_t size = StoredSize(s.cabinetCounter);
  uint64_t copied = 0;
  if (s.volume == 1) {
    const uint64_t position = static_cast<uint32_t>(st::Startup.fileCabinetOffset) +
                              static_cast<uint64_t>(s.cabinetCounter) *
                                  static_cast<uint32_t>(st::Package.Number(qb::kCabinetSize));
    const uint64_t end = s.current.Size() >= 34 ? s.current.Size() - 34 : 0;
    const uint64_t available = end > position ? end - position : 0;
    s.current.Seek(position);
    copied = tk::CopyStream(s.current, out, size < available ? size : available);
  } else {
    copied = tk::CopyStream(s.current, out, size);
  }
  while (copied < size) {
    if (s.lastAttemptFound) ++s.volume;
    s.current.Close();
    std::string name = st::Package.Text(qb::kVolumePattern);
    const size_t at = name.find(kVolumeToken);
    if (at != std::string::npos) name.replace(at, 6, qb::Decimal(s.volume));
    const std::string volumePath = tk::FolderOf(tk::ModulePath()) + name;
    if (!tk::FileExists(volumePath)) {
      const std::string text = st::Package.Msg(qb::kMsgNextVolume) + qb::Decimal(s.volume);
      if (MessageBoxA(Owner(), text.c_str(), st::Startup.installerTitle.c_str(),
                      MB_OKCANCEL | MB_ICONINFORMATION) == IDCANCEL) {
        out.Close();
        act::AbortInstallation();
      }
    }
    s.lastAttemptFound = tk::FileExists(volumePath);
    s.current.OpenRead(volumePath);
    copied += tk::CopyStream(s.current, out, size - copied);
  }
  out.Close();
  s.lastWritten = path;
}

void OnNextCabinet(void*, TCab&, const std::string& name, const std::string&, std::string& folder,
                   bool&) {
  // FDI asks once more when it cannot open the cabinet it named, so the
  // first request of a run writes nothing and each later one the next piece.
  if (state->cabinetCounter > 0) WriteNextCabinet(JoinPath(folder, name));
  state->cabinetCounter++;
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
  return ToUint(packed) / 10000 > ToUint(existing) / 10000;
}

bool Ask(const std::string& dest, const FILETIME& packed, int32_t size) {
  switch (RememberedAnswer) {
    case wz::kOverwriteAll:
      return true;
    case wz::kKeepAll:
      return false;
    case wz::kAsk:
      break;
    default:
      return true;
  }
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExA(dest.c_str(), GetFileExInfoStandard, &data);
  const uint64_t existingSize = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  const int answer =
      wz::AskOverwrite(dest, FileDescription(ToUint(data.ftLastWriteTime), existingSize),
                       FileDescription(ToUint(packed), static_cast<uint32_t>(size)));
  RememberedAnswer = answer == wz::kOverwrite || answer == wz::kKeep ? wz::kAsk : answer;
  return answer == wz::kOverwrite || answer == wz::kOverwriteAll;
}

void OnCopyFile(void*, TCab&, const std::string& name, int32_t size, uint16_t date, uint16_t time,
                uint16_t, uint16_t, std::string& dest, bool&) {
  const qb::RecordList& files = st::Package.Records(qb::List::kFiles);
  // A packed file is named by its record number; any other name has no
  // destination and is skipped.
  const bool numbered = !name.empty() && name.size() < 10 &&
                        name.find_first_not_of("0123456789") == std::string::npos;
  const int64_t n = numbered ? qb::ReadNumber(name) : -1;
  bool write = n >= 0 && static_cast<uint64_t>(n) < files.Count();
  if (write) {
    dest = ExpandText(files.Field(static_cast<size_t>(n), 0));
    const DWORD attributes = GetFileAttributesA(dest.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      FILETIME packed = {};
      DosTimeToUtc(date, time, packed);
      switch (qb::ReadNumber(files.Field(static_cast<size_t>(n), 1))) {
        case 0:
          write = Ask(dest, packed, size);
          break;
        case 1:
          write = PackedIsNewer(dest, packed) && Ask(dest, packed, size);
          break;
        case 3:
          write = PackedIsNewer(dest, packed);
          break;
        case 4:
          write = false;
          break;
        default:
          write = true;
          break;
      }
      if (write && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesA(dest.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
      }
    }
  }
  if (write) {
    if (qb::ReadNumber(files.Field(static_cast<size_t>(n), 2)) == 1) InstalledFiles.push_back(dest);
    Status(st::Package.Msg(qb::kMsgStatusFilePrefix) + dest.substr(dest.find_last_of('\\') + 1));
  } else {
    dest.clear();
  }
  ProgressStep();
}

void OnCreateError(void*, TCab&, const std::string& dest, bool& abort) {
  const std::string text = st::Package.Msg(qb::kMsgCannotCreate) + dest + "\r\n" +
                           st::Package.Msg(qb::kMsgCannotCreateAfter);
  if (MessageBoxA(Owner(), text.c_str(), st::Startup.installerTitle.c_str(), MB_OKCANCEL) ==
      IDCANCEL) {
    abort = true;
    act::AbortInstallation();
  }
}

}  // namespace

void DiscardExtraction() {
  if (!state) return;
  TCab::AbandonOpenFiles();
  state->current.Close();
  for (const std::string& piece : state->written) DeleteFileA(piece.c_str());
  state = nullptr;
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

void ExtractFiles() {
  Extraction extraction;
  state = &extraction;
  Status(st::Package.Msg(qb::kMsgStatusExtracting));
  tk::Application.ProcessMessages();
  extraction.current.OpenRead(tk::ModulePath());
  const std::string first = st::SupportFile(0, true);
  WriteNextCabinet(first);
  {
    TCab cab;
    cab.OnCopyFile = {OnCopyFile, nullptr};
    cab.OnCreateError = {OnCreateError, nullptr};
    cab.OnNextCabinet = {OnNextCabinet, nullptr};
    cab.Extract(first, DestinationFolder());
  }
  extraction.current.Close();
  // The reader may still have held a piece open when the next one was
  // written; whatever is left goes now, so that the working folder can go.
  for (const std::string& piece : extraction.written) DeleteFileA(piece.c_str());
  tk::Application.ProcessMessages();
  state = nullptr;
}

}  // namespace en
