#include "uninstall/log_reader.h"

#include <algorithm>
#include <cctype>

#include "text/text.h"

namespace qb {

std::string UninstallLog::Setting(int64_t key) const {
  const auto it = settings.find(key);
  return it == settings.end() ? std::string() : it->second;
}

std::string UnquoteLogValue(const std::string& value) {
  if (value.size() > 1 && value.front() == '"' && value.back() == '"')
    return value.substr(1, value.size() - 2);
  return value;
}

namespace {

using Entries = std::map<int64_t, std::string>;

bool AllDigits(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The numbered sections of one letter, in the order of their numbers.
std::vector<const Entries*> Numbered(const std::map<std::string, Entries>& sections, char letter) {
  std::vector<std::pair<int64_t, const Entries*>> found;
  for (const auto& [name, entries] : sections) {
    if (name.size() > 1 && name[0] == letter && AllDigits(name.substr(1)))
      found.emplace_back(ReadNumber(name.substr(1)), &entries);
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<const Entries*> out;
  for (const auto& f : found) out.push_back(f.second);
  return out;
}

std::string At(const Entries& entries, int64_t key) {
  const auto it = entries.find(key);
  return it == entries.end() ? std::string() : it->second;
}

std::vector<std::string> Values(const Entries& entries) {
  std::vector<std::string> out;
  for (const auto& e : entries) out.push_back(e.second);
  return out;
}

}  // namespace

bool ParseUninstallLog(const std::string& text, UninstallLog& log) {
  log = UninstallLog();
  std::map<std::string, Entries> sections;
  Entries* current = nullptr;
  std::string currentName;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      currentName = line.substr(1, line.size() - 2);
      current = &sections[currentName];
      continue;
    }
    const size_t equals = line.find('=');
    if (!current || equals == std::string::npos || !AllDigits(line.substr(0, equals))) continue;
    std::string value = line.substr(equals + 1);
    // [f] is written without the quoting rule.
    if (currentName != "f") value = UnquoteLogValue(value);
    (*current)[ReadNumber(line.substr(0, equals))] = std::move(value);
  }
  const auto s = sections.find("s");
  if (s == sections.end()) return false;
  log.settings = s->second;
  if (const auto f = sections.find("f"); f != sections.end()) log.files = Values(f->second);
  if (const auto e = sections.find("e"); e != sections.end()) log.folders = Values(e->second);
  if (const auto u = sections.find("u"); u != sections.end()) log.components = Values(u->second);
  for (const Entries* o : Numbered(sections, 'o')) log.extras.push_back({At(*o, 0), At(*o, 1)});
  for (const Entries* i : Numbered(sections, 'i'))
    log.ini.push_back({At(*i, 0), At(*i, 1), At(*i, 2)});
  for (const Entries* r : Numbered(sections, 'r'))
    log.registry.push_back({ReadNumber(At(*r, 0)), At(*r, 1), At(*r, 2)});
  for (char kind : {'b', 'a'}) {
    for (const Entries* p : Numbered(sections, kind)) {
      (kind == 'b' ? log.before : log.after)
          .push_back({At(*p, 0), At(*p, 1), ReadNumber(At(*p, 2)), ReadNumber(At(*p, 3)) == 1});
    }
  }
  for (const Entries* n : Numbered(sections, 'n')) log.fonts.push_back({At(*n, 0), At(*n, 1)});
  return true;
}

bool LogCountsAgree(const UninstallLog& log) {
  const std::pair<int64_t, size_t> counts[] = {
      {37, log.folders.size()},  {39, log.files.size()}, {42, log.components.size()},
      {43, log.registry.size()}, {44, log.ini.size()},   {45, log.before.size()},
      {46, log.after.size()},
  };
  for (const auto& [key, records] : counts) {
    const std::string text = log.Setting(key);
    const bool digits = !text.empty() && text.size() <= 18 && AllDigits(text);
    if (!digits || ReadNumber(text) != static_cast<int64_t>(records)) return false;
  }
  return true;
}

namespace {

bool ReadAt(ByteSource& file, uint64_t position, void* buffer, size_t size) {
  return file.Seek(position) && file.Read(buffer, size) == size;
}

bool IsFullPath(const std::string& path) {
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                     path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  const bool share = path.size() >= 3 && path[0] == '\\' && path[1] == '\\';
  return drive || share;
}

}  // namespace

bool ReadTrailerLogPath(ByteSource& file, std::string& logPath, uint64_t& pathStart) {
  const uint64_t size = file.Size();
  uint8_t length[2];
  if (size < 2 || !ReadAt(file, size - 2, length, 2)) return false;
  const uint64_t count = length[0] | (length[1] << 8);
  if (count == 0 || count > size - 2) return false;
  std::string path(static_cast<size_t>(count), '\0');
  if (!ReadAt(file, size - 2 - count, &path[0], path.size())) return false;
  if (path.find('\0') != std::string::npos || !IsFullPath(path)) return false;
  logPath = path;
  pathStart = size - 2 - count;
  return true;
}

bool ReadTrailerBitmap(ByteSource& file, uint64_t pathStart, std::vector<uint8_t>& bitmap) {
  uint8_t length[4];
  if (pathStart < 4 || !ReadAt(file, pathStart - 4, length, 4)) return false;
  const uint64_t size = static_cast<uint64_t>(length[0]) | (length[1] << 8) |
                        (static_cast<uint64_t>(length[2]) << 16) |
                        (static_cast<uint64_t>(length[3]) << 24);
  if (size < 14 || size > pathStart - 4) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!ReadAt(file, pathStart - 4 - size, bytes.data(), bytes.size())) return false;
  if (bytes[0] != 'B' || bytes[1] != 'M') return false;
  bitmap.swap(bytes);
  return true;
}

}  // namespace qb
