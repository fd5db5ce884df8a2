// Streams the form template into the page file, putting each field token's
// value in the token's place. One pass; runs of template bytes go to the file
// straight from the template and the page is never assembled in memory.
#pragma once

#include "platform.h"
#include "registrant_profile.h"

namespace dedo {

constexpr int kFieldTokenCount = 14;
constexpr Dword kShortestTokenLength = 6;

// Answers 1 when a field token stands at `at`, whose `remaining` bytes are all
// that may be read, with the token's length and index; else 0, and then
// `length` and `index` are not to be used.
int MatchFieldToken(const char* at, Dword remaining, Dword* length, int* index);

// Writes the whole page: the template's `size` bytes with every token
// replaced by its value from the identity, the private profile (looked up when
// the token is met) or the version text (null counts as empty). Values are
// written HTML-escaped, so that they show and post exactly as stored and
// cannot add markup to the page. Answers true when every byte reached the
// file; at the first failed or short write it stops and answers false.
bool SubstituteFields(Platform& platform, const char* formTemplate, Dword size, File page,
                      const RegistrantIdentity& identity, const char* versionText);

}  // namespace dedo
