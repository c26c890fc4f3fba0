// `quillbox inspect`: prints the package of an installer readably.
#include "inspect.h"

#include <cstdio>
#include <fstream>

#include "messages.h"
#include "package/package.h"
#include "package/signature.h"
#include "settings_table.h"
#include "text/text.h"
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

// The record lists, in stream order: their titles and their fields' names.
struct ListNames {
  const char* title;
  std::vector<const char*> fields;
};
const ListNames kListNames[qb::kListCount] = {
    {"Registry variables", {"root", "key", "value", "default"}},
    {"Registry values", {"root", "key", "name", "data", "type", "overwrite", "uninstall"}},
    {"Registry keys", {"root", "key", "extra"}},
    {"Fonts", {"name", "file"}},
    {"Shortcuts",
     {"location", "name", "target", "arguments", "description", "icon", "icon_index",
      "working_folder"}},
    {"Files", {"destination", "overwrite", "uninstall"}},
    {"Folders", {"path", "uninstall"}},
    {"Programs", {"note", "file", "parameters", "show", "when", "wait"}},
    {"INI entries", {"file", "section", "key", "value", "overwrite", "uninstall"}},
    {"Uninstall extras", {"key", "value"}},
    {"Components", {"file", "uninstall"}},
    {"Languages", {"name", "id", "license_file", "readme_file"}},
};

// A text of the package, readable and safe for a terminal.
std::string Shown(const std::string& stored, const std::vector<std::string>& regNames) {
  return qb::EscapeControls(ReadableVariables(stored, regNames));
}

}  // namespace

int Inspect(const std::string& path, std::FILE* out, std::FILE* err) {
  FileSource source(path);
  if (!source.Ok()) {
    std::fprintf(err, "quillbox: cannot read %s\n", qb::EscapeControls(path).c_str());
    return 1;
  }
  qb::Package pkg;
  qb::PackageReader reader(source, pkg);
  if (!reader.ReadTrailer()) {
    std::fprintf(err, "quillbox: %s carries no package (or a damaged trailer)\n",
                 qb::EscapeControls(path).c_str());
    return 1;
  }
  const qb::Trailer& t = reader.GetTrailer();
  qb::CertificateTable signature;
  if (qb::FindCertificateTable(source, signature)) {
    std::fprintf(out, "Signature: Authenticode certificate table of %llu bytes at %llu\n",
                 static_cast<unsigned long long>(signature.size),
                 static_cast<unsigned long long>(signature.offset));
  } else {
    std::fprintf(out, "Signature: none\n");
  }
  std::fprintf(out, "Package trailer (34 bytes, ending at %llu)\n",
               static_cast<unsigned long long>(reader.End()));
  std::fprintf(out, "  configuration stream at   %lld\n", static_cast<long long>(t.configOffset));
  std::fprintf(out, "  support cabinet at        %lld, %llu bytes stored\n",
               static_cast<long long>(t.supportOffset),
               static_cast<unsigned long long>(t.supportLength));
  std::fprintf(out, "  file cabinet data at      %llu\n",
               static_cast<unsigned long long>(t.fileCabinetOffset));
  std::fprintf(out, "  settings                  %d\n", t.settingsCountMinusOne + 1);
  if (!reader.ReadSettings() || !reader.ReadRegistryVariables() || !reader.ReadRemainingLists()) {
    std::fprintf(err, "quillbox: the package of %s is damaged\n", qb::EscapeControls(path).c_str());
    return 1;
  }
  // Registry variable names are not stored; number them.
  std::vector<std::string> regNames;
  for (size_t i = 0; i < pkg.Records(qb::List::kRegistryVariables).Count(); ++i) {
    regNames.push_back("var" + std::to_string(i + 1));
  }
  std::fprintf(out, "\nSettings\n");
  for (size_t i = 0; i < pkg.settings.size(); ++i) {
    const SettingInfo* info = SettingAt(static_cast<int>(i));
    if (!info && pkg.settings[i].empty()) continue;
    std::fprintf(out, "  %3zu %-26s = %s\n", i, info ? info->name : "(unused)",
                 Shown(pkg.settings[i], regNames).c_str());
  }
  for (int l = 0; l < qb::kListCount; ++l) {
    const qb::ListLayout& layout = qb::AllLayouts()[l];
    const qb::RecordList& list = pkg.lists[l];
    if (layout.list == qb::List::kPrograms) {
      std::fprintf(out, "\nPrograms (%zu: %lld at install time, %lld at uninstall time)\n",
                   list.Count(), static_cast<long long>(pkg.Number(qb::kInstallProgramCount)),
                   static_cast<long long>(pkg.Number(qb::kUninstallProgramCount)));
    } else {
      std::fprintf(out, "\n%s (%zu)\n", kListNames[l].title, list.Count());
    }
    for (size_t r = 0; r < list.Count(); ++r) {
      std::fprintf(out, "  %zu:", r);
      for (int f = 0; f < list.width; ++f) {
        const std::string name = static_cast<size_t>(f) < kListNames[l].fields.size()
                                     ? kListNames[l].fields[f]
                                     : "field" + std::to_string(f + 1);
        std::fprintf(out, " %s=\"%s\"", name.c_str(), Shown(list.Field(r, f), regNames).c_str());
      }
      std::fprintf(out, "\n");
    }
  }
  const int64_t languages = pkg.LanguageCount();
  const int64_t m = pkg.MessagesPerLanguage();
  for (int64_t k = 0; k < languages; ++k) {
    std::fprintf(out, "\nMessages of language %lld (%s)\n", static_cast<long long>(k),
                 qb::EscapeControls(pkg.Records(qb::List::kLanguages).Field(k, 0)).c_str());
    for (int64_t i = 1; i <= m; ++i) {
      const MessageInfo* info = MessageAt(static_cast<int>(i));
      std::string text = pkg.Msg(static_cast<int>(k * m + i));
      for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\n");
      std::fprintf(out, "  %2lld %-26s %s\n", static_cast<long long>(i), info ? info->name : "",
                   qb::EscapeControls(text).c_str());
    }
  }
  // Every figure here comes from the package and may be anything: the sums
  // and products saturate instead of overflowing.
  const int64_t lastNumber = pkg.Number(qb::kLastCabinetNumber);
  const int64_t cabinetSize = pkg.Number(qb::kCabinetSize);
  const int64_t lastSize = pkg.Number(qb::kLastCabinetSize);
  std::fprintf(out, "\nCabinets: %lld, stored size %lld each, the last %lld\n",
               static_cast<long long>(qb::SaturatingAdd(lastNumber, 1)),
               static_cast<long long>(cabinetSize), static_cast<long long>(lastSize));
  const uint64_t end = reader.End() - qb::Trailer::kSize;
  const uint64_t inside = t.fileCabinetOffset <= end ? end - t.fileCabinetOffset : 0;
  const int64_t total =
      qb::SaturatingAdd(qb::SaturatingMultiply(lastNumber, cabinetSize), lastSize);
  std::fprintf(out, "Cabinet data: %lld bytes, %llu inside the installer",
               static_cast<long long>(total), static_cast<unsigned long long>(inside));
  if (total > 0 && static_cast<uint64_t>(total) > inside) {
    std::fprintf(out, ", the rest in volumes named %s",
                 Shown(pkg.Text(qb::kVolumePattern), regNames).c_str());
  }
  std::fprintf(out, "\n");
  return 0;
}

}  // namespace tool
