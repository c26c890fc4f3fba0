// The setup package: the trailer at the end of the installer, the
// configuration stream and the tables read from it.
//
// Layout of an installer: the stub, then the configuration stream (a run of
// NUL-terminated ANSI strings), the support cabinet without its "MSCF"
// signature, the file cabinet data, and the 34-byte package trailer that says
// where each of them lies.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "package/settings.h"
#include "package/source.h"

namespace qb {

struct Trailer {
  static constexpr size_t kSize = 34;
  static constexpr uint8_t kMagic = 0xF1;

  int64_t configOffset = 0;
  uint64_t supportLength = 0;
  int64_t supportOffset = 0;
  uint64_t fileCabinetOffset = 0;
  uint8_t settingsCountMinusOne = 0;
  uint8_t magic = 0;

  std::array<uint8_t, kSize> Encode() const;
  static Trailer Decode(const uint8_t* bytes);
};

// The record lists of the configuration stream, in stream order.
enum class List : uint8_t {
  kRegistryVariables,
  kRegistryValues,
  kRegistryKeys,
  kFonts,
  kShortcuts,
  kFiles,
  kFolders,
  kPrograms,
  kIniEntries,
  kUninstallExtras,
  kComponents,
  kLanguages,
};
constexpr int kListCount = 12;

struct ListLayout {
  List list;
  uint8_t count;       // setting that holds the record count
  uint8_t extraCount;  // second count setting added to it, or 0
  uint8_t width;       // strings per record
};
const ListLayout& LayoutOf(List list);
const ListLayout* AllLayouts();  // kListCount entries, in stream order

// Fields of a language record.
enum LanguageField : int {
  kLanguageName = 0,
  kLanguageId = 1,
  kLanguageLicenseFile = 2,
  kLanguageReadmeFile = 3,
};

struct RecordList {
  int width = 1;
  std::vector<std::string> items;

  size_t Count() const { return width ? items.size() / width : 0; }
  // Field f of record r; an empty text outside the list.
  const std::string& Field(size_t record, int field) const;
};

class Package {
 public:
  std::vector<std::string> settings;
  std::array<RecordList, kListCount> lists;
  // Element 0 stays empty; message m of language k is element k * M + m.
  std::vector<std::string> strings;

  Package();

  const std::string& Text(int index) const;  // empty when missing
  bool Flag(int index) const;
  // A flag among the settings added later (kNative64 on): on only when it
  // is "1", so that a package that ends before it reads as off.
  bool LaterFlag(int index) const { return Text(index) == "1"; }
  int64_t Number(int index) const;
  void SetText(int index, const std::string& text);

  RecordList& Records(List list) { return lists[static_cast<int>(list)]; }
  const RecordList& Records(List list) const { return lists[static_cast<int>(list)]; }
  // The record count the settings give for a list.
  int64_t CountOf(List list) const;

  int64_t LanguageCount() const { return Number(kLanguageCount); }
  int64_t MessagesPerLanguage() const { return Number(kMessagesPerLanguage); }
  const std::string& Msg(int index) const;
  // Copies language k's messages over elements 1 to M.
  void SelectLanguage(int k);
};

// The language the language dialog preselects: the last record whose
// identifier equals the user's default language, else the first named
// exactly "English", else the first.
int DefaultLanguage(const RecordList& languages, int64_t userLanguageId);

// Reads a package in the steps the startup sequence interleaves with its own.
// Every step returns false when the package is damaged.
class PackageReader {
 public:
  PackageReader(ByteSource& source, Package& package);

  // Reads the trailer and checks its magic byte and its offsets and lengths
  // against the file.
  bool ReadTrailer();
  // Reads the Settings table.
  bool ReadSettings();
  // Reads the raw registry variable list (count x 4 strings).
  bool ReadRegistryVariables();
  // Reads the other record lists and the language string table.
  bool ReadRemainingLists();
  // All of the above, for tools and tests.
  bool ReadAll();

  const Trailer& GetTrailer() const { return trailer_; }
  // Where the trailer ends: the end of the file, or the start of the
  // padding in front of a signature's certificate table.
  uint64_t End() const { return end_; }
  BufferedReader& Reader() { return reader_; }

  // All record lists and the language string table together may hold at
  // most this many strings, and never more than the bytes left in the
  // configuration stream (every string costs at least its NUL). A package
  // that claims more is damaged rather than allocated.
  static constexpr uint64_t kMaxStrings = uint64_t(1) << 22;

 private:
  bool ReadStrings(std::vector<std::string>& out, int64_t count);
  bool ReadList(List list);

  ByteSource& source_;
  BufferedReader reader_;
  Package& package_;
  Trailer trailer_;
  uint64_t end_ = 0;
  bool budgetSet_ = false;
  uint64_t stringBudget_ = 0;  // strings the lists may still hold
};

// Writes the configuration stream of a package: settings, lists and the
// language string table, with the counts that the settings state.
std::vector<uint8_t> WriteConfigurationStream(const Package& package);
// The two halves of the stream: the Settings table, and everything after it.
std::vector<uint8_t> WriteSettingsBlock(const Package& package);
std::vector<uint8_t> WriteRecordBlock(const Package& package);

// Appends a package to a stub: stream, support cabinet (its "MSCF" signature
// is dropped), file cabinet data, trailer.
std::vector<uint8_t> AssembleInstaller(const std::vector<uint8_t>& stub, const Package& package,
                                       const std::vector<uint8_t>& supportCab,
                                       const std::vector<uint8_t>& fileData);
// The same with a stream written beforehand, holding settingsCount settings.
std::vector<uint8_t> AssembleInstaller(const std::vector<uint8_t>& stub,
                                       const std::vector<uint8_t>& stream, size_t settingsCount,
                                       const std::vector<uint8_t>& supportCab,
                                       const std::vector<uint8_t>& fileData);

}  // namespace qb
