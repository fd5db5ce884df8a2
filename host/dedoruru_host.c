/* dedoruru: a command-line host for DEDORURU.dll.
 *
 *   dedoruru [--dll PATH] probe
 *   dedoruru [--dll PATH] rename EXISTING NEW
 *   dedoruru [--dll PATH] register KEYPATH FOLDER [VERSION]
 *
 * Loads the DLL (by default the one beside this program), calls one export,
 * prints its result and exits 0 when the result is 1, 1 when it is 0, and 2
 * when the DLL or the export cannot be had.
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

typedef int(__cdecl* ProbeFn)(void);
typedef int(__cdecl* RegisterFn)(const char*, const char*, const char*);
typedef int(__cdecl* RenameFn)(const char*, const char*);

static int usage(void) {
    fputs("usage: dedoruru [--dll PATH] probe\n"
          "       dedoruru [--dll PATH] rename EXISTING NEW\n"
          "       dedoruru [--dll PATH] register KEYPATH FOLDER [VERSION]\n",
          stderr);
    return 2;
}

static FARPROC bind_export(HMODULE dll, const char* name) {
    FARPROC fn = GetProcAddress(dll, name);
    if (fn == NULL) fprintf(stderr, "dedoruru: the DLL has no export %s\n", name);
    return fn;
}

int main(int argc, char** argv) {
    const char* dllPath = "DEDORURU.dll";
    int arg = 1;
    if (argc > 2 && strcmp(argv[1], "--dll") == 0) {
        dllPath = argv[2];
        arg = 3;
    }
    if (arg >= argc) return usage();
    const char* command = argv[arg++];
    int rest = argc - arg;

    HMODULE dll = LoadLibraryA(dllPath);
    if (dll == NULL) {
        fprintf(stderr, "dedoruru: cannot load %s (error %lu)\n", dllPath, (unsigned long)GetLastError());
        return 2;
    }

    int result = -1;
    if (strcmp(command, "probe") == 0 && rest == 0) {
        ProbeFn probe = (ProbeFn)(void*)bind_export(dll, "IsBrowserAvail");
        if (probe != NULL) {
            result = probe();
            printf("IsBrowserAvail() = %d (%s)\n", result,
                   result ? "a browser is registered for .htm" : "no browser is registered for .htm");
        }
    } else if (strcmp(command, "rename") == 0 && rest == 2) {
        RenameFn rename = (RenameFn)(void*)bind_export(dll, "zelkRename");
        if (rename != NULL) {
            result = rename(argv[arg], argv[arg + 1]);
            DWORD error = GetLastError();
            if (result)
                printf("zelkRename(\"%s\", \"%s\") = 1 (moved)\n", argv[arg], argv[arg + 1]);
            else
                printf("zelkRename(\"%s\", \"%s\") = 0 (not moved, error %lu)\n", argv[arg], argv[arg + 1],
                       (unsigned long)error);
        }
    } else if (strcmp(command, "register") == 0 && (rest == 2 || rest == 3)) {
        RegisterFn reg = (RegisterFn)(void*)bind_export(dll, "RegisterUser");
        if (reg != NULL) {
            result = reg(argv[arg], argv[arg + 1], rest == 3 ? argv[arg + 2] : NULL);
            printf("RegisterUser(\"%s\", \"%s\") = %d\n", argv[arg], argv[arg + 1], result);
        }
    } else {
        FreeLibrary(dll);
        return usage();
    }
    FreeLibrary(dll);
    if (result < 0) return 2;
    return result == 1 ? 0 : 1;
}
