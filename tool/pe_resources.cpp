#include "pe_resources.h"

#include <algorithm>
#include <functional>
#include <map>

namespace tool {

namespace {

uint32_t Get16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (static_cast<uint32_t>(b[at + 2]) << 16) |
         (static_cast<uint32_t>(b[at + 3]) << 24);
}
void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Append16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Append32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint32_t AlignUp(uint32_t v, uint32_t a) { return a ? (v + a - 1) / a * a : v; }

struct Section {
  size_t header;  // file offset of its section header
  uint32_t virtualSize, virtualAddress, rawSize, rawOffset;
};

// The parts of a PE file's headers that resource writing touches.
struct PeLayout {
  size_t optional = 0;     // file offset of the optional header
  size_t directories = 0;  // file offset of the data directories
  uint32_t directoryCount = 0;
  uint32_t fileAlignment = 0, sectionAlignment = 0;
  std::vector<Section> sections;
};

bool ReadLayout(const std::vector<uint8_t>& pe, PeLayout& l, std::string& error) {
  error = "not a Windows program (PE file)";
  if (pe.size() < 64 || pe[0] != 'M' || pe[1] != 'Z') return false;
  const size_t header = Get32(pe, 0x3C);
  if (header > pe.size() || pe.size() - header < 24 + 96) return false;
  if (pe[header] != 'P' || pe[header + 1] != 'E' || pe[header + 2] || pe[header + 3]) return false;
  const uint32_t sectionCount = Get16(pe, header + 6);
  const uint32_t optionalSize = Get16(pe, header + 20);
  l.optional = header + 24;
  const uint32_t magic = Get16(pe, l.optional);
  const uint32_t dirs = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
  if (!dirs || optionalSize < dirs || l.optional + optionalSize > pe.size()) return false;
  l.fileAlignment = Get32(pe, l.optional + 36);
  l.sectionAlignment = Get32(pe, l.optional + 32);
  l.directories = l.optional + dirs;
  l.directoryCount =
      std::min<uint32_t>(Get32(pe, l.optional + dirs - 4), (optionalSize - dirs) / 8);
  const size_t table = l.optional + optionalSize;
  if (table + 40ull * sectionCount > pe.size()) return false;
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const size_t h = table + 40 * i;
    l.sections.push_back(
        {h, Get32(pe, h + 8), Get32(pe, h + 12), Get32(pe, h + 16), Get32(pe, h + 20)});
  }
  error.clear();
  return true;
}

// The section that holds an RVA, or -1.
int SectionOf(const PeLayout& l, uint32_t rva) {
  for (size_t i = 0; i < l.sections.size(); ++i) {
    const Section& s = l.sections[i];
    const uint32_t size = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva - s.virtualAddress < size) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const uint8_t c = static_cast<uint8_t>(utf8[i]);
    uint32_t code = 0xFFFD;
    size_t n = 1;
    if (c < 0x80) {
      code = c;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      code = (c & 0x1F) << 6 | (utf8[i + 1] & 0x3F), n = 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
      code = (c & 0x0F) << 12 | (utf8[i + 1] & 0x3F) << 6 | (utf8[i + 2] & 0x3F), n = 3;
    } else if ((c & 0xF8) == 0xF0 && i + 3 < utf8.size()) {
      code = (c & 0x07) << 18 | (utf8[i + 1] & 0x3F) << 12 | (utf8[i + 2] & 0x3F) << 6 |
             (utf8[i + 3] & 0x3F),
      n = 4;
    }
    i += n;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

bool ReadResources(const std::vector<uint8_t>& pe, std::vector<Resource>& out, std::string& error) {
  out.clear();
  PeLayout l;
  if (!ReadLayout(pe, l, error)) return false;
  if (l.directoryCount < 3) return true;
  const uint32_t rva = Get32(pe, l.directories + 2 * 8);
  if (rva == 0) return true;
  const int index = SectionOf(l, rva);
  error = "the resource tree is damaged";
  if (index < 0) return false;
  const Section& s = l.sections[index];
  if (s.rawOffset > pe.size() || s.rawSize > pe.size() - s.rawOffset) return false;
  const size_t base = s.rawOffset + (rva - s.virtualAddress);
  const size_t end = s.rawOffset + s.rawSize;
  const auto fits = [&](size_t at, size_t size) { return at <= end && size <= end - at; };
  const auto readId = [&](uint32_t name, ResourceId& id) {
    if (!(name & 0x80000000u)) {
      id.number = static_cast<uint16_t>(name);
      return true;
    }
    const size_t at = base + (name & 0x7FFFFFFFu);
    if (!fits(at, 2)) return false;
    const size_t length = Get16(pe, at);
    if (!fits(at + 2, 2 * length)) return false;
    for (size_t i = 0; i < length; ++i) id.text += static_cast<char16_t>(Get16(pe, at + 2 + 2 * i));
    return true;
  };
  // Three levels: type, name, language; each entry at the last level names
  // a data entry.
  std::function<bool(size_t, int, Resource&)> walk = [&](size_t at, int level, Resource& r) {
    if (level > 2 || !fits(at, 16)) return false;
    const size_t count = Get16(pe, at + 12) + Get16(pe, at + 14);
    if (!fits(at + 16, 8 * count)) return false;
    for (size_t e = 0; e < count; ++e) {
      const uint32_t name = Get32(pe, at + 16 + 8 * e), offset = Get32(pe, at + 20 + 8 * e);
      Resource here = r;
      ResourceId id;
      if (!readId(name, id)) return false;
      if (level == 0) here.type = id;
      if (level == 1) here.name = id;
      if (level == 2) here.language = id.number;
      if (offset & 0x80000000u) {
        if (level == 2 || !walk(base + (offset & 0x7FFFFFFFu), level + 1, here)) return false;
      } else {
        if (level != 2) return false;
        const size_t entry = base + offset;
        if (!fits(entry, 16)) return false;
        const uint32_t dataRva = Get32(pe, entry), size = Get32(pe, entry + 4);
        if (dataRva < s.virtualAddress) return false;
        const size_t data = s.rawOffset + (dataRva - s.virtualAddress);
        if (!fits(data, size)) return false;
        here.codePage = Get32(pe, entry + 8);
        here.data.assign(pe.begin() + data, pe.begin() + data + size);
        out.push_back(std::move(here));
      }
    }
    return true;
  };
  Resource root;
  if (!walk(base, 0, root)) return false;
  error.clear();
  return true;
}

namespace {

// Resource directories sort named entries first (by name), then numbered
// ones (by number).
bool IdBefore(const ResourceId& a, const ResourceId& b) {
  if (a.text.empty() != b.text.empty()) return !a.text.empty();
  if (!a.text.empty()) return a.text < b.text;
  return a.number < b.number;
}

// The section's bytes for the resources, with RVAs for a section at rva.
std::vector<uint8_t> BuildSection(const std::vector<Resource>& resources, uint32_t rva) {
  // Sorted and grouped: type, then name, then language.
  std::vector<const Resource*> sorted;
  for (const Resource& r : resources) sorted.push_back(&r);
  std::stable_sort(sorted.begin(), sorted.end(), [](const Resource* a, const Resource* b) {
    if (!(a->type == b->type)) return IdBefore(a->type, b->type);
    if (!(a->name == b->name)) return IdBefore(a->name, b->name);
    return a->language < b->language;
  });
  struct NameGroup {
    ResourceId name;
    std::vector<const Resource*> languages;
  };
  struct TypeGroup {
    ResourceId type;
    std::vector<NameGroup> names;
  };
  std::vector<TypeGroup> types;
  for (const Resource* r : sorted) {
    if (types.empty() || !(types.back().type == r->type)) types.push_back({r->type, {}});
    auto& names = types.back().names;
    if (names.empty() || !(names.back().name == r->name)) names.push_back({r->name, {}});
    names.back().languages.push_back(r);
  }
  const auto directorySize = [](size_t entries) { return 16 + 8 * entries; };
  // Sizes: all directories, then strings, then data entries, then data.
  size_t directories = directorySize(types.size());
  for (const auto& t : types) {
    directories += directorySize(t.names.size());
    for (const auto& n : t.names) directories += directorySize(n.languages.size());
  }
  std::vector<uint8_t> out(directories, 0);
  std::vector<uint8_t> strings, entries, data;
  const auto nameField = [&](const ResourceId& id) -> uint32_t {
    if (id.text.empty()) return id.number;
    const uint32_t at = static_cast<uint32_t>(strings.size());
    Append16(strings, static_cast<uint32_t>(id.text.size()));
    for (char16_t c : id.text) Append16(strings, c);
    return 0x80000000u | at;  // relative to the strings: fixed below
  };
  struct Fixup {
    size_t at;
    int kind;  // 0 string, 1 data entry
  };
  std::vector<Fixup> fixups;
  size_t next = directorySize(types.size());
  const auto writeDirectory = [&](size_t at, size_t named, size_t numbered) {
    Put16(out, at + 12, static_cast<uint32_t>(named));
    Put16(out, at + 14, static_cast<uint32_t>(numbered));
  };
  const auto countNamed = [](const auto& list, const auto& idOf) {
    size_t n = 0;
    for (const auto& x : list) n += !idOf(x).text.empty();
    return n;
  };
  writeDirectory(0, countNamed(types, [](const TypeGroup& t) { return t.type; }),
                 types.size() - countNamed(types, [](const TypeGroup& t) { return t.type; }));
  for (size_t ti = 0; ti < types.size(); ++ti) {
    const TypeGroup& t = types[ti];
    const size_t entry = 16 + 8 * ti;
    const uint32_t name = nameField(t.type);
    Put32(out, entry, name);
    if (name & 0x80000000u) fixups.push_back({entry, 0});
    const size_t typeDir = next;
    Put32(out, entry + 4, 0x80000000u | static_cast<uint32_t>(typeDir));
    next += directorySize(t.names.size());
    const auto nameOf = [](const NameGroup& n) { return n.name; };
    writeDirectory(typeDir, countNamed(t.names, nameOf),
                   t.names.size() - countNamed(t.names, nameOf));
    for (size_t ni = 0; ni < t.names.size(); ++ni) {
      const NameGroup& n = t.names[ni];
      const size_t nameEntry = typeDir + 16 + 8 * ni;
      const uint32_t field = nameField(n.name);
      Put32(out, nameEntry, field);
      if (field & 0x80000000u) fixups.push_back({nameEntry, 0});
      const size_t languageDir = next;
      Put32(out, nameEntry + 4, 0x80000000u | static_cast<uint32_t>(languageDir));
      next += directorySize(n.languages.size());
      writeDirectory(languageDir, 0, n.languages.size());
      for (size_t li = 0; li < n.languages.size(); ++li) {
        const Resource* r = n.languages[li];
        const size_t languageEntry = languageDir + 16 + 8 * li;
        Put32(out, languageEntry, r->language);
        Put32(out, languageEntry + 4, static_cast<uint32_t>(entries.size()));
        fixups.push_back({languageEntry + 4, 1});
        while (data.size() % 8) data.push_back(0);
        Append32(entries, static_cast<uint32_t>(data.size()));  // made an RVA below
        Append32(entries, static_cast<uint32_t>(r->data.size()));
        Append32(entries, r->codePage);
        Append32(entries, 0);
        data.insert(data.end(), r->data.begin(), r->data.end());
      }
    }
  }
  while (strings.size() % 8) strings.push_back(0);
  const uint32_t stringsAt = static_cast<uint32_t>(out.size());
  const uint32_t entriesAt = stringsAt + static_cast<uint32_t>(strings.size());
  const uint32_t dataAt = entriesAt + static_cast<uint32_t>(entries.size());
  for (const Fixup& f : fixups) {
    const uint32_t v = Get32(out, f.at);
    Put32(out, f.at, f.kind == 0 ? 0x80000000u | (stringsAt + (v & 0x7FFFFFFFu)) : entriesAt + v);
  }
  for (size_t e = 0; e < entries.size(); e += 16)
    Put32(entries, e, rva + dataAt + Get32(entries, e));
  out.insert(out.end(), strings.begin(), strings.end());
  out.insert(out.end(), entries.begin(), entries.end());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace

bool WriteResources(std::vector<uint8_t>& pe, const std::vector<Resource>& resources,
                    std::string& error) {
  PeLayout l;
  if (!ReadLayout(pe, l, error)) return false;
  error = "the program has no resource section to rewrite";
  if (l.directoryCount < 6) return false;
  const uint32_t rva = Get32(pe, l.directories + 2 * 8);
  const int index = rva ? SectionOf(l, rva) : -1;
  if (index < 0 || l.sections[index].virtualAddress != rva) return false;
  const Section rsrc = l.sections[index];
  // Only a relocation section may follow: nothing refers to where it lies
  // but its own directory entry.
  for (size_t i = 0; i < l.sections.size(); ++i) {
    const Section& s = l.sections[i];
    const std::string name(reinterpret_cast<const char*>(&pe[s.header]), 8);
    if (s.virtualAddress > rsrc.virtualAddress && name.compare(0, 6, ".reloc") != 0) {
      error = "a section other than .reloc follows the resources";
      return false;
    }
    if (s.virtualAddress > rsrc.virtualAddress && s.rawOffset < rsrc.rawOffset) {
      error = "the sections are not in file order";
      return false;
    }
  }
  if (rsrc.rawOffset > pe.size() || rsrc.rawSize > pe.size() - rsrc.rawOffset) {
    error = "the resource section lies beyond the file";
    return false;
  }
  const std::vector<uint8_t> bytes = BuildSection(resources, rva);
  const uint32_t rawSize = AlignUp(static_cast<uint32_t>(bytes.size()), l.fileAlignment);
  const uint32_t virtualSpan = AlignUp(static_cast<uint32_t>(bytes.size()), l.sectionAlignment);
  const int64_t rawDelta = static_cast<int64_t>(rawSize) - rsrc.rawSize;
  const int64_t oldSpan = AlignUp(std::max(rsrc.virtualSize, rsrc.rawSize), l.sectionAlignment);
  const int64_t virtualDelta = static_cast<int64_t>(virtualSpan) - oldSpan;

  std::vector<uint8_t> section(bytes);
  section.resize(rawSize, 0);
  std::vector<uint8_t> result(pe.begin(), pe.begin() + rsrc.rawOffset);
  result.insert(result.end(), section.begin(), section.end());
  result.insert(result.end(), pe.begin() + rsrc.rawOffset + rsrc.rawSize, pe.end());
  // The headers: the section itself, the sections after it, the directories
  // that point into those, the size of the image, the checksum.
  Put32(result, rsrc.header + 8, static_cast<uint32_t>(bytes.size()));
  Put32(result, rsrc.header + 16, rawSize);
  uint32_t imageEnd = 0;
  for (const Section& s : l.sections) {
    uint32_t va = s.virtualAddress;
    if (s.virtualAddress > rsrc.virtualAddress) {
      va = static_cast<uint32_t>(s.virtualAddress + virtualDelta);
      Put32(result, s.header + 12, va);
      if (s.rawOffset) Put32(result, s.header + 20, static_cast<uint32_t>(s.rawOffset + rawDelta));
      for (uint32_t d = 0; d < l.directoryCount; ++d) {
        const uint32_t at = Get32(pe, l.directories + 8 * d);
        if (d != 2 && at >= s.virtualAddress &&
            at < s.virtualAddress + std::max(s.virtualSize, s.rawSize))
          Put32(result, l.directories + 8 * d, static_cast<uint32_t>(at + virtualDelta));
      }
    }
    const uint32_t size = s.header == rsrc.header ? static_cast<uint32_t>(bytes.size())
                                                  : std::max(s.virtualSize, s.rawSize);
    imageEnd = std::max(imageEnd, va + AlignUp(size, l.sectionAlignment));
  }
  Put32(result, l.directories + 2 * 8 + 4, static_cast<uint32_t>(bytes.size()));
  Put32(result, l.optional + 56, imageEnd);
  Put32(result, l.optional + 8,
        static_cast<uint32_t>(static_cast<int64_t>(Get32(pe, l.optional + 8)) + rawDelta));
  Put32(result, l.optional + 64, 0);
  pe.swap(result);
  error.clear();
  return true;
}

bool IconResources(const std::vector<uint8_t>& ico, const std::u16string& groupName,
                   uint16_t firstId, uint16_t language, std::vector<Resource>& out,
                   std::string& error) {
  error = "not an icon file (.ico)";
  if (ico.size() < 6 || Get16(ico, 0) != 0 || Get16(ico, 2) != 1) return false;
  const size_t count = Get16(ico, 4);
  if (count == 0 || count > 256 || ico.size() < 6 + 16 * count) return false;
  Resource group;
  group.type.number = kGroupIconType;
  group.name.text = groupName;
  group.language = language;
  group.data = {0, 0, 1, 0};
  Append16(group.data, static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) {
    const size_t e = 6 + 16 * i;
    const uint32_t size = Get32(ico, e + 8), offset = Get32(ico, e + 12);
    if (offset > ico.size() || size > ico.size() - offset || size < 40) return false;
    Resource image;
    image.type.number = kIconType;
    image.name.number = static_cast<uint16_t>(firstId + i);
    image.language = language;
    image.data.assign(ico.begin() + offset, ico.begin() + offset + size);
    out.push_back(std::move(image));
    // The group entry: the directory entry's first 12 bytes, then the id.
    group.data.insert(group.data.end(), ico.begin() + e, ico.begin() + e + 12);
    Append16(group.data, static_cast<uint32_t>(firstId + i));
  }
  out.push_back(std::move(group));
  error.clear();
  return true;
}

namespace {

// One node of a version resource: length, value length, type, key, value,
// children, each part aligned to four bytes.
struct VersionNode {
  std::u16string key;
  std::vector<uint8_t> value;
  uint32_t valueLength = 0;  // in bytes for binary values, in characters for texts
  uint32_t type = 1;         // 1 text, 0 binary
  std::vector<VersionNode> children;

  void Write(std::vector<uint8_t>& out) const {
    while (out.size() % 4) out.push_back(0);
    const size_t start = out.size();
    Append16(out, 0);
    Append16(out, valueLength);
    Append16(out, type);
    for (char16_t c : key) Append16(out, c);
    Append16(out, 0);
    while (out.size() % 4) out.push_back(0);
    out.insert(out.end(), value.begin(), value.end());
    for (const VersionNode& child : children) child.Write(out);
    Put16(out, start, static_cast<uint32_t>(out.size() - start));
  }
};

VersionNode Text(const std::string& key, const std::string& utf8) {
  VersionNode n;
  n.key = Utf16(key);
  const std::u16string text = Utf16(utf8);
  for (char16_t c : text) Append16(n.value, c);
  Append16(n.value, 0);
  n.valueLength = static_cast<uint32_t>(text.size() + 1);
  return n;
}

}  // namespace

std::vector<uint8_t> VersionResource(const VersionInfo& info) {
  uint32_t parts[4] = {0, 0, 0, 0};
  size_t part = 0;
  for (size_t i = 0; i < info.version.size() && part < 4; ++i) {
    const char c = info.version[i];
    if (c >= '0' && c <= '9') {
      parts[part] = std::min<uint32_t>(parts[part] * 10 + (c - '0'), 0xFFFF);
    } else if (c == '.') {
      ++part;
    } else {
      break;  // "1.2-beta": what follows the numbers is not a number
    }
  }
  VersionNode root;
  root.key = Utf16("VS_VERSION_INFO");
  root.type = 0;
  const uint32_t ms = parts[0] << 16 | parts[1], ls = parts[2] << 16 | parts[3];
  for (uint32_t v : {0xFEEF04BDu, 0x00010000u, ms, ls, ms, ls, 0x3Fu, 0u, 0x40004u, 1u, 0u, 0u, 0u})
    Append32(root.value, v);
  root.valueLength = 52;
  VersionNode strings;
  strings.key = Utf16("StringFileInfo");
  VersionNode table;
  table.key = Utf16("040904B0");
  const std::pair<const char*, const std::string*> texts[] = {
      {"CompanyName", &info.companyName},
      {"FileDescription", &info.description},
      {"FileVersion", &info.version},
      {"LegalCopyright", &info.copyright},
      {"OriginalFilename", &info.originalFilename},
      {"ProductName", &info.productName},
      {"ProductVersion", &info.version}};
  for (const auto& t : texts) {
    if (!t.second->empty()) table.children.push_back(Text(t.first, *t.second));
  }
  strings.children.push_back(table);
  VersionNode vars;
  vars.key = Utf16("VarFileInfo");
  VersionNode translation;
  translation.key = Utf16("Translation");
  translation.type = 0;
  Append16(translation.value, 0x0409);
  Append16(translation.value, 1200);
  translation.valueLength = 4;
  vars.children.push_back(translation);
  root.children = {strings, vars};
  std::vector<uint8_t> out;
  root.Write(out);
  return out;
}

std::string ManifestWithLevel(const std::string& manifest, const std::string& level) {
  const std::string block =
      "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
      "    <security>\n"
      "      <requestedPrivileges>\n"
      "        <requestedExecutionLevel level=\"" +
      level +
      "\" uiAccess=\"false\"/>\n"
      "      </requestedPrivileges>\n"
      "    </security>\n"
      "  </trustInfo>\n";
  std::string text = manifest;
  const size_t start = text.find("<trustInfo");
  if (start != std::string::npos) {
    const size_t end = text.find("</trustInfo>", start);
    if (end != std::string::npos) {
      size_t lineStart = text.rfind('\n', start);
      lineStart = lineStart == std::string::npos ? start : lineStart + 1;
      size_t after = end + 12;
      if (after < text.size() && text[after] == '\n') ++after;
      return text.replace(lineStart, after - lineStart, block);
    }
  }
  const size_t close = text.rfind("</assembly>");
  if (close == std::string::npos) return text;
  return text.insert(close, block);
}

}  // namespace tool
