// Text expansion: the variable tokens "@$&%" + two characters inside package
// texts, replaced by the values of a variable source. Also the small text
// forms the installer shows: the display form of a caption, the short form
// of a size, and a path shortened to a width.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qb {

constexpr const char* kVariableMarker = "@$&%";

// Where the values of the path variables come from (the stub asks the
// system; tests give fixed values).
class VariableSource {
 public:
  virtual ~VariableSource() = default;
  // The value of variable 0 to 255, as the system gives it.
  virtual std::string Value(int number) = 0;
  // The 8.3 form of a path; empty when the path does not exist.
  virtual std::string ShortForm(const std::string& path) = 0;
};

// The variable number of the (up to) two characters after a marker: read
// leniently, then taken modulo 256, so "04" and "4x" give 4 and "-1" 255.
int TokenNumber(const std::string& numberText);

// The value of a variable as expansion uses it: one trailing backslash
// removed; numbers 41 to 80 give the short form of variable number - 40.
std::string VariableValue(VariableSource& source, int number);

// Replaces every variable token, the search starting again at the front
// after each replacement, so tokens that values bring in are expanded too.
// A value that leads back to its own token would never end: such texts stop
// after a bounded number of replacements; every expansion that ends comes
// out as it would unbounded.
std::string ExpandTokens(const std::string& text, VariableSource& source);

// Every "&" doubled, so that a label shows it instead of an accelerator.
std::string DisplayForm(const std::string& text);

// A size in the short form of the overwrite dialog: divided by 1024 while at
// least 1024 (at most four times), two decimals cut, trailing zeros dropped,
// then K, M, G or T: 512 gives "512", 1536 gives "1.5K", 1048576 "1M".
std::string SizeShortForm(uint64_t size);

// Shortens a path for a label of the given width: leading folders are kept
// while the text still fits, the rest becomes "..\".
std::string ShortenPath(const std::string& path, int width,
                        const std::function<int(const std::string&)>& measure);

}  // namespace qb
