// File extraction and placement: the cabinet set stored in the installer
// (and its volumes) written piece by piece into the working folder just in
// time for the cabinet reader, each packed file placed by the file list
// with its overwrite rule.
#pragma once

#include <cstdint>
#include <string>

#include "engine/run_state.h"

namespace engine {

// The file extraction stage of the installation run. Returns false when the
// installation was given up (a missing volume or a file that cannot be
// created, and the user chose Cancel); the caller then ends it.
bool ExtractFiles(RunState& run);

// For a program that ends during the extraction stage (given up or
// cancelled): closes the open cabinet files and deletes the cabinet pieces
// and the file being written, so that the working folder can be removed.
// Does nothing outside the stage.
void DiscardExtraction(RunState& run);

// The description of a file in the overwrite dialog: local date and time,
// four blanks, the size in short form and "b".
std::string FileDescription(uint64_t fileTimeUtc, uint64_t size);

}  // namespace engine
