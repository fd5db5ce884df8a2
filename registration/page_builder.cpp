#include "page_builder.h"

#include "browser_probe.h"
#include "field_substitution.h"
#include "form_resources.h"
#include "handles.h"
#include "registrant_profile.h"

namespace dedo {

namespace {

constexpr const char* kPageFileName = "ZelkDEro.htm";

struct ImageFile {
    const char* fileName;
    unsigned resourceId;
};

// In the order they are written: the banner (132) before the arrow (131).
constexpr ImageFile kImageFiles[] = {
    {"ProdReg.jpg", kBannerImageId},
    {"ProdArro.gif", kArrowImageId},
    {"ProdReq.gif", kMarkerImageId},
};

// The folder as given, a backslash unless it already ends in one (a forward
// slash is no separator here), then the file name.
bool FormOutputPath(const char* folder, const char* fileName, GrowableText& path) {
    if (!path.Assign(folder)) return false;
    if (path.Length() == 0 || path.Chars()[path.Length() - 1] != '\\') {
        if (!path.Append("\\")) return false;
    }
    return path.Append(fileName);
}

// What goes into the page: the template streamed through the fields.
struct PageFields {
    const RegistrantIdentity& identity;
    const char* versionText;
};

// Replaces one output file: the leftover made deletable and deleted, the
// resource found, the file created afresh and written in full. `page` is null
// for an image, which is written as it is stored. Answers 1 when the file was
// created, written in full and closed, 0 otherwise, kOutOfMemory when its
// path could not be formed.
int WriteOutputFile(Platform& platform, Module module, const char* folder, const char* fileName,
                    unsigned resourceId, const PageFields* page, GrowableText& path) {
    if (!FormOutputPath(folder, fileName, path)) return kOutOfMemory;
    // A leftover that is read-only, hidden or system could not be deleted; one
    // that is not there is no error.
    platform.SetFileAttributesA(path.Chars(), kFileAttributeNormal);
    platform.DeleteFileA(path.Chars());

    ResourceBytes resource;
    if (!LoadFormResource(platform, module, resourceId, resource)) return 0;

    // Write access only and no sharing while it is written: nobody reads a half-written file.
    OpenFile file(platform, platform.CreateFileA(path.Chars(), kGenericWrite, 0, kCreateAlways, kFileAttributeNormal));
    if (!file.IsOpen()) return 0;
    bool written = page != nullptr ? SubstituteFields(platform, resource.bytes, resource.size, file.Get(),
                                                      page->identity, page->versionText)
                                   : WriteAll(platform, file.Get(), resource.bytes, resource.size);
    bool closed = file.Close();
    return written && closed ? 1 : 0;
}

}  // namespace

int RegisterUser(Platform& platform, Module module, const char* keyPath, const char* outputFolder,
                 const char* versionText) {
    if (IsBrowserAvail(platform) == 0) return 0;  // nothing on disk is touched

    RegistrantIdentity identity;
    // A registrant who is not in the registry still gets a form, without name, company and serial.
    if (ReadRegistrantIdentity(platform, keyPath, identity) == kOutOfMemory) return 0;

    // The page is launched only when this call wrote all four files in full:
    // never a stale page from an earlier call, never a truncated one.
    GrowableText pagePath;
    PageFields page{identity, versionText};
    if (WriteOutputFile(platform, module, outputFolder, kPageFileName, kFormTemplateId, &page, pagePath) != 1)
        return 0;
    for (const ImageFile& image : kImageFiles) {
        GrowableText imagePath;
        if (WriteOutputFile(platform, module, outputFolder, image.fileName, image.resourceId, nullptr, imagePath) != 1)
            return 0;
    }

    intptr_t launched = platform.ShellExecuteA(nullptr, pagePath.Chars(), nullptr, nullptr, kShowMaximized);
    return launched > 32 ? 1 : 0;
}

}  // namespace dedo
