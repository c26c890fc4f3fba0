// The messages of a language under readable names, and the English texts the
// tool ships for all 96 positions.
#pragma once

#include <string>
#include <vector>

namespace tool {

struct MessageInfo {
  int index;
  const char* name;
  const char* english;  // "%APP%" stands for the application name
};

const std::vector<MessageInfo>& AllMessages();
const MessageInfo* FindMessage(const std::string& name);
const MessageInfo* MessageAt(int index);

}  // namespace tool
