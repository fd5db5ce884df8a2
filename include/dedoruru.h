/* DEDORURU.dll: electronic product registration for Windows applications.
 *
 * All three functions use the cdecl calling convention (the caller removes the
 * arguments) and answer exactly 1 (done, or yes) or 0 (not done, or no).
 * Texts are zero-terminated, in the system's ANSI code page; the library only
 * reads them and keeps no pointer to them after the call.
 *
 * Ordinals: IsBrowserAvail 1, RegisterUser 2, zelkRename 3.
 */
#ifndef DEDORURU_H
#define DEDORURU_H

#if defined(_WIN32)
#  define DEDORURU_CALL __cdecl
#  if defined(DEDORURU_BUILDING)
#    define DEDORURU_API
#  else
#    define DEDORURU_API __declspec(dllimport)
#  endif
#else
#  define DEDORURU_CALL
#  define DEDORURU_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when the shell's file associations name a command that opens ".htm" documents, else 0. */
DEDORURU_API int DEDORURU_CALL IsBrowserAvail(void);

/* Writes the registration page "ZelkDEro.htm" and its three images into
 * outputFolder and asks the shell to open the page maximized. keyPath names the
 * registry key (under HKEY_LOCAL_MACHINE, else HKEY_CURRENT_USER) that holds the
 * registrant's "name", "company" and "Serial Number"; versionText may be null. */
DEDORURU_API int DEDORURU_CALL RegisterUser(const char* keyPath, const char* outputFolder,
                                            const char* versionText);

/* Renames or moves a file or folder; never replaces an existing name. On 0,
 * GetLastError() tells why (ERROR_INVALID_PARAMETER for a null name). */
DEDORURU_API int DEDORURU_CALL zelkRename(const char* existingName, const char* newName);

#ifdef __cplusplus
}
#endif

#endif /* DEDORURU_H */
