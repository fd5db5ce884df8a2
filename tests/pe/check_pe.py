#!/usr/bin/python3
"""The PE lane: inspects the 32-bit DEDORURU.dll as a host's loader and linker see it.

Machine and kind, the export table, the imports, the version record, the
resources (the form's four, byte for byte), the stripping, the size, and the way each export returns to its
caller (cdecl: a plain `ret`, the caller removes the arguments).
"""
import argparse
import os
import re
import subprocess
import sys

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from checks import Checks  # noqa: E402

EXPORTS = {"IsBrowserAvail": 1, "RegisterUser": 2, "zelkRename": 3}
SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "shell32.dll", "msvcrt.dll"}
MAX_SIZE = 48 * 1024
RT_VERSION = pefile.RESOURCE_TYPE["RT_VERSION"]
FORM_FILES = {129: "form.htm", 131: "arrow.gif", 132: "banner.jpg", 133: "marker.gif"}


def version_strings(pe):
    """The string block(s) by language key, and the translation pairs."""
    blocks, translations = {}, []
    for info in getattr(pe, "FileInfo", []) or []:
        for entry in info:
            if entry.Key == b"StringFileInfo":
                for table in entry.StringTable:
                    blocks[table.LangID.decode()] = {k.decode(): v.decode() for k, v in table.entries.items()}
            elif entry.Key == b"VarFileInfo":
                for var in entry.Var:
                    if b"Translation" in var.entry:
                        translations.append(var.entry[b"Translation"])
    return blocks, translations


def first_return(objdump, path, image_base, rva, depth=0):
    """The first return instruction met when walking an export's code in order,
    following unconditional jumps (tail calls). None when none is found."""
    start = image_base + rva
    out = subprocess.run([objdump, "-d", "--no-show-raw-insn", f"--start-address={start:#x}",
                          f"--stop-address={start + 4096:#x}", path],
                         capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        m = re.match(r"\s*[0-9a-f]+:\s+(\S+)\s*(.*)", line)
        if not m:
            continue
        mnemonic, operands = m.group(1), m.group(2).strip()
        if mnemonic.startswith("ret"):
            return f"{mnemonic} {operands}".strip()
        if mnemonic == "jmp" and depth < 3:
            target = re.match(r"(0x)?([0-9a-f]+)$", operands)
            if target:
                return first_return(objdump, path, image_base, int(target.group(2), 16) - image_base, depth + 1)
            return f"jmp {operands}"
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dll", required=True)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--version", required=True, help="numeric version, e.g. 7.0.116")
    parser.add_argument("--version-text", required=True, help="text version, e.g. 7.00.116")
    parser.add_argument("--resources", required=True, help="the folder of the form's files")
    parser.add_argument("--import-lib", help="DEDORURU.lib, the import library for Microsoft's linker")
    args = parser.parse_args()

    c = Checks()
    pe = pefile.PE(args.dll)

    # The module itself.
    c.check(pe.FILE_HEADER.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"], "machine is i386",
            hex(pe.FILE_HEADER.Machine))
    c.check(pe.FILE_HEADER.Characteristics & 0x2000 != 0, "image is a DLL")
    size = os.path.getsize(args.dll)
    c.check(size <= MAX_SIZE, f"size {size} bytes is at most {MAX_SIZE}", f"{size} bytes")
    c.check(pe.FILE_HEADER.PointerToSymbolTable == 0 and pe.FILE_HEADER.NumberOfSymbols == 0,
            "stripped of symbols", f"{pe.FILE_HEADER.NumberOfSymbols} symbols")
    debug = [s.Name.rstrip(b"\0").decode() for s in pe.sections if s.Name.startswith(b"/") or b"debug" in s.Name]
    c.check(not debug, "no debug sections", ", ".join(debug))

    # Exports: exactly three, by name and ordinal, base 1, no forwarders, no data.
    directory = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    c.check(directory is not None, "has an export table")
    if directory is not None:
        symbols = directory.symbols
        found = {s.name.decode(): s.ordinal for s in symbols if s.name}
        c.check(found == EXPORTS, "exports exactly IsBrowserAvail @1, RegisterUser @2, zelkRename @3", str(found))
        c.check(directory.struct.Base == 1, "ordinal base is 1", str(directory.struct.Base))
        c.check(directory.struct.NumberOfFunctions == 3 and directory.struct.NumberOfNames == 3,
                "three functions, all named",
                f"{directory.struct.NumberOfFunctions} functions, {directory.struct.NumberOfNames} names")
        c.check(all(s.forwarder is None for s in symbols), "no forwarders")
        dll_name = pe.get_string_at_rva(directory.struct.Name).decode()
        c.check(dll_name.upper() == "DEDORURU.DLL", "export table names DEDORURU.dll", dll_name)
        text = next(s for s in pe.sections if s.Name.startswith(b".text"))
        for s in symbols:
            name = s.name.decode() if s.name else f"#{s.ordinal}"
            c.check(text.contains_rva(s.address), f"{name} points into code", hex(s.address))
            ret = first_return(args.objdump, args.dll, pe.OPTIONAL_HEADER.ImageBase, s.address)
            c.check(ret == "ret", f"{name} returns with a plain ret (caller removes the arguments)", str(ret))

    # Imports: system DLLs only, nothing delay-loaded.
    imports = {entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    c.check(imports and imports <= SYSTEM_DLLS, "imports only KERNEL32, ADVAPI32, SHELL32 and msvcrt",
            ", ".join(sorted(imports)))
    c.check(not getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", None), "no delay-loaded imports")

    # Resources: the version record, and otherwise only the form's "HTMLFILE" type.
    types = []
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for entry in resources.entries if resources is not None else []:
        types.append(str(entry.name) if entry.name is not None else entry.id)
    c.check(RT_VERSION in types, "carries a version record", str(types))
    c.check(all(t in (RT_VERSION, "HTMLFILE") for t in types), "no resource types besides the version record and HTMLFILE",
            str(types))
    form = {}
    for entry in resources.entries if resources is not None else []:
        if str(entry.name) != "HTMLFILE":
            continue
        for named in entry.directory.entries:
            for language in named.directory.entries:
                data = language.data.struct
                form[(named.id, language.id)] = pe.get_data(data.OffsetToData, data.Size)
    c.check(sorted(form) == [(i, 0x409) for i in sorted(FORM_FILES)],
            "HTMLFILE resources 129, 131, 132 and 133, U.S. English only", str(sorted(form)))
    for number, name in sorted(FORM_FILES.items()):
        with open(os.path.join(args.resources, name), "rb") as f:
            expected_bytes = f.read()
        c.check(form.get((number, 0x409)) == expected_bytes, f"HTMLFILE {number} holds resources/{name} exactly")

    # The version record.
    major, minor, patch = (int(x) for x in args.version.split("."))
    ms, ls = (major << 16) | minor, patch << 16
    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    c.check(fixed is not None, "has a fixed version block")
    if fixed is not None:
        c.check((fixed.FileVersionMS, fixed.FileVersionLS) == (ms, ls), f"file version {args.version}.0",
                f"{fixed.FileVersionMS:#x} {fixed.FileVersionLS:#x}")
        c.check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (ms, ls), f"product version {args.version}.0",
                f"{fixed.ProductVersionMS:#x} {fixed.ProductVersionLS:#x}")
        c.check(fixed.FileFlags & fixed.FileFlagsMask == 0, "no file flags set", hex(fixed.FileFlags))
        c.check(fixed.FileOS == 0x4, "operating system is 32-bit Windows", hex(fixed.FileOS))
        c.check(fixed.FileType == 0x2, "file type is a DLL", hex(fixed.FileType))
    blocks, translations = version_strings(pe)
    c.check(list(blocks) == ["040904b0"], "one string block, 040904b0", str(list(blocks)))
    c.check(translations == ["0x0409 0x04b0"], "translation U.S. English, Unicode", str(translations))
    strings = blocks.get("040904b0", {})
    expected = {
        "FileVersion": args.version_text,
        "ProductVersion": args.version_text,
        "FileDescription": "ZELK DERO DLL",
        "InternalName": "DEDORURU",
        "OriginalFilename": "DEDORURU.DLL",
    }
    for key, value in expected.items():
        c.check(strings.get(key) == value, f"{key} is \"{value}\"", repr(strings.get(key)))
    for key in ("CompanyName", "ProductName", "LegalCopyright", "LegalTrademarks"):
        c.check(bool(strings.get(key, "").strip()), f"{key} is set", repr(strings.get(key)))

    # The import library for Microsoft's linker names each export by name and ordinal.
    if args.import_lib:
        dump = subprocess.run([args.objdump, "-s", "-j", ".idata$6", args.import_lib], capture_output=True,
                              text=True).stdout
        pairs = set()
        for member in dump.split("Contents of section .idata$6:")[1:]:
            hexes = []
            for line in member.strip().splitlines():
                found = re.match(r"\s*[0-9a-f]{4,8} ((?:[0-9a-f]{2,8} ){1,4})", line + " ")
                if found:
                    hexes.append(found.group(1).replace(" ", ""))
            raw = bytes.fromhex("".join(hexes))
            pairs.add((int.from_bytes(raw[:2], "little"), raw[2:].split(b"\0")[0].decode()))
        c.check(pairs == {(o, n) for n, o in EXPORTS.items()}, "DEDORURU.lib names each export by name and ordinal",
                str(sorted(pairs)))

    print(f"pe lane: {c.passed} passed, {c.failed} failed")
    return 0 if c.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
