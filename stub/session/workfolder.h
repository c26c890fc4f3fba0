// The temporary working folder "$inst\" below the user's temporary folder.
#pragma once

#include <string>

#include "session/session.h"

namespace session {

// The path of support file n, or of cabinet piece n when piece is true.
std::string SupportFile(int number, bool piece = false);
// Creates the folder and every missing folder above it.
void CreateWorkFolder();
// Deletes the larger forms of the wizard's pictures (qb::PictureFormEntry)
// that are there: at the end with the other support files, and before the
// support cabinet is unpacked, so that forms an earlier run left behind
// (one that ended abruptly) never join a picture of this package. Files
// that are not there are passed over.
void RemovePictureForms();
// Deletes the support files and the folder; failures are ignored.
void RemoveWorkFolder(const Session& session);
// Removes the folder itself only when this process created it, and only if
// it is empty: used when another installer owns the folder's files.
void LeaveWorkFolder();

}  // namespace session
