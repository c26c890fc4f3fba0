// qbcab: writes a cabinet (or a set) with the authoring tool's cabinet writer,
// for tests that need cabinets with particular names, attributes and times.
//
//   qbcab OUTDIR CABSIZE [--stored] [--lzx-window BITS] [--header-names PREFIX]
//         NAME=PATH[,attr=HEX][,date=HEX,time=HEX]...
//
// The compression is MSZIP, or what QB_COMPRESSION names (lzx, mszip),
// so that one test runs over both; --stored stores.
// Writes OUTDIR/temp_0.tmp, temp_1.tmp, ...; CABSIZE 0 gives one cabinet.
// --header-names makes the headers call cabinet k PREFIXk instead of
// temp_k.tmp (the files keep their names).
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "cab/cab_writer.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: qbcab OUTDIR CABSIZE [--stored] NAME=PATH[,attr=HEX]...\n");
    return 2;
  }
  qb::cab::Options options;
  options.cabinetSize = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  if (const char* c = std::getenv("QB_COMPRESSION"); c && std::string(c) == "lzx") {
    options.compression = qb::cab::Compression::kLzx;
  }
  std::vector<qb::cab::InputFile> files;
  for (int i = 3; i < argc; ++i) {
    std::string spec = argv[i];
    if (spec == "--stored") {
      options.compression = qb::cab::Compression::kNone;
      continue;
    }
    if (spec == "--lzx-window" && i + 1 < argc) {
      options.compression = qb::cab::Compression::kLzx;
      options.lzxWindowBits = std::atoi(argv[++i]);
      continue;
    }
    if (spec == "--header-names" && i + 1 < argc) {
      const std::string prefix = argv[++i];
      options.cabinetName = [prefix](int k) { return prefix + std::to_string(k); };
      continue;
    }
    qb::cab::InputFile f;
    const size_t eq = spec.find('=');
    f.name = spec.substr(0, eq);
    std::string rest = spec.substr(eq + 1);
    const size_t comma = rest.find(',');
    f.sourcePath = rest.substr(0, comma);
    struct stat st {};
    if (stat(f.sourcePath.c_str(), &st) != 0) {
      std::fprintf(stderr, "qbcab: cannot read %s\n", f.sourcePath.c_str());
      return 1;
    }
    f.size = static_cast<uint32_t>(st.st_size);
    qb::cab::ToDosDateTime(st.st_mtime, f.date, f.time);
    std::string opts = comma == std::string::npos ? "" : rest.substr(comma + 1) + ",";
    for (size_t at = 0; at < opts.size();) {
      const size_t end = opts.find(',', at);
      const std::string kv = opts.substr(at, end - at);
      const unsigned long v = std::strtoul(kv.substr(kv.find('=') + 1).c_str(), nullptr, 16);
      if (kv.rfind("attr=", 0) == 0) f.attributes = static_cast<uint16_t>(v);
      if (kv.rfind("date=", 0) == 0) f.date = static_cast<uint16_t>(v);
      if (kv.rfind("time=", 0) == 0) f.time = static_cast<uint16_t>(v);
      at = end + 1;
    }
    files.push_back(f);
  }
  const qb::cab::Result result = qb::cab::WriteCabinets(files, options);
  if (!result.error.empty()) {
    std::fprintf(stderr, "qbcab: %s\n", result.error.c_str());
    return 1;
  }
  for (size_t k = 0; k < result.cabinets.size(); ++k) {
    const std::string path = std::string(argv[1]) + "/temp_" + std::to_string(k) + ".tmp";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(result.cabinets[k].data()),
              static_cast<std::streamsize>(result.cabinets[k].size()));
  }
  std::printf("%zu\n", result.cabinets.size());
  return 0;
}
