// Text conversions for the package: manifests are UTF-8, the installer's
// texts are in the Windows ANSI code page (1252); plain-text license and
// readme files become RTF for the rich-text viewers.
#pragma once

#include <string>

namespace tool {

// Converts UTF-8 to Windows-1252. Returns false (and the first character
// that has no place there in bad) when the text cannot be converted.
bool Utf8ToAnsi(const std::string& utf8, std::string& ansi, std::string& bad);

// Wraps a plain text (UTF-8 or ANSI) into a small RTF document.
std::string PlainTextToRtf(const std::string& text);

}  // namespace tool
