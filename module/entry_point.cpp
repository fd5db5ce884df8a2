// The DLL entry point. The C run-time's own start-up runs first and constructs
// the application object; this records the module handle and runs the
// object's start-up. Nothing else happens at load: no file, registry value or
// resource is touched.
#include <windows.h>

#include "app.h"

namespace dedo {
extern CERegApp theApp;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        return dedo::theApp.Start(reinterpret_cast<dedo::Module>(instance)) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        dedo::theApp.Stop();
        return TRUE;
    default:  // DLL_THREAD_ATTACH, DLL_THREAD_DETACH: nothing is held per thread
        return TRUE;
    }
}
