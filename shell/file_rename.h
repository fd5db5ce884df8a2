// Renames or moves a file or folder for the host, with the platform's plain move.
#pragma once

#include "platform.h"

namespace dedo {

// 1 when the move succeeded, else 0 with the move's error as the thread's last
// error. A null name answers 0 with ERROR_INVALID_PARAMETER rather than
// handing the platform a pointer it would crash on.
int RenameFile(Platform& platform, const char* existingName, const char* newName);

}  // namespace dedo
