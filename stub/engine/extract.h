// File extraction and placement: the cabinet set stored in the installer
// (and its volumes) written piece by piece into the working folder just in
// time for the cabinet reader, each packed file placed by the file list
// with its overwrite rule.
#pragma once

#include <cstdint>
#include <string>

namespace en {

// The remembered overwrite answer of the run (see wz::OverwriteAnswer).
extern int RememberedAnswer;

// The file extraction stage of the installation run.
void ExtractFiles();

// For a program that ends during the extraction stage (abandoned or
// cancelled): closes the open cabinet files and deletes the cabinet pieces
// and the file being written, so that the working folder can be removed.
// Does nothing outside the stage.
void DiscardExtraction();

// The description of a file in the overwrite dialog: local date and time,
// four blanks, the size in short form and "b".
std::string FileDescription(uint64_t fileTimeUtc, uint64_t size);

}  // namespace en
