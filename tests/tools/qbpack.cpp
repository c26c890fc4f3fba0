// qbpack: builds a test installer straight from the package writer, without a
// manifest. Tests use it to make packages the authoring tool would refuse.
//
//   qbpack STUB OUT [--set N=TEXT]... [--languages N] [--support FILE]
//                   [--files FILE] [--claim N=TEXT]... [--record L=F1|F2|...]...
//
// --record appends a record to list L (its place in the stream: 5 is the
// file list); the settings must give the count.
//
// --claim changes a setting after the lists were written, so that the
// settings claim what the stream does not hold (a damaged package).
//
// Defaults: 119 settings of "0", 96 messages per language ("Message m of
// language k"), one language "English", title "Quillbox Test".
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "package/package.h"
#include "text/text.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "qbpack: cannot read %s\n", path.c_str());
    std::exit(2);
  }
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: qbpack STUB OUT [--set N=TEXT]... [--languages N]\n");
    return 2;
  }
  qb::Package package;
  package.settings.assign(qb::kMinimumSettings, "0");
  package.SetText(qb::kMessagesPerLanguage, "96");
  package.SetText(qb::kPassword, "");  // "0" would be a password
  package.SetText(qb::kInstallerTitle, "Quillbox Test");
  int languages = 1;
  std::vector<uint8_t> support, files;
  std::vector<std::pair<int, std::string>> sets, claims;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--set" && i + 1 < argc) {
      const std::string kv = argv[++i];
      const size_t eq = kv.find('=');
      sets.emplace_back(std::atoi(kv.substr(0, eq).c_str()), kv.substr(eq + 1));
    } else if (arg == "--claim" && i + 1 < argc) {
      const std::string kv = argv[++i];
      const size_t eq = kv.find('=');
      claims.emplace_back(std::atoi(kv.substr(0, eq).c_str()), kv.substr(eq + 1));
    } else if (arg == "--languages" && i + 1 < argc) {
      languages = std::atoi(argv[++i]);
    } else if (arg == "--support" && i + 1 < argc) {
      support = ReadFile(argv[++i]);
    } else if (arg == "--record" && i + 1 < argc) {
      const std::string spec = argv[++i];
      const size_t eq = spec.find('=');
      const int list = std::atoi(spec.substr(0, eq).c_str());
      if (list < 0 || list >= qb::kListCount) {
        std::fprintf(stderr, "qbpack: no list %d\n", list);
        return 2;
      }
      std::string fields = spec.substr(eq + 1) + "|";
      for (size_t at = 0, bar; (bar = fields.find('|', at)) != std::string::npos; at = bar + 1) {
        package.lists[list].items.push_back(fields.substr(at, bar - at));
      }
    } else if (arg == "--files" && i + 1 < argc) {
      files = ReadFile(argv[++i]);
    } else {
      std::fprintf(stderr, "qbpack: unknown argument %s\n", arg.c_str());
      return 2;
    }
  }
  static const char* kNames[] = {"English", "Deutsch", "Francais", "Espanol"};
  package.SetText(qb::kLanguageCount, qb::Decimal(languages));
  auto& list = package.Records(qb::List::kLanguages).items;
  for (int k = 0; k < languages; ++k) {
    list.push_back(kNames[k % 4]);
    list.push_back(qb::Decimal(1033 + k));
    list.push_back("");
    list.push_back("");
    for (int m = 1; m <= 96; ++m) {
      package.strings.push_back("Message " + qb::Decimal(m) + " of language " + qb::Decimal(k));
    }
  }
  for (const auto& s : sets) {
    if (s.first >= static_cast<int>(package.settings.size())) package.settings.resize(s.first + 1);
    package.SetText(s.first, s.second);
  }
  std::vector<uint8_t> stream = qb::WriteRecordBlock(package);
  for (const auto& c : claims) package.SetText(c.first, c.second);
  const std::vector<uint8_t> settings = qb::WriteSettingsBlock(package);
  stream.insert(stream.begin(), settings.begin(), settings.end());
  const std::vector<uint8_t> out =
      qb::AssembleInstaller(ReadFile(argv[1]), stream, package.settings.size(), support, files);
  std::ofstream os(argv[2], std::ios::binary);
  os.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return os ? 0 : 1;
}
