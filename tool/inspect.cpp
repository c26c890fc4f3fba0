// `quillbox inspect`: prints the package of an installer readably.
#include "inspect.h"

#include <cstdio>
#include <fstream>

#include "messages.h"
#include "package/package.h"
#include "settings_table.h"
#include "variables.h"

namespace tool {

namespace {

class FileSource : public qb::ByteSource {
 public:
  explicit FileSource(const std::string& path) : file_(path, std::ios::binary) {
    if (file_) {
      file_.seekg(0, std::ios::end);
      size_ = static_cast<uint64_t>(file_.tellg());
      file_.seekg(0);
    }
  }
  bool Ok() const { return static_cast<bool>(file_); }
  size_t Read(void* buffer, size_t size) override {
    file_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
    const size_t got = static_cast<size_t>(file_.gcount());
    file_.clear();
    return got;
  }
  bool Seek(uint64_t position) override {
    file_.clear();
    return static_cast<bool>(file_.seekg(static_cast<std::streamoff>(position)));
  }
  uint64_t Size() override { return size_; }

 private:
  std::ifstream file_;
  uint64_t size_ = 0;
};

const std::vector<std::vector<const char*>> kFieldNames = {
    {"root", "key", "value", "default"},
    {"root", "key", "name", "data", "type", "overwrite", "uninstall"},
    {"root", "key", "extra"},
    {"name", "file"},
    {"location", "name", "target", "arguments", "description", "icon", "icon_index",
     "working_folder"},
    {"destination", "overwrite", "uninstall"},
    {"path", "uninstall"},
    {"note", "file", "parameters", "show", "when", "wait"},
    {"file", "section", "key", "value", "overwrite", "uninstall"},
    {"key", "value"},
    {"file", "uninstall"},
    {"name", "id", "license_file", "readme_file"},
};

}  // namespace

int Inspect(const std::string& path) {
  FileSource source(path);
  if (!source.Ok()) {
    std::fprintf(stderr, "quillbox: cannot read %s\n", path.c_str());
    return 1;
  }
  qb::Package pkg;
  qb::PackageReader reader(source, pkg);
  if (!reader.ReadTrailer()) {
    std::fprintf(stderr, "quillbox: %s carries no package (or a damaged trailer)\n", path.c_str());
    return 1;
  }
  const qb::Trailer& t = reader.GetTrailer();
  std::printf("Package trailer (last 34 bytes)\n");
  std::printf("  configuration stream at   %lld\n", static_cast<long long>(t.configOffset));
  std::printf("  support cabinet at        %lld, %llu bytes stored\n",
              static_cast<long long>(t.supportOffset),
              static_cast<unsigned long long>(t.supportLength));
  std::printf("  file cabinet data at      %llu\n",
              static_cast<unsigned long long>(t.fileCabinetOffset));
  std::printf("  settings                  %d\n", t.settingsCountMinusOne + 1);
  if (!reader.ReadSettings() || !reader.ReadRegistryVariables() || !reader.ReadRemainingLists()) {
    std::fprintf(stderr, "quillbox: the package of %s is damaged\n", path.c_str());
    return 1;
  }
  // Registry variable names are not stored; number them.
  std::vector<std::string> regNames;
  for (size_t i = 0; i < pkg.Records(qb::List::kRegistryVariables).Count(); ++i) {
    regNames.push_back("var" + std::to_string(i + 1));
  }
  std::printf("\nSettings\n");
  for (size_t i = 0; i < pkg.settings.size(); ++i) {
    const SettingInfo* info = SettingAt(static_cast<int>(i));
    if (!info && pkg.settings[i].empty()) continue;
    std::printf("  %3zu %-26s = %s\n", i, info ? info->name : "(unused)",
                ReadableVariables(pkg.settings[i], regNames).c_str());
  }
  for (int l = 0; l < qb::kListCount; ++l) {
    const qb::ListLayout& layout = qb::AllLayouts()[l];
    const qb::RecordList& list = pkg.lists[l];
    if (layout.list == qb::List::kPrograms) {
      std::printf("\nPrograms (%zu: %lld at install time, %lld at uninstall time)\n", list.Count(),
                  static_cast<long long>(pkg.Number(qb::kInstallProgramCount)),
                  static_cast<long long>(pkg.Number(qb::kUninstallProgramCount)));
    } else {
      std::printf("\n%c%s (%zu)\n",
                  layout.name[0] - ('a' <= layout.name[0] && layout.name[0] <= 'z' ? 32 : 0),
                  layout.name + 1, list.Count());
    }
    for (size_t r = 0; r < list.Count(); ++r) {
      std::printf("  %zu:", r);
      for (int f = 0; f < list.width; ++f) {
        const std::string name = static_cast<size_t>(f) < kFieldNames[l].size()
                                     ? kFieldNames[l][f]
                                     : "field" + std::to_string(f + 1);
        std::printf(" %s=\"%s\"", name.c_str(),
                    ReadableVariables(list.Field(r, f), regNames).c_str());
      }
      std::printf("\n");
    }
  }
  const int64_t languages = pkg.LanguageCount();
  const int64_t m = pkg.MessagesPerLanguage();
  for (int64_t k = 0; k < languages; ++k) {
    std::printf("\nMessages of language %lld (%s)\n", static_cast<long long>(k),
                pkg.Records(qb::List::kLanguages).Field(k, 0).c_str());
    for (int64_t i = 1; i <= m; ++i) {
      const MessageInfo* info = MessageAt(static_cast<int>(i));
      std::string text = pkg.Msg(static_cast<int>(k * m + i));
      for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\\n");
      std::printf("  %2lld %-26s %s\n", static_cast<long long>(i), info ? info->name : "",
                  text.c_str());
    }
  }
  std::printf("\nCabinets: %lld, stored size %lld each, the last %lld\n",
              static_cast<long long>(pkg.Number(qb::kLastCabinetNumber) + 1),
              static_cast<long long>(pkg.Number(qb::kCabinetSize)),
              static_cast<long long>(pkg.Number(qb::kLastCabinetSize)));
  const uint64_t inside = source.Size() - qb::Trailer::kSize - t.fileCabinetOffset;
  const uint64_t total = static_cast<uint64_t>(pkg.Number(qb::kLastCabinetNumber)) *
                             static_cast<uint64_t>(pkg.Number(qb::kCabinetSize)) +
                         static_cast<uint64_t>(pkg.Number(qb::kLastCabinetSize));
  std::printf("Cabinet data: %llu bytes, %llu inside the installer",
              static_cast<unsigned long long>(total), static_cast<unsigned long long>(inside));
  if (total > inside) {
    std::printf(", the rest in volumes named %s",
                ReadableVariables(pkg.Text(qb::kVolumePattern), regNames).c_str());
  }
  std::printf("\n");
  return 0;
}

}  // namespace tool
