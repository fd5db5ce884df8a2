// The form and its images compiled into a build that has no resource section.
// The build generates the table from the same files the Windows builds embed.
#pragma once

#include <stddef.h>

namespace dedo {

struct EmbeddedResource {
    const char* type;
    unsigned id;
    const unsigned char* bytes;
    size_t size;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const size_t kEmbeddedResourceCount;

}  // namespace dedo
