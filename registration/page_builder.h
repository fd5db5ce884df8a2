// The registration page from end to end: the page and its three images
// written into the host's folder, then opened in the registered browser.
#pragma once

#include "platform.h"

namespace dedo {

// Answers 1 when all four files were written in full by this call and the
// shell accepted the launch of the page; else 0, and then nothing is launched.
// `module` holds the form's resources. A null outputFolder counts as empty;
// keyPath and versionText are handed on unchanged.
int RegisterUser(Platform& platform, Module module, const char* keyPath, const char* outputFolder,
                 const char* versionText);

}  // namespace dedo
