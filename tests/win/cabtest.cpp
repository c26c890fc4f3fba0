// cabtest: drives TCab, the stub's cabinet reader, under Wine.
//
//   cabtest extract CAB DEST [--events] [--set-from DIR]
//       Extracts CAB into DEST. --events prints every event. --set-from DIR
//       answers each request for cabinet number k of the set: it copies
//       temp_k.tmp from DIR to piece_k.tmp beside CAB, deleting the piece
//       before, whatever the headers name. --stored-from DIR instead reads
//       temp_k.tmp in place past its first four bytes, as the installer
//       reads the stored cabinets of its package.
//   cabtest stat FILE
//       Prints the file's attributes and its last-write and creation times
//       in local time.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/cab.h"

namespace {

struct Options {
  bool events = false;
  std::string setFrom;
  bool stored = false;
  std::string pieceFolder;
  std::string lastWritten;
};

void OnCopy(void* owner, engine::TCab&, const std::string& name, int32_t size, uint16_t date,
            uint16_t time, uint16_t attributes, uint16_t folder, std::string& dest, bool&) {
  if (static_cast<Options*>(owner)->events) {
    std::printf("copy %s size=%d date=%04x time=%04x attr=%02x folder=%04x dest=%s\n", name.c_str(),
                size, date, time, attributes, folder, dest.c_str());
  }
}

void OnCreateError(void* owner, engine::TCab&, const std::string& dest, bool&) {
  if (static_cast<Options*>(owner)->events) std::printf("create-error %s\n", dest.c_str());
}

void OnNext(void* owner, engine::TCab&, int index, const std::string& name, const std::string& disk,
            engine::CabinetSource& source, bool&) {
  auto* o = static_cast<Options*>(owner);
  if (o->events) std::printf("next %d header=%s disk=%s\n", index, name.c_str(), disk.c_str());
  if (o->setFrom.empty()) return;
  const std::string from = engine::JoinPath(o->setFrom, "temp_" + std::to_string(index) + ".tmp");
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(from.c_str(), GetFileExInfoStandard, &data)) return;
  if (o->stored) {
    source.pieces.push_back({from, 4, data.nFileSizeLow - 4u});
    return;
  }
  if (!o->lastWritten.empty()) DeleteFileA(o->lastWritten.c_str());
  const std::string to =
      engine::JoinPath(o->pieceFolder, "piece_" + std::to_string(index) + ".tmp");
  CopyFileA(from.c_str(), to.c_str(), FALSE);
  o->lastWritten = to;
  source.file = to;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "extract") == 0) {
    Options o;
    for (int i = 4; i < argc; ++i) {
      if (std::strcmp(argv[i], "--events") == 0) o.events = true;
      if (std::strcmp(argv[i], "--set-from") == 0 && i + 1 < argc) o.setFrom = argv[++i];
      if (std::strcmp(argv[i], "--stored-from") == 0 && i + 1 < argc) {
        o.setFrom = argv[++i];
        o.stored = true;
      }
    }
    const std::string cabinet = argv[2];
    o.pieceFolder = cabinet.substr(0, cabinet.find_last_of('\\') + 1);
    if (!engine::TCab::Available()) {
      std::printf("cabinet.dll is not available\n");
      return 1;
    }
    engine::TCab cab;
    cab.OnCopyFile = {OnCopy, &o};
    cab.OnCreateError = {OnCreateError, &o};
    if (o.events || !o.setFrom.empty()) cab.OnNextCabinet = {OnNext, &o};
    cab.Extract(argv[2], argv[3]);
    std::fflush(stdout);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "stat") == 0) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(argv[2], GetFileExInfoStandard, &data)) return 1;
    auto print = [](const char* what, const FILETIME& utc) {
      FILETIME local;
      SYSTEMTIME st;
      FileTimeToLocalFileTime(&utc, &local);
      FileTimeToSystemTime(&local, &st);
      std::printf(" %s=%04d-%02d-%02d %02d:%02d:%02d", what, st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond);
    };
    std::printf("attr=%02lx", data.dwFileAttributes & 0xFF);
    print("written", data.ftLastWriteTime);
    print("created", data.ftCreationTime);
    std::printf("\n");
    return 0;
  }
  std::fprintf(stderr, "usage: cabtest extract CAB DEST [--events] [--set-from DIR] | stat FILE\n");
  return 2;
}
