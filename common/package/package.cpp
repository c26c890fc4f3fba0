#include "package/package.h"

#include "package/signature.h"
#include "text/text.h"

namespace qb {

namespace {

const ListLayout kLayouts[kListCount] = {
    {List::kRegistryVariables, kRegistryVariableCount, 0, 4},
    {List::kRegistryValues, kRegistryValueCount, 0, 7},
    {List::kRegistryKeys, kRegistryKeyCount, 0, 3},
    {List::kFonts, kFontCount, 0, 2},
    {List::kShortcuts, kShortcutCount, 0, 8},
    {List::kFiles, kFileCount, 0, 3},
    {List::kFolders, kFolderCount, 0, 2},
    {List::kPrograms, kInstallProgramCount, kUninstallProgramCount, 6},
    {List::kIniEntries, kIniCount, 0, 6},
    {List::kUninstallExtras, kUninstallExtraCount, 0, 2},
    {List::kComponents, kComponentCount, 0, 2},
    {List::kLanguages, kLanguageCount, 0, 4},
};

const std::string kEmpty;

void Put64(uint8_t* out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t Get64(const uint8_t* in) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}

constexpr int64_t kMaxOffset = 0x7FFFFFFF;

}  // namespace

std::array<uint8_t, Trailer::kSize> Trailer::Encode() const {
  std::array<uint8_t, kSize> bytes{};
  Put64(&bytes[0], static_cast<uint64_t>(configOffset));
  Put64(&bytes[8], supportLength);
  Put64(&bytes[16], static_cast<uint64_t>(supportOffset));
  Put64(&bytes[24], fileCabinetOffset);
  bytes[32] = settingsCountMinusOne;
  bytes[33] = magic;
  return bytes;
}

Trailer Trailer::Decode(const uint8_t* bytes) {
  Trailer t;
  t.configOffset = static_cast<int64_t>(Get64(bytes));
  t.supportLength = Get64(bytes + 8);
  t.supportOffset = static_cast<int64_t>(Get64(bytes + 16));
  t.fileCabinetOffset = Get64(bytes + 24);
  t.settingsCountMinusOne = bytes[32];
  t.magic = bytes[33];
  return t;
}

const ListLayout& LayoutOf(List list) { return kLayouts[static_cast<int>(list)]; }
const ListLayout* AllLayouts() { return kLayouts; }

const std::string& RecordList::Field(size_t record, int field) const {
  const size_t index = record * width + field;
  return field >= 0 && field < width && index < items.size() ? items[index] : kEmpty;
}

Package::Package() {
  for (int i = 0; i < kListCount; ++i) lists[i].width = kLayouts[i].width;
  strings.resize(1);
}

const std::string& Package::Text(int index) const {
  return index >= 0 && static_cast<size_t>(index) < settings.size() ? settings[index] : kEmpty;
}

bool Package::Flag(int index) const { return ReadFlag(Text(index)); }
int64_t Package::Number(int index) const { return ReadNumber(Text(index)); }

void Package::SetText(int index, const std::string& text) {
  if (index < 0) return;
  if (static_cast<size_t>(index) >= settings.size()) settings.resize(index + 1);
  settings[index] = text;
}

int64_t Package::CountOf(List list) const {
  const ListLayout& layout = LayoutOf(list);
  int64_t count = Number(layout.count);
  if (layout.extraCount) count = SaturatingAdd(count, Number(layout.extraCount));
  return count;
}

const std::string& Package::Msg(int index) const {
  return index >= 0 && static_cast<size_t>(index) < strings.size() ? strings[index] : kEmpty;
}

void Package::SelectLanguage(int k) {
  const int64_t languages = LanguageCount();
  const int64_t m = MessagesPerLanguage();
  if (languages < 2 || k <= 0 || k >= languages || m <= 0) return;
  for (int64_t i = 1; i <= m; ++i) {
    const size_t from = static_cast<size_t>(k * m + i);
    if (from < strings.size()) strings[i] = strings[from];
  }
}

int DefaultLanguage(const RecordList& languages, int64_t userLanguageId) {
  int chosen = -1;
  for (size_t i = 0; i < languages.Count(); ++i) {
    if (ReadNumber(languages.Field(i, kLanguageId)) == userLanguageId) chosen = static_cast<int>(i);
  }
  for (size_t i = 0; chosen < 0 && i < languages.Count(); ++i) {
    if (languages.Field(i, kLanguageName) == "English") chosen = static_cast<int>(i);
  }
  return chosen < 0 ? 0 : chosen;
}

PackageReader::PackageReader(ByteSource& source, Package& package)
    : source_(source), reader_(source), package_(package) {}

bool PackageReader::ReadTrailer() {
  // A signed installer ends with its certificate table; the package ends in
  // front of it.
  const uint64_t size = PackageEnd(source_);
  end_ = size;
  uint8_t bytes[Trailer::kSize] = {};
  if (size >= Trailer::kSize) {
    reader_.Seek(size - Trailer::kSize);
    if (reader_.Read(bytes, sizeof bytes) != sizeof bytes) return false;
  }
  trailer_ = Trailer::Decode(bytes);
  if (trailer_.magic != Trailer::kMagic) return false;
  // Offsets must lie in the file and in the range a 32-bit reader can seek.
  const auto fits = [size](int64_t offset) {
    return offset >= 0 && offset <= kMaxOffset && static_cast<uint64_t>(offset) <= size;
  };
  if (!fits(trailer_.configOffset) || !fits(trailer_.supportOffset)) {
    return false;
  }
  if ((trailer_.supportLength >> 32) != 0) return false;
  if (trailer_.supportLength > size - trailer_.supportOffset) return false;
  // The configuration stream ends where the support cabinet begins (or at the
  // trailer): strings never run on into the data behind it.
  uint64_t streamEnd = size - Trailer::kSize;
  const uint64_t support = static_cast<uint64_t>(trailer_.supportOffset);
  if (trailer_.supportOffset >= trailer_.configOffset && support < streamEnd) streamEnd = support;
  reader_.LimitTo(streamEnd);
  return true;
}

bool PackageReader::ReadStrings(std::vector<std::string>& out, int64_t count) {
  out.clear();
  if (count < 0) return false;
  if (!budgetSet_) {
    // Every string costs at least one byte of the stream.
    const uint64_t left = reader_.Remaining();
    stringBudget_ = left < kMaxStrings ? left : kMaxStrings;
    budgetSet_ = true;
  }
  if (static_cast<uint64_t>(count) > stringBudget_) return false;
  // A list cannot hold more strings than the bytes still left either.
  if (static_cast<uint64_t>(count) > reader_.Remaining()) return false;
  stringBudget_ -= static_cast<uint64_t>(count);
  out.reserve(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) out.push_back(reader_.ReadString());
  return true;
}

bool PackageReader::ReadSettings() {
  const int count = trailer_.settingsCountMinusOne + 1;
  if (count < kMinimumSettings) return false;
  reader_.Seek(static_cast<uint64_t>(trailer_.configOffset));
  // The settings are read even from a stream that ends early: past the end of
  // the file every string is empty.
  package_.settings.clear();
  for (int i = 0; i < count; ++i) package_.settings.push_back(reader_.ReadString());
  return true;
}

bool PackageReader::ReadList(List list) {
  const ListLayout& layout = LayoutOf(list);
  const int64_t first = package_.Number(layout.count);
  const int64_t second = layout.extraCount ? package_.Number(layout.extraCount) : 0;
  if (first < 0 || second < 0) return false;
  const int64_t count = SaturatingAdd(first, second);
  if (count > INT64_C(1) << 40) return false;
  return ReadStrings(package_.Records(list).items, count * layout.width);
}

bool PackageReader::ReadRegistryVariables() { return ReadList(List::kRegistryVariables); }

bool PackageReader::ReadRemainingLists() {
  for (int i = static_cast<int>(List::kRegistryValues); i < kListCount; ++i) {
    if (!ReadList(static_cast<List>(i))) return false;
  }
  const int64_t languages = package_.LanguageCount();
  const int64_t messages = package_.MessagesPerLanguage();
  if (languages < 0 || messages < 0) return false;
  if (languages > INT64_C(1) << 30 || messages > INT64_C(1) << 30) return false;
  std::vector<std::string> table;
  if (!ReadStrings(table, languages * messages)) return false;
  package_.strings.clear();
  package_.strings.reserve(table.size() + 1);
  package_.strings.emplace_back();
  for (auto& s : table) package_.strings.push_back(std::move(s));
  return true;
}

bool PackageReader::ReadAll() {
  return ReadTrailer() && ReadSettings() && ReadRegistryVariables() && ReadRemainingLists();
}

namespace {
void PutString(std::vector<uint8_t>& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}
}  // namespace

std::vector<uint8_t> WriteSettingsBlock(const Package& package) {
  std::vector<uint8_t> out;
  for (const auto& s : package.settings) PutString(out, s);
  return out;
}

std::vector<uint8_t> WriteRecordBlock(const Package& package) {
  std::vector<uint8_t> out;
  for (int i = 0; i < kListCount; ++i) {
    const List list = static_cast<List>(i);
    const RecordList& records = package.Records(list);
    // Records the settings count but the list lacks are written empty; a
    // count past what any stream could hold is held there, not multiplied
    // into an overflow.
    const int64_t count = package.CountOf(list);
    const int64_t strings = count > INT64_MAX / records.width ? INT64_MAX : count * records.width;
    for (int64_t k = 0; k < strings; ++k) {
      PutString(out, static_cast<size_t>(k) < records.items.size()
                         ? records.items[static_cast<size_t>(k)]
                         : kEmpty);
    }
  }
  const int64_t total = package.LanguageCount() * package.MessagesPerLanguage();
  for (int64_t k = 1; k <= total; ++k) PutString(out, package.Msg(static_cast<int>(k)));
  return out;
}

std::vector<uint8_t> WriteConfigurationStream(const Package& package) {
  std::vector<uint8_t> out = WriteSettingsBlock(package);
  const std::vector<uint8_t> rest = WriteRecordBlock(package);
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

std::vector<uint8_t> AssembleInstaller(const std::vector<uint8_t>& stub, const Package& package,
                                       const std::vector<uint8_t>& supportCab,
                                       const std::vector<uint8_t>& fileData) {
  return AssembleInstaller(stub, WriteConfigurationStream(package), package.settings.size(),
                           supportCab, fileData);
}

std::vector<uint8_t> AssembleInstaller(const std::vector<uint8_t>& stub,
                                       const std::vector<uint8_t>& stream, size_t settingsCount,
                                       const std::vector<uint8_t>& supportCab,
                                       const std::vector<uint8_t>& fileData) {
  std::vector<uint8_t> out(stub);
  Trailer trailer;
  trailer.configOffset = static_cast<int64_t>(out.size());
  out.insert(out.end(), stream.begin(), stream.end());
  trailer.supportOffset = static_cast<int64_t>(out.size());
  if (supportCab.size() > 4) {
    out.insert(out.end(), supportCab.begin() + 4, supportCab.end());
    trailer.supportLength = supportCab.size() - 4;
  }
  trailer.fileCabinetOffset = out.size();
  out.insert(out.end(), fileData.begin(), fileData.end());
  trailer.settingsCountMinusOne = static_cast<uint8_t>((settingsCount ? settingsCount : 1) - 1);
  trailer.magic = Trailer::kMagic;
  const auto bytes = trailer.Encode();
  out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

}  // namespace qb
