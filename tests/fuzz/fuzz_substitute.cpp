// Fuzzes the field substitution against a deliberately naive reference: at
// each byte, try every token in order; a match writes the escaped value and
// skips the token, anything else copies the byte. Any difference aborts.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "fake_platform.h"
#include "field_substitution.h"

namespace {

const char* const kTokens[] = {"RegFullName", "RegCompany", "RegTitle", "RegAddress1", "RegAddress2",
                               "RegCity", "RegState", "RegZip", "RegCountry", "RegPhone",
                               "RegFax", "RegEmail", "RegSerialNumber", "RegVer"};
// What each token becomes, before escaping.
const char* const kValues[] = {"Jane \"JJ\" Doe", "A&B <Co>", "", "1 Main", "", "Z\xFCrich", "ZH", "8001",
                               "CH", "555" "0100", "556", "j@x.example", "SN-1", "7.00"};

std::string Escaped(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

std::string Reference(const std::string& form) {
    std::string out;
    for (size_t i = 0; i < form.size();) {
        bool matched = false;
        for (size_t k = 0; k < 14 && !matched && form[i] == 'R'; ++k) {  // every token starts with R
            std::string token = kTokens[k];
            if (form.compare(i, token.size(), token) == 0 && i + token.size() <= form.size()) {
                out += Escaped(kValues[k]);
                i += token.size();
                matched = true;
            }
        }
        if (!matched) out += form[i++];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    dedo::FakePlatform p;
    const char* ini = "ZelkDEro.ini";
    const char* section = "User Demographics";
    p.SetProfileString(ini, section, "Address1", "1 Main");
    p.SetProfileString(ini, section, "City", "Z\xFCrich");
    p.SetProfileString(ini, section, "State", "ZH");
    p.SetProfileString(ini, section, "Zip", "8001");
    p.SetProfileString(ini, section, "Country", "CH");
    p.SetProfileString(ini, section, "PhoneArea", "555");
    p.SetProfileString(ini, section, "Phone", "0100");
    p.SetProfileString(ini, section, "Fax", "556");
    p.SetProfileString(ini, section, "EMailAddress", "j@x.example");
    dedo::RegistrantIdentity identity;
    if (!identity.name.Assign(kValues[0]) || !identity.company.Assign(kValues[1]) ||
        !identity.serialNumber.Assign(kValues[12]))
        abort();
    p.AddFolder("C:\\out");
    dedo::File file = p.CreateFileA("C:\\out\\page.htm", dedo::kGenericWrite, 0, dedo::kCreateAlways,
                                    dedo::kFileAttributeNormal);
    // The template as the module holds it: exactly its bytes, nothing after them.
    const char* form = reinterpret_cast<const char*>(data);
    if (!dedo::SubstituteFields(p, form, static_cast<dedo::Dword>(size), file, identity, kValues[13])) abort();
    p.CloseHandle(file);
    if (p.FindFile("C:\\out\\page.htm")->data != Reference(std::string(form, size))) abort();
    return 0;
}
