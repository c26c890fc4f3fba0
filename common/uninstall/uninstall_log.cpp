#include "uninstall/uninstall_log.h"

#include "text/text.h"

namespace qb {

std::string QuoteLogValue(const std::string& value) {
  if (value.size() > 1 && value.front() == '"' && value.back() == '"') return "\"" + value + "\"";
  return value;
}

namespace {

class LogWriter {
 public:
  void Section(const std::string& name) { lines.push_back("[" + name + "]"); }
  void Entry(int key, const std::string& value) {
    lines.push_back(Decimal(key) + "=" + QuoteLogValue(value));
  }
  std::vector<std::string> lines;
};

}  // namespace

std::vector<std::string> BuildUninstallLog(const UninstallLogInput& in) {
  const Package& p = *in.package;
  const auto& expand = in.expand;
  LogWriter log;

  log.Section("f");
  int files = 0;
  for (const std::string& path : in.installedFiles) {
    log.lines.push_back(Decimal(++files) + "=" + path);  // no quoting in [f]
  }

  log.Section("e");
  int folders = 0;
  const RecordList& folderList = p.Records(List::kFolders);
  for (size_t r = 0; r < folderList.Count(); ++r) {
    if (ReadNumber(folderList.Field(r, 1)) == 1)
      log.Entry(++folders, expand(folderList.Field(r, 0)));
  }

  const RecordList& extras = p.Records(List::kUninstallExtras);
  for (size_t r = 0; r < extras.Count(); ++r) {
    log.Section("o" + Decimal(static_cast<int64_t>(r) + 1));
    log.Entry(0, extras.Field(r, 0));
    log.Entry(1, expand(extras.Field(r, 1)));
  }

  log.Section("u");
  int components = 0;
  const RecordList& componentList = p.Records(List::kComponents);
  for (size_t r = 0; r < componentList.Count(); ++r) {
    if (ReadNumber(componentList.Field(r, 1)) == 1) {
      log.Entry(++components, expand(componentList.Field(r, 0)));
    }
  }

  int iniSections = 0;
  const RecordList& ini = p.Records(List::kIniEntries);
  for (size_t r = 0; r < ini.Count(); ++r) {
    if (ReadNumber(ini.Field(r, 5)) != 1) continue;
    log.Section("i" + Decimal(++iniSections));
    for (int f = 0; f < 3; ++f) log.Entry(f, expand(ini.Field(r, f)));
  }

  // One numbering runs over the selected registry values and then every
  // registry key.
  int registrySections = 0;
  const RecordList& values = p.Records(List::kRegistryValues);
  for (size_t r = 0; r < values.Count(); ++r) {
    if (ReadNumber(values.Field(r, 6)) != 1) continue;
    log.Section("r" + Decimal(++registrySections));
    log.Entry(0, values.Field(r, 0));
    log.Entry(1, expand(values.Field(r, 1)));
    log.Entry(2, expand(values.Field(r, 2)));
  }
  const RecordList& keys = p.Records(List::kRegistryKeys);
  for (size_t r = 0; r < keys.Count(); ++r) {
    log.Section("r" + Decimal(++registrySections));
    log.Entry(0, keys.Field(r, 0));
    log.Entry(1, expand(keys.Field(r, 1)));
    log.Entry(2, expand(keys.Field(r, 2)));
  }

  // Uninstall-time programs follow the install-time ones in the list.
  int before = 0, after = 0;
  const RecordList& programs = p.Records(List::kPrograms);
  const int64_t first = p.Number(kInstallProgramCount);
  for (size_t r = first < 0 ? 0 : static_cast<size_t>(first); r < programs.Count(); ++r) {
    const bool runBefore = ReadNumber(programs.Field(r, 4)) == 0;
    log.Section((runBefore ? "b" : "a") + Decimal(runBefore ? ++before : ++after));
    log.Entry(0, expand(programs.Field(r, 1)));
    log.Entry(1, expand(programs.Field(r, 2)));
    log.Entry(2, expand(programs.Field(r, 3)));
    log.Entry(3, expand(programs.Field(r, 5)));
  }

  const RecordList& fonts = p.Records(List::kFonts);
  for (size_t r = 0; r < fonts.Count(); ++r) {
    log.Section("n" + Decimal(static_cast<int64_t>(r) + 1));
    log.Entry(0, expand(fonts.Field(r, 0)));
    log.Entry(1, expand(fonts.Field(r, 1)));
  }

  log.Section("s");
  const int uninstallerTexts[] = {63, 64, 65, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78};
  int key = 0;
  for (int m : uninstallerTexts) log.Entry(key++, p.Msg(m));
  log.Entry(14, p.Msg(kMsgBack));
  log.Entry(15, p.Msg(kMsgCancel));
  log.Entry(16, p.Msg(kMsgFinish));
  log.Entry(17, expand(p.Text(kBrandingText)));
  log.Entry(18, in.destinationFolder);
  const int rawSettings[] = {kHeaderGradientColour2, kHeaderColour,       kHeaderBitmapTransparent,
                             kHeaderBitmapX,         kHeaderBitmapY,      kUninstallerOptionD,
                             kUninstallerOptionA,    kUninstallerOptionE, kUninstallerOptionF,
                             kUninstallerOptionB,    kUninstallerOptionC};
  key = 19;
  for (int s : rawSettings) log.Entry(key++, p.Text(s));
  log.Entry(30, p.Msg(81));
  log.Entry(31, p.Text(kHeaderBitmap));
  log.Entry(32, p.Text(kHeaderGradient));
  for (int k = 33; k <= 36; ++k) log.Entry(k, "");
  log.Entry(37, Decimal(folders));
  log.Entry(38, p.Text(kFontCount));
  log.Entry(39, Decimal(files));
  log.Entry(40, p.Text(kFolderCount));
  log.Entry(41, p.Text(kUninstallExtraCount));
  log.Entry(42, Decimal(components));
  log.Entry(43, Decimal(registrySections));
  log.Entry(44, Decimal(iniSections));
  log.Entry(45, Decimal(before));
  log.Entry(46, Decimal(after));
  log.Entry(47, Decimal(p.Number(kFolderCount) + files + folders + p.Number(kUninstallExtraCount) +
                        p.Number(kFontCount) + components + registrySections + iniSections +
                        before + after));
  log.Entry(48, p.Text(kHeaderTitleX));
  log.Entry(49, p.Text(kHeaderTitleY));
  log.Entry(50, p.Text(kHeaderSubtitleX));
  log.Entry(51, p.Text(kHeaderSubtitleY));
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
