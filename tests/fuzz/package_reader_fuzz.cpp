// Fuzz target: any bytes as an installer's package. Reading either refuses
// the package or gives tables whose every field can be used; the names in
// them go through the safe-name rule without surprises; `quillbox inspect`
// prints any of them.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cab/safe_name.h"
#include "inspect.h"
#include "package/package.h"
#include "package/support_files.h"
#include "text/text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckNameRule(const std::string& text) {
  const std::string normal = qb::NormalisedCabinetName(text);
  if (normal.empty()) return;
  Check(normal.find('/') == std::string::npos);
  Check(normal.front() != '\\' && normal.find(':') == std::string::npos);
  Check(normal.find("..") == std::string::npos || normal.find("..\\") != 0);
  std::string joined;
  if (qb::JoinCabinetName("C:\\dest", text, joined)) {
    Check(joined.size() <= qb::kMaxPathLength);
    Check(joined.compare(0, 8, "C:\\dest\\") == 0);
  }
  qb::IsSafeDestinationPath(text);
  qb::IsSupportCabinetEntry(text, 3);
}

void Inspect(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/qbfuzz-package-" + std::to_string(getpid());
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  static std::FILE* sink = std::fopen("/dev/null", "w");
  tool::Inspect(path, sink, sink);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Inspect(data, size);
  qb::MemorySource source(std::vector<uint8_t>(data, data + size));
  qb::Package package;
  qb::PackageReader reader(source, package);
  if (!reader.ReadAll()) return 0;
  for (int i = 0; i < static_cast<int>(package.settings.size()); ++i) {
    package.Number(i);
    package.Flag(i);
  }
  size_t strings = 0;
  for (int l = 0; l < qb::kListCount; ++l) {
    const qb::RecordList& list = package.lists[l];
    Check(list.items.size() % list.width == 0);
    strings += list.items.size();
    package.CountOf(static_cast<qb::List>(l));
    for (size_t r = 0; r < list.Count() && r < 64; ++r) {
      for (int f = 0; f < list.width; ++f) CheckNameRule(list.Field(r, f));
    }
  }
  strings += package.strings.size() - 1;
  Check(strings <= qb::PackageReader::kMaxStrings && strings <= size);
  const int64_t languages = package.LanguageCount();
  for (int k = 0; k < 4; ++k) package.SelectLanguage(k);
  Check(package.strings.size() ==
        static_cast<size_t>(languages * package.MessagesPerLanguage() + 1));
  return 0;
}
