#include "text_convert.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace tool {

namespace {

// Code points of the bytes 0x80 to 0x9F in Windows-1252 (0 where unused).
const uint16_t k1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes UTF-8; bytes that are not valid UTF-8 are taken as Windows-1252.
std::vector<uint32_t> Decode(const std::string& s) {
  std::vector<uint32_t> out;
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    const int extra = c >= 0xC2 && c <= 0xDF   ? 1
                      : c >= 0xE0 && c <= 0xEF ? 2
                      : c >= 0xF0 && c <= 0xF4 ? 3
                                               : 0;
    uint32_t cp = c & (0x3F >> extra);
    bool ok = extra > 0;
    for (int k = 1; ok && k <= extra; ++k) {
      const size_t at = i + k;
      if (at >= s.size() || (static_cast<unsigned char>(s[at]) & 0xC0) != 0x80) {
        ok = false;
      } else {
        cp = (cp << 6) | (static_cast<unsigned char>(s[at]) & 0x3F);
      }
    }
    if (ok) {
      out.push_back(cp);
      i += extra + 1;
    } else {
      out.push_back(c < 0xA0 && k1252High[c - 0x80] ? k1252High[c - 0x80] : c);
      ++i;
    }
  }
  return out;
}

}  // namespace

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi, std::string& bad) {
  ansi.clear();
  for (uint32_t cp : Decode(utf8)) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      ansi += static_cast<char>(cp);
      continue;
    }
    int found = -1;
    for (int k = 0; k < 32; ++k) {
      if (k1252High[k] == cp) found = k;
    }
    if (found < 0) {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "U+%04X", cp);
      bad = buffer;
      return false;
    }
    ansi += static_cast<char>(0x80 + found);
  }
  return true;
}

std::string PlainTextToRtf(const std::string& text) {
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Tahoma;}}\\f0\\fs16 ";
  for (uint32_t cp : Decode(text)) {
    if (cp == '\r') continue;
    if (cp == '\n') {
      out += "\\par\n";
    } else if (cp == '\\' || cp == '{' || cp == '}') {
      out += '\\';
      out += static_cast<char>(cp);
    } else if (cp == '\t') {
      out += "\\tab ";
    } else if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else {
      // A Unicode character with "?" for readers that know only ANSI.
      const int16_t signedCp = static_cast<int16_t>(cp > 0xFFFF ? 0xFFFD : cp);
      out += "\\u" + std::to_string(signedCp) + "?";
    }
  }
  out += "}";
  return out;
}

}  // namespace tool
