// A text argument for calls that only hand their text on to Windows: a
// literal or a std::string, passed as its characters without a copy. It
// must not outlive the call it is passed to.
#pragma once

#include <string>

namespace toolkit {

class TextArg {
 public:
  TextArg(const char* text) : text_(text) {}                 // NOLINT: converts on purpose
  TextArg(const std::string& text) : text_(text.c_str()) {}  // NOLINT: converts on purpose
  const char* c_str() const { return text_; }

 private:
  const char* text_;
};

}  // namespace toolkit
