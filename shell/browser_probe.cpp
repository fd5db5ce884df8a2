#include "browser_probe.h"

#include "handles.h"
#include "registry_text.h"

namespace dedo {

int GetBrowserCommand(Platform& platform, GrowableText& command) {
    GrowableText documentClass;
    {
        OpenKey extension(platform);
        if (!extension.OpenForReading(kClassesRoot, ".htm")) return 0;
        if (ReadRegistryText(platform, extension.Get(), nullptr, documentClass) != RegistryRead::kRead) return 0;
    }  // the ".htm" key is closed before the class's key is opened
    if (documentClass.Length() == 0) return 0;

    GrowableText commandKeyPath;
    if (!commandKeyPath.Format("%s\\shell\\open\\command", documentClass.Chars())) return 0;

    OpenKey commandKey(platform);
    if (!commandKey.OpenForReading(kClassesRoot, commandKeyPath.Chars())) return 0;
    if (ReadRegistryText(platform, commandKey.Get(), nullptr, command) != RegistryRead::kRead) return 0;
    return 1;
}

int IsBrowserAvail(Platform& platform) {
    GrowableText command;
    return GetBrowserCommand(platform, command);
}

}  // namespace dedo
