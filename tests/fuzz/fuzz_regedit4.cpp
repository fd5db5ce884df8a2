// Fuzzes the REGEDIT4 reader: any text, looked up for a few keys and values,
// every value found decoded twice (sizing, then into a buffer of exactly that
// size) with the same answer, and nothing written past the buffer.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "regedit4_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const char* end = text + size;
    static const char* const kKeys[] = {"HKEY_LOCAL_MACHINE\\Software\\Dedoru", "HKEY_CURRENT_USER\\Software\\Dedoru",
                                        "HKEY_CLASSES_ROOT\\.htm", "HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command"};
    static const char* const kValues[] = {"", "name", "company", "Serial Number"};
    for (const char* key : kKeys) {
        if (dedo::FindInRegedit4(text, end, key, nullptr).value != nullptr) abort();  // no value asked, none answered
        for (const char* value : kValues) {
            dedo::Regedit4Lookup found = dedo::FindInRegedit4(text, end, key, value);
            if (found.value == nullptr) continue;
            if (found.value < text || found.value > end) abort();
            dedo::Dword type = 0, sized = 0, written = 0, type2 = 0;
            if (!dedo::DecodeRegedit4Value(found.value, end, &type, nullptr, 0, &sized)) continue;
            std::vector<unsigned char> buffer(sized + 1, 0xA5);
            if (!dedo::DecodeRegedit4Value(found.value, end, &type2, buffer.data(), sized, &written)) abort();
            if (written != sized || type2 != type || buffer[sized] != 0xA5) abort();
            // A quoted string carries its terminating zero; hex(1) data is exactly as stored.
            if (*found.value == '"' && (sized == 0 || buffer[sized - 1] != 0)) abort();
        }
    }
    return 0;
}
