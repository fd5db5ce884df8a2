// dedoruru: the command-line host of the DEDORURU library, one source for
// Linux (linked to libdedoruru.so) and Windows (DEDORURU.dll loaded at run time).
//
//   dedoruru register KEYPATH FOLDER [VERSION]
//   dedoruru browser
//   dedoruru rename EXISTING NEW
//
// Options, before the command: --dll PATH (Windows: the DLL to load, by
// default the one beside this program) and --ordinal (Windows: bind the
// export by its ordinal instead of its name).
//
// Exit status: 0 when the export answers 1, 1 when it answers 0, 2 on a usage
// error or when the library cannot be had.
#include <stdio.h>
#include <string.h>

#include "dedoruru.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include "code_page.h"
#endif

namespace {

int Usage(const char* why) {
    fprintf(stderr,
            "dedoruru: %s\n"
            "usage: dedoruru [--dll PATH] [--ordinal] register KEYPATH FOLDER [VERSION]\n"
            "       dedoruru [--dll PATH] [--ordinal] browser\n"
            "       dedoruru [--dll PATH] [--ordinal] rename EXISTING NEW\n",
            why);
    return 2;
}

struct Exports {
    int(DEDORURU_CALL* isBrowserAvail)(void);
    int(DEDORURU_CALL* registerUser)(const char*, const char*, const char*);
    int(DEDORURU_CALL* rename)(const char*, const char*);
};

#if defined(_WIN32)
// Texts go to the DLL as Windows hands them to programs: in the ANSI code page.
const char* AsLibraryText(const char* arg, char*) { return arg; }

bool Bind(const char* dllPath, bool byOrdinal, Exports& exports) {
    HMODULE dll = LoadLibraryA(dllPath);
    if (dll == nullptr) {
        fprintf(stderr, "dedoruru: cannot load %s (error %lu)\n", dllPath, static_cast<unsigned long>(GetLastError()));
        return false;
    }
    auto bind = [&](const char* name, int ordinal) -> void* {
        FARPROC fn = GetProcAddress(dll, byOrdinal ? MAKEINTRESOURCEA(ordinal) : name);
        if (fn == nullptr) fprintf(stderr, "dedoruru: %s has no export %s (ordinal %d)\n", dllPath, name, ordinal);
        return reinterpret_cast<void*>(fn);
    };
    exports.isBrowserAvail = reinterpret_cast<int(DEDORURU_CALL*)(void)>(bind("IsBrowserAvail", 1));
    exports.registerUser =
        reinterpret_cast<int(DEDORURU_CALL*)(const char*, const char*, const char*)>(bind("RegisterUser", 2));
    exports.rename = reinterpret_cast<int(DEDORURU_CALL*)(const char*, const char*)>(bind("zelkRename", 3));
    return exports.isBrowserAvail != nullptr && exports.registerUser != nullptr && exports.rename != nullptr;
}
#else
// The library plays a Western Windows system: its texts are windows-1252,
// while Linux hands this program UTF-8.
const char* AsLibraryText(const char* arg, char* buffer) {
    dedo::GrowableText text;
    if (!dedo::AppendAsWindows1252(text, arg, arg + strlen(arg)) || text.Length() >= 4096) return arg;
    memcpy(buffer, text.Chars(), text.Length() + 1);
    return buffer;
}

bool Bind(const char*, bool, Exports& exports) {
    exports = Exports{IsBrowserAvail, RegisterUser, zelkRename};
    return true;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    const char* dllPath = "DEDORURU.dll";
#else
    const char* dllPath = nullptr;
#endif
    bool byOrdinal = false;
    int arg = 1;
    for (; arg < argc && strncmp(argv[arg], "--", 2) == 0; ++arg) {
        if (strcmp(argv[arg], "--ordinal") == 0) {
            byOrdinal = true;
        } else if (strcmp(argv[arg], "--dll") == 0 && arg + 1 < argc) {
            dllPath = argv[++arg];
        } else {
            return Usage("unknown option");
        }
    }
    if (arg >= argc) return Usage("no command given");
    const char* command = argv[arg++];
    int rest = argc - arg;
    bool known = (strcmp(command, "browser") == 0 && rest == 0) || (strcmp(command, "rename") == 0 && rest == 2) ||
                 (strcmp(command, "register") == 0 && (rest == 2 || rest == 3));
    if (!known) return Usage("unknown command or wrong number of arguments");

    Exports exports{};
    if (!Bind(dllPath, byOrdinal, exports)) return 2;

    static char texts[3][4096];
    int result;
    if (strcmp(command, "browser") == 0) {
        result = exports.isBrowserAvail();
        printf("%s\n", result ? "a browser is registered for web pages" : "no browser is registered for web pages");
    } else if (strcmp(command, "rename") == 0) {
        result = exports.rename(AsLibraryText(argv[arg], texts[0]), AsLibraryText(argv[arg + 1], texts[1]));
        printf("%s %s to %s\n", result ? "moved" : "could not move", argv[arg], argv[arg + 1]);
    } else {
        const char* version = rest == 3 ? AsLibraryText(argv[arg + 2], texts[2]) : nullptr;
        result = exports.registerUser(AsLibraryText(argv[arg], texts[0]), AsLibraryText(argv[arg + 1], texts[1]), version);
        if (result)
            printf("registration page ZelkDEro.htm written into %s and handed to the shell to open\n", argv[arg + 1]);
        else
            printf("no registration page was opened\n");
    }
    return result == 1 ? 0 : 1;
}
