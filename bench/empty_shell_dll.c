/* An empty DLL that imports SHELL32 as DEDORURU.dll does (for ShellExecuteA):
 * the floor for loading a DLL with that import. */
#include <windows.h>
#include <shellapi.h>

__declspec(dllexport) int __cdecl Nothing(void) { return 1; }
__declspec(dllexport) int __cdecl Open(const char* file) {
    return (INT_PTR)ShellExecuteA(NULL, NULL, file, NULL, NULL, SW_SHOWMAXIMIZED) > 32;
}
