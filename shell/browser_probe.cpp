#include "browser_probe.h"

#include "handles.h"

namespace dedo {

namespace {

// Reads the default value of an open key into `text`, as text up to its first
// zero byte and never past the data read. The buffer is sized from the value
// itself, so there is no length limit; a value that grew since its size was
// asked makes the read fail rather than cut it.
bool ReadDefaultValue(Platform& platform, Key key, GrowableText& text) {
    Dword size = 0;
    if (platform.RegQueryValueExA(key, nullptr, nullptr, nullptr, &size) != kErrorSuccess) return false;
    char* buffer = text.GetBuffer(static_cast<size_t>(size) + 1);
    if (buffer == nullptr) return false;
    Dword read = size;
    Status status =
        platform.RegQueryValueExA(key, nullptr, nullptr, reinterpret_cast<unsigned char*>(buffer), &read);
    buffer[status == kErrorSuccess && read <= size ? read : 0] = '\0';
    text.ReleaseBuffer();
    return status == kErrorSuccess;
}

}  // namespace

int GetBrowserCommand(Platform& platform, GrowableText& command) {
    GrowableText documentClass;
    {
        OpenKey extension(platform);
        if (!extension.OpenForReading(kClassesRoot, ".htm")) return 0;
        if (!ReadDefaultValue(platform, extension.Get(), documentClass)) return 0;
    }  // the ".htm" key is closed before the class's key is opened
    if (documentClass.Length() == 0) return 0;

    GrowableText commandKeyPath;
    if (!commandKeyPath.Format("%s\\shell\\open\\command", documentClass.Chars())) return 0;

    OpenKey commandKey(platform);
    if (!commandKey.OpenForReading(kClassesRoot, commandKeyPath.Chars())) return 0;
    if (!ReadDefaultValue(platform, commandKey.Get(), command)) return 0;
    return 1;
}

int IsBrowserAvail(Platform& platform) {
    GrowableText command;
    return GetBrowserCommand(platform, command);
}

}  // namespace dedo
