/* A DLL that does nothing, built by the same toolchain as DEDORURU.dll: the
 * floor for loading a DLL and calling it. */
__declspec(dllexport) int __cdecl Nothing(void) { return 1; }
