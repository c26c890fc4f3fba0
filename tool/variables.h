// Readable variables in manifest texts ({app}, {pf}, {sys}, {reg:name}, ...)
// and the installer's variable tokens ("@$&%" and two digits) they become.
#pragma once

#include <string>
#include <vector>

namespace tool {

struct Translation {
  std::string text;
  std::string error;  // empty on success
};

// Turns {name} into tokens. "{{" and "}}" are literal braces. {name:short}
// asks for the 8.3 form of a folder; {reg:name} is a registry variable of
// the manifest; {volume} is only allowed where allowVolume is true.
Translation TranslateVariables(const std::string& text,
                               const std::vector<std::string>& registryVariables,
                               bool allowVolume = false);

// The readable form of a stored text, for `quillbox inspect`.
std::string ReadableVariables(const std::string& stored,
                              const std::vector<std::string>& registryVariables);

// What the variable of a token number typically stands for, for measuring
// paths before any installer runs: the value a 32-bit installer sees on
// 64-bit Windows for a user called "User" ("C:\Program Files (x86)" for
// {pf}). A short form's number gives the long value; {app}, registry
// variables and unknown numbers give an empty text.
std::string TypicalValue(int number);

// Whether the variable of a token number stands for a folder (a full path
// such as "C:\Windows") rather than a name such as {username}. {app} is a
// folder; registry variables are neither.
bool IsFolderVariable(int number);

// The names of the path variables, for help texts.
std::vector<std::string> VariableNames();

}  // namespace tool
