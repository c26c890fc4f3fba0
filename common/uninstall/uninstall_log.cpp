#include "uninstall/uninstall_log.h"

#include <algorithm>

#include "text/text.h"
#include "uninstall/removal_rules.h"

namespace qb {

std::string QuoteLogValue(const std::string& value) {
  if (value.size() > 1 && value.front() == '"' && value.back() == '"') return "\"" + value + "\"";
  return value;
}

namespace {

class LogWriter {
 public:
  explicit LogWriter(const std::function<std::string(const std::string&)>& expand)
      : expand_(expand) {}
  void Section(const char* name) { lines.push_back(std::string("[") + name + "]"); }
  void Section(char letter, int64_t number) {
    lines.push_back(std::string("[") + letter + Decimal(number) + "]");
  }
  void Entry(int key, const std::string& value) {
    lines.push_back(Decimal(key) + "=" + QuoteLogValue(value));
  }
  // One entry per field of a record, keys from 0. The fields are given as
  // digits; a digit after '=' is written as the package holds it, every
  // other one expanded.
  void Fields(const RecordList& list, size_t record, const char* fields) {
    int key = 0;
    for (const char* f = fields; *f; ++f) {
      const bool raw = *f == '=';
      if (raw) ++f;
      const std::string& value = list.Field(record, *f - '0');
      Entry(key++, raw ? value : expand_(value));
    }
  }
  // Entries for the records whose marker field reads 1, numbered from 1;
  // returns how many.
  int Marked(const RecordList& list, int markerField) {
    int count = 0;
    for (size_t r = 0; r < list.Count(); ++r) {
      if (ReadNumber(list.Field(r, markerField)) == 1) Entry(++count, expand_(list.Field(r, 0)));
    }
    return count;
  }
  std::vector<std::string> lines;

 private:
  const std::function<std::string(const std::string&)>& expand_;
};

// Where each entry of [s] comes from, by its key: a message (kFromMessage
// plus its number), a setting as the package holds it (its number), or a
// value the builder makes (the codes from kEmpty on).
enum : uint8_t {
  kFromMessage = 0x80,
  kEmpty = 0xf0,
  kBranding,
  kDestination,
  kFolders,
  kFiles,
  kComponents,
  kRegistrySections,
  kIniSections,
  kBefore,
  kAfter,
  kAllEntries,
};
static_assert(kHighestSetting < kFromMessage, "setting numbers fit below the message codes");
// clang-format off
constexpr uint8_t kStatusSources[] = {
    // 0-13: the uninstaller's own texts; 14-16: its buttons
    kFromMessage + 63, kFromMessage + 64, kFromMessage + 65, kFromMessage + 68,
    kFromMessage + 69, kFromMessage + 70, kFromMessage + 71, kFromMessage + 72,
    kFromMessage + 73, kFromMessage + 74, kFromMessage + 75, kFromMessage + 76,
    kFromMessage + 77, kFromMessage + 78,
    kFromMessage + kMsgBack, kFromMessage + kMsgCancel, kFromMessage + kMsgFinish,
    // 17-32: branding, destination, header and uninstaller settings
    kBranding, kDestination,
    kHeaderGradientColour2, kHeaderColour, kHeaderBitmapTransparent, kHeaderBitmapX,
    kHeaderBitmapY, kUninstallerOptionD, kUninstallerOptionA, kUninstallerOptionE,
    kUninstallerOptionF, kUninstallerOptionB, kUninstallerOptionC, kFromMessage + 81,
    kHeaderBitmap, kHeaderGradient,
    // 33-47: four empty values, then the counts
    kEmpty, kEmpty, kEmpty, kEmpty,
    kFolders, kFontCount, kFiles, kFolderCount, kUninstallExtraCount, kComponents,
    kRegistrySections, kIniSections, kBefore, kAfter, kAllEntries,
    // 48-51: where the header texts sit
    kHeaderTitleX, kHeaderTitleY, kHeaderSubtitleX, kHeaderSubtitleY};
// clang-format on

// A record beyond the end of its flags counts as written.
bool Done(const std::vector<bool>& flags, size_t record) {
  return record >= flags.size() || flags[record];
}

bool SameName(const std::string& a, const std::string& b) { return UpperAscii(a) == UpperAscii(b); }

bool SameValue(const LoggedRegistryValue& a, const LoggedRegistryValue& b) {
  return a.root == b.root && SamePath(a.key, b.key) && SameName(a.name, b.name);
}

bool SameEntry(const LoggedIniEntry& a, const LoggedIniEntry& b) {
  return SamePath(a.file, b.file) && SameName(a.section, b.section) && SameName(a.key, b.key);
}

// Appends to list the earlier items that none of it names yet.
template <typename T, typename Same>
void AddNew(std::vector<T>& list, const std::vector<T>& earlier, Same same) {
  for (const T& item : earlier) {
    if (std::none_of(list.begin(), list.end(), [&](const T& o) { return same(o, item); }))
      list.push_back(item);
  }
}

}  // namespace

std::vector<std::string> BuildUninstallLog(const UninstallLogInput& in) {
  const Package& p = *in.package;
  LogWriter log(in.expand);
  // The counts that [s] reports, from kFolders to kAllEntries.
  int64_t counts[kAllEntries - kFolders + 1] = {};
  auto count = [&counts](int code) -> int64_t& { return counts[code - kFolders]; };

  // The run's own entries come first, then what an earlier installation's
  // log names that is still there and not named already.
  const UninstallLog none;
  const UninstallLog& earlier = in.earlier ? *in.earlier : none;
  std::vector<std::string> files = in.installedFiles;
  for (const std::string& path : earlier.files) {
    const auto same = [&](const std::string& o) { return SamePath(o, path); };
    if (std::none_of(files.begin(), files.end(), same)) files.push_back(path);
  }
  log.Section("f");
  for (const std::string& path : files) {
    log.lines.push_back(Decimal(++count(kFiles)) + "=" + path);  // no quoting in [f]
  }

  log.Section("e");
  const RecordList& folderList = p.Records(List::kFolders);
  std::vector<std::string> folders;
  for (size_t r = 0; r < folderList.Count(); ++r) {
    if (ReadNumber(folderList.Field(r, 1)) == 1)
      folders.push_back(in.expand(folderList.Field(r, 0)));
  }
  AddNew(folders, earlier.folders, SamePath);
  for (const std::string& folder : folders) log.Entry(++count(kFolders), folder);

  const RecordList& extras = p.Records(List::kUninstallExtras);
  for (size_t r = 0; r < extras.Count(); ++r) {
    log.Section('o', static_cast<int64_t>(r) + 1);
    log.Fields(extras, r, "=01");
  }

  log.Section("u");
  count(kComponents) = log.Marked(p.Records(List::kComponents), 1);

  const RecordList& ini = p.Records(List::kIniEntries);
  std::vector<LoggedIniEntry> entries;
  for (size_t r = 0; r < ini.Count(); ++r) {
    if (ReadNumber(ini.Field(r, 5)) != 1 || !Done(in.iniEntriesWritten, r)) continue;
    entries.push_back(
        {in.expand(ini.Field(r, 0)), in.expand(ini.Field(r, 1)), in.expand(ini.Field(r, 2))});
  }
  AddNew(entries, earlier.ini, SameEntry);
  for (const LoggedIniEntry& e : entries) {
    log.Section('i', ++count(kIniSections));
    log.Entry(0, e.file);
    log.Entry(1, e.section);
    log.Entry(2, e.key);
  }

  // One numbering runs over the selected registry values, the registry
  // keys, the run's further values and the earlier log's records. The
  // root is written as the package holds it.
  struct Registry {
    std::string root;
    LoggedRegistryValue value;
  };
  std::vector<Registry> registry;
  const auto addRecords = [&](List which, int marker, const std::vector<bool>& done) {
    const RecordList& list = p.Records(which);
    for (size_t r = 0; r < list.Count(); ++r) {
      if ((marker >= 0 && ReadNumber(list.Field(r, marker)) != 1) || !Done(done, r)) continue;
      registry.push_back({list.Field(r, 0),
                          {ReadNumber(list.Field(r, 0)), in.expand(list.Field(r, 1)),
                           in.expand(list.Field(r, 2))}});
    }
  };
  addRecords(List::kRegistryValues, 6, in.registryValuesWritten);
  addRecords(List::kRegistryKeys, -1, in.registryKeysNew);
  std::vector<LoggedRegistryValue> further = in.moreRegistry;
  for (const LoggedRegistryValue& v : earlier.registry) further.push_back(v);
  for (const LoggedRegistryValue& v : further) {
    const auto same = [&](const Registry& o) { return SameValue(o.value, v); };
    if (std::none_of(registry.begin(), registry.end(), same))
      registry.push_back({Decimal(v.root), v});
  }
  for (const Registry& r : registry) {
    log.Section('r', ++count(kRegistrySections));
    log.Entry(0, r.root);
    log.Entry(1, r.value.key);
    log.Entry(2, r.value.name);
  }

  // Uninstall-time programs follow the install-time ones in the list.
  const RecordList& programs = p.Records(List::kPrograms);
  const int64_t first = p.Number(kInstallProgramCount);
  for (size_t r = first < 0 ? 0 : static_cast<size_t>(first); r < programs.Count(); ++r) {
    const bool runBefore = ReadNumber(programs.Field(r, 4)) == 0;
    log.Section(runBefore ? 'b' : 'a', ++count(runBefore ? kBefore : kAfter));
    log.Fields(programs, r, "1235");
  }

  const RecordList& fonts = p.Records(List::kFonts);
  for (size_t r = 0; r < fonts.Count(); ++r) {
    log.Section('n', static_cast<int64_t>(r) + 1);
    log.Fields(fonts, r, "01");
  }

  count(kAllEntries) =
      p.Number(kFolderCount) + p.Number(kUninstallExtraCount) + p.Number(kFontCount);
  for (int code = kFolders; code < kAllEntries; ++code) count(kAllEntries) += count(code);

  log.Section("s");
  int key = 0;
  for (const uint8_t source : kStatusSources) {
    std::string value;
    if (source >= kFolders) {
      value = Decimal(count(source));
    } else if (source == kBranding) {
      value = in.expand(p.Text(kBrandingText));
    } else if (source == kDestination) {
      value = in.destinationFolder;
    } else if (source >= kFromMessage && source < kEmpty) {
      value = p.Msg(source - kFromMessage);
    } else if (source < kFromMessage) {
      value = p.Text(source);
    }
    log.Entry(key++, value);
  }
  if (in.native64) log.Entry(kLogNative64, "64");
  return log.lines;
}

std::string UninstallLogText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<uint8_t> UninstallerTrailer(const std::vector<uint8_t>* headerBitmap,
                                        const std::string& logPath) {
  std::vector<uint8_t> out;
  if (headerBitmap) {
    out.insert(out.end(), headerBitmap->begin(), headerBitmap->end());
    const uint32_t size = static_cast<uint32_t>(headerBitmap->size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(size >> (8 * i)));
  }
  out.insert(out.end(), logPath.begin(), logPath.end());
  const uint16_t length = static_cast<uint16_t>(logPath.size());
  out.push_back(static_cast<uint8_t>(length));
  out.push_back(static_cast<uint8_t>(length >> 8));
  return out;
}

}  // namespace qb
