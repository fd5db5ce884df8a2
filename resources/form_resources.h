// The registration form and its three images, as the library carries them:
// resources of type "HTMLFILE", found by number in the library's own module.
#pragma once

#include "platform.h"

namespace dedo {

constexpr const char* kFormResourceType = "HTMLFILE";
constexpr unsigned kFormTemplateId = 129;  // the page's HTML, without a terminating zero
constexpr unsigned kArrowImageId = 131;    // GIF, 7 x 17
constexpr unsigned kBannerImageId = 132;   // JPEG, 600 x 55
constexpr unsigned kMarkerImageId = 133;   // GIF, 18 x 14

struct ResourceBytes {
    const char* bytes;
    Dword size;
};

// Finds, sizes, loads and locks one resource, in that order. The bytes belong
// to the module and stay valid while it is loaded; nothing is freed. False
// when any step yields nothing, a size of 0 included.
bool LoadFormResource(Platform& platform, Module module, unsigned id, ResourceBytes& resource);

}  // namespace dedo
