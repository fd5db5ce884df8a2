"""The scenarios that every platform of the library must pass alike.

One table for the browser probe, the rename service and RegisterUser; a lane
(Wine, POSIX) supplies a backend that shapes its registry, profile and files
and runs the `dedoruru` host tool, and this module runs the table against it
and checks what the tool answered, what it left on disk and what it launched.
"""
import json
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from checks import Checks  # noqa: E402,F401  (the lanes take it from here)

# The system's own association for web pages: the Wine prefix's, or the
# desktop's default application for text/html.
DESKTOP_DEFAULT = "the system's own association"

# Each probe case: a name, the HKEY_CLASSES_ROOT keys (key path -> {value name
# -> text}, "" naming the default value), and IsBrowserAvail's answer.
PROBE_CASES = [
    ("the system's own .htm association", DESKTOP_DEFAULT, 1),
    (".htm default value empty", {".htm": {"": ""}}, 0),
    (".htm names a class without shell\\open\\command",
     {".htm": {"": "DedoNoCommand"}, "DedoNoCommand\\shell\\open": {}}, 0),
    ("class whose open command key has no default value",
     {".htm": {"": "DedoNoDefault"}, "DedoNoDefault\\shell\\open\\command": {"Other": "x"}}, 0),
    ("class with a command under another verb only",
     {".htm": {"": "DedoEditOnly"}, "DedoEditOnly\\shell\\edit\\command": {"": "notepad.exe %1"}}, 0),
    ("class whose open command is empty",
     {".htm": {"": "DedoEmptyCommand"}, "DedoEmptyCommand\\shell\\open\\command": {"": ""}}, 1),
    ("web pages associated under .html only", {".html": {"": "DedoHtmlOnly"},
                                               "DedoHtmlOnly\\shell\\open\\command": {"": "browser %1"}}, 0),
]

# Each rename case: a name, files and folders made first (a trailing "/" makes
# a folder), the two names, the answer, and what must stand afterwards
# ("f" a file, "d" a folder, "-" nothing).
RENAME_CASES = [
    ("rename in the same folder", ["a.txt"], "a.txt", "b.txt", 1, {"a.txt": "-", "b.txt": "f"}),
    ("move into another folder", ["a.txt", "sub/"], "a.txt", "sub/c.txt", 1, {"a.txt": "-", "sub/c.txt": "f"}),
    ("new name taken by a file", ["a.txt", "b.txt"], "a.txt", "b.txt", 0, {"a.txt": "f", "b.txt": "f"}),
    ("new name taken by a folder", ["a.txt", "sub/"], "a.txt", "sub", 0, {"a.txt": "f", "sub": "d"}),
    ("existing name missing", [], "nothing.txt", "b.txt", 0, {"nothing.txt": "-", "b.txt": "-"}),
    ("folder on the new path missing", ["a.txt"], "a.txt", "nowhere/b.txt", 0, {"a.txt": "f", "nowhere": "-"}),
    ("rename a folder", ["old/", "old/inner.txt"], "old", "new", 1, {"old": "-", "new/inner.txt": "f"}),
]

# The registrants the RegisterUser cases read, as (root, key path, values).
# A value is text, ("binary", bytes) for raw bytes of another type, or
# ("no-zero", text) for a string stored without its terminating zero.
REGISTRANTS = [
    ("HKLM", r"Software\Dedoru\Lane", {"name": 'Zo\u00eb "JJ" <Doe> & Co',
                                       "company": ("binary", b"Acme <Widgets>"),
                                       "Serial Number": ("no-zero", "DW7-0116-4821")}),
    ("HKCU", r"Software\Dedoru\UserOnly", {"name": "Una User", "company": "User Co", "Serial Number": "U-1"}),
    ("HKLM", r"Software\Dedoru\Both", {"name": "Machine Name"}),
    ("HKCU", r"Software\Dedoru\Both", {"name": "User Name", "company": "User Co", "Serial Number": "U-2"}),
]

# What each key yields: name, company, serial number.
IDENTITIES = {
    r"Software\Dedoru\Lane": ('Zo\u00eb "JJ" <Doe> & Co', "Acme <Widgets>", "DW7-0116-4821"),
    r"Software\Dedoru\UserOnly": ("Una User", "User Co", "U-1"),
    r"Software\Dedoru\Both": ("Machine Name", "", ""),  # the roots are never merged
    r"Software\Dedoru\Nobody": ("", "", ""),
}

PROFILE = [("Address1", "100 Main Street"), ("Mail Stop", "Suite 200"), ("City", "Z\u00fcrich"), ("State", "ZH"),
           ("Zip", "8001"), ("Country", "Switzerland"), ("PhoneArea", "555"), ("Phone", "555-0100"),
           ("FaxArea", "555"), ("Fax", "555-0101"), ("EMailAddress", "zoe@dedoru.example")]

# Each RegisterUser case: a name, the key path, the folder under the work
# folder (a trailing "/" passes it with its trailing separator), the version
# text (None passes none), what stands there before ("absent": no folder at
# all, "empty": an empty folder, "old": the four files of an earlier call,
# "read-only": the same, read-only), which leftover is held open without
# sharing, and the answer.
REGISTER_CASES = [
    ("identity under HKLM, folder without a trailing separator", r"Software\Dedoru\Lane", "a", "7.00.116", "empty", None, 1),
    ("folder with a trailing separator", r"Software\Dedoru\Lane", "b/", "7.00.116", "empty", None, 1),
    ("identity only under HKCU", r"Software\Dedoru\UserOnly", "c", "7.00.116", "empty", None, 1),
    ("key under both roots reads HKLM alone", r"Software\Dedoru\Both", "d", "7.00.116", "empty", None, 1),
    ("read-only leftovers are replaced", r"Software\Dedoru\Lane", "e", "7.00.116", "read-only", None, 1),
    ("a key that does not exist and no version", r"Software\Dedoru\Nobody", "f", None, "old", None, 1),
    ("leftover page held open without sharing", r"Software\Dedoru\Lane", "g", "7.00.116", "old", "ZelkDEro.htm", 0),
    ("folder that does not exist", r"Software\Dedoru\Lane", "missing/deeper", "7.00.116", "absent", None, 0),
]

# What the form posts besides the registrant's fields, in document order.
HIDDEN_BEFORE = [("thankURL", "TYprdreg.htm"), ("email_to", "registrations@dedoru.example"),
                 ("required", "Contact, Company, Address1, City, State, Zip, Country, Phone1,Fax")]
HIDDEN_AFTER_VERSION = [("cs3_Rectype", "P"), ("cs3_Contact", "Product Registration"),
                        ("cs3_ContSupRef", "Electronic Product Registration")]

FILES = {"ZelkDEro.htm": "form.htm", "ProdReg.jpg": "banner.jpg", "ProdArro.gif": "arrow.gif",
         "ProdReq.gif": "marker.gif"}


def escaped(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def expected_page(form, identity, version, profile=None):
    """The page as it must be: the template with each token's value, escaped, in windows-1252."""
    profile = dict(PROFILE if profile is None else profile)
    values = {
        "RegFullName": identity[0], "RegCompany": identity[1], "RegTitle": "",
        "RegAddress1": profile["Address1"], "RegAddress2": profile["Mail Stop"], "RegCity": profile["City"],
        "RegState": profile["State"], "RegZip": profile["Zip"], "RegCountry": profile["Country"],
        "RegPhone": profile["PhoneArea"] + profile["Phone"], "RegFax": profile["FaxArea"] + profile["Fax"],
        "RegEmail": profile["EMailAddress"], "RegSerialNumber": identity[2], "RegVer": version or "",
    }
    for token, value in values.items():
        quoted = b'"' + token.encode() + b'"'
        assert form.count(quoted) == 1, token
        form = form.replace(quoted, b'"' + escaped(value).encode("cp1252") + b'"')
    return form


def expected_post(identity, version, profile=None):
    """Every field the form posts, in order, with the value a person sees in it."""
    profile = dict(PROFILE if profile is None else profile)
    return (HIDDEN_BEFORE + [("ver_num", version or "")] + HIDDEN_AFTER_VERSION + [
        ("Contact", identity[0]), ("Company", identity[1]), ("Title", ""),
        ("Address1", profile["Address1"]), ("Address2", profile["Mail Stop"]), ("City", profile["City"]),
        ("State", profile["State"]), ("Zip", profile["Zip"]), ("Country", profile["Country"]),
        ("Phone1", profile["PhoneArea"] + profile["Phone"]), ("Fax", profile["FaxArea"] + profile["Fax"]),
        ("cs1_Rectype", "P"), ("cs1_Contact", "Internet Address"), ("cs1_ContSupRef", profile["EMailAddress"]),
        ("cs2_Rectype", "P"), ("cs2_Contact", "AA Serial#"), ("cs2_ContSupRef", identity[2])])


def read_sample(examples):
    """The sample registrant of examples/: its key path, identity and demographics."""
    key, identity = None, {}
    with open(os.path.join(examples, "sample-registrant.reg"), encoding="cp1252") as f:
        for line in f.read().splitlines():
            if line.startswith("[HKEY_LOCAL_MACHINE\\"):
                key = line[len("[HKEY_LOCAL_MACHINE\\"):-1]
            elif line.startswith('"'):
                name, value = line.split("=", 1)
                identity[name.strip('"')] = value[1:-1].replace('\\"', '"').replace("\\\\", "\\")
    profile = {}
    with open(os.path.join(examples, "ZelkDEro.ini"), encoding="cp1252") as f:
        for line in f.read().splitlines():
            if "=" in line and not line.startswith(";"):
                name, value = (part.strip() for part in line.split("=", 1))
                if len(value) >= 2 and value[0] == value[-1] == '"':
                    value = value[1:-1]
                profile[name] = value
    return key, (identity["name"], identity["company"], identity["Serial Number"]), profile


def wait_for_launch(launches, seconds):
    deadline = time.time() + seconds
    while True:
        if os.path.exists(launches):
            with open(launches, "rb") as f:
                lines = f.read().decode("utf-8", "replace").splitlines()
            if lines:
                return lines
        if time.time() >= deadline:
            return []
        time.sleep(0.05)


def same_path(a, b):
    """Two spellings of one path, Windows or Unix, compared as the file system would find them."""
    def norm(p):
        p = p.replace("\\", "/")
        if len(p) > 1 and p[1] == ":":
            p = p[2:]
        while "//" in p:
            p = p.replace("//", "/")
        return p.lower()
    return norm(a) == norm(b)


def run_probe(backend, checks):
    for name, classes, expected in PROBE_CASES:
        backend.set_classes(classes)
        for binding in backend.bindings():
            code, out = backend.tool(*binding, "browser")
            checks.check(code == (0 if expected else 1), f"browser [{name}]{backend.binding_label(binding)}: answers {expected}",
                         f"exit {code}: {out.strip()}")


def kind(path):
    return "d" if os.path.isdir(path) else "f" if os.path.isfile(path) else "-"


def run_rename(backend, checks, work):
    for i, (name, setup, old, new, expected, after) in enumerate(RENAME_CASES):
        root = os.path.join(work, f"rename{i}")
        os.makedirs(root)
        for item in setup:
            path = os.path.join(root, item)
            if item.endswith("/"):
                os.makedirs(path, exist_ok=True)
            else:
                with open(path, "w") as f:
                    f.write(item)
        code, out = backend.tool("rename", backend.path(os.path.join(root, old)), backend.path(os.path.join(root, new)))
        checks.check(code == (0 if expected else 1), f"rename [{name}]: answers {expected}", f"exit {code}: {out.strip()}")
        for item, want in after.items():
            got = kind(os.path.join(root, item))
            checks.check(got == want, f"rename [{name}]: {item} is {want}", f"it is {got}")
        if name == "new name taken by a file":
            contents = [open(os.path.join(root, n)).read() for n in ("a.txt", "b.txt")]
            checks.check(contents == ["a.txt", "b.txt"], f"rename [{name}]: both keep their contents", str(contents))


def run_register(backend, checks, work, resources_dir, examples_dir):
    resources = {name: open(os.path.join(resources_dir, source), "rb").read() for name, source in FILES.items()}
    recorder_dir = os.path.join(work, "recorder")
    os.makedirs(recorder_dir)
    launches = os.path.join(recorder_dir, "launches.txt")
    command = backend.install_recorder(recorder_dir)
    backend.set_classes({".htm": {"": "DedoLaneRecorder"}, "DedoLaneRecorder\\shell\\open\\command": {"": command}})
    backend.set_registrants(REGISTRANTS)
    backend.set_profile(PROFILE)

    for name, key, folder, version, before, held, answer in REGISTER_CASES:
        label = f"register [{name}]"
        folder_dir = os.path.normpath(os.path.join(work, folder))
        if before != "absent":
            os.makedirs(folder_dir)
        if before in ("old", "read-only"):
            for file in FILES:
                path = os.path.join(folder_dir, file)
                with open(path, "wb") as f:
                    f.write(b"old " + file.encode())
                if before == "read-only":
                    os.chmod(path, 0o444)
        if os.path.exists(launches):
            os.remove(launches)
        folder_arg = backend.folder(folder_dir, folder.endswith("/"))
        args = [key, folder_arg] + ([version] if version is not None else [])
        if held:
            code, out = backend.register_holding(args, os.path.join(folder_dir, held))
        else:
            code, out = backend.tool("register", *args)
        checks.check(code == (0 if answer else 1), f"{label}: answers {answer}", f"exit {code}: {out.strip()}")

        if answer == 1:
            form = expected_page(resources["ZelkDEro.htm"], IDENTITIES[key], version)
            for file, content in resources.items():
                path = os.path.join(folder_dir, file)
                data = open(path, "rb").read() if os.path.exists(path) else None
                want = form if file == "ZelkDEro.htm" else content
                what = "is the filled-in page" if file == "ZelkDEro.htm" else "equals its resource"
                checks.check(data == want, f"{label}: {file} {what}",
                             "missing" if data is None else f"{len(data)} bytes differ from the {len(want)} expected")
                if before == "read-only" and data is not None:
                    checks.check(os.stat(path).st_mode & 0o200 != 0, f"{label}: {file} is no longer read-only")
            # What the browser lane checks the page against.
            with open(folder_dir + ".expected.json", "w", encoding="utf-8") as f:
                json.dump({"post": expected_post(IDENTITIES[key], version)}, f, ensure_ascii=False, indent=1)
            recorded = wait_for_launch(launches, 10)
            page = backend.path(os.path.join(folder_dir, "ZelkDEro.htm"))
            checks.check(len(recorded) == 1 and same_path(recorded[0], page),
                         f"{label}: the page was launched once, by its path", f"launches: {recorded}, wanted {page}")
        else:
            recorded = wait_for_launch(launches, 1)
            checks.check(recorded == [], f"{label}: nothing was launched", f"launches: {recorded}")
            if before in ("old", "read-only"):
                stale = {f: open(os.path.join(folder_dir, f), "rb").read() for f in FILES}
                checks.check(all(data == b"old " + f.encode() for f, data in stale.items()),
                             f"{label}: the leftovers stand as they were", str(stale))
            if before == "absent":
                checks.check(not os.path.exists(folder_dir), f"{label}: no folder was created")

    # The main job's sample registrant, registered as the main job does it.
    label = "register [the sample registrant of examples/]"
    key, identity, profile = read_sample(examples_dir)
    backend.use_sample(examples_dir)
    folder = os.path.join(work, "sample")
    os.makedirs(folder)
    if os.path.exists(launches):
        os.remove(launches)
    code, out = backend.tool("register", key, backend.folder(folder, False), "7.00.116")
    checks.check(code == 0, f"{label}: answers 1", f"exit {code}: {out.strip()}")
    path = os.path.join(folder, "ZelkDEro.htm")
    page = open(path, "rb").read() if os.path.exists(path) else b""
    want = expected_page(resources["ZelkDEro.htm"], identity, "7.00.116", profile)
    checks.check(page == want, f"{label}: every field in place, the template unchanged around them",
                 f"{len(page)} bytes differ from the {len(want)} expected")
    checks.check(b'NAME="Title" SIZE=25 MAXLENGTH=30 VALUE=""' in page, f"{label}: Title is empty")
    for file, content in resources.items():
        if file != "ZelkDEro.htm":
            image = os.path.join(folder, file)
            checks.check(os.path.exists(image) and open(image, "rb").read() == content, f"{label}: {file} equals its resource")
    checks.check(len(wait_for_launch(launches, 10)) == 1, f"{label}: the page was launched")


def run_all(backend, checks, work, resources_dir, examples_dir):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    run_probe(backend, checks)
    run_rename(backend, checks, work)
    run_register(backend, checks, work, resources_dir, examples_dir)
