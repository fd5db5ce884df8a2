#!/usr/bin/python3
"""The Wine lane: the 64-bit DLL, loaded by a real Windows host under Wine.

Makes a fresh Wine prefix, shapes its registry with `reg add`, `reg delete`
and `reg import` for each case, runs tests/wine/wine_host.c against the DLL,
and counts the host's PASS and FAIL lines together with its own checks of
what RegisterUser left on disk and launched. The ".htm" association points at
tests/wine/launch_recorder.c, so a launch is recorded and no browser starts.
Stops the prefix's wineserver when done.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"

# Each case: a name, the reg commands that shape HKEY_CLASSES_ROOT, and
# IsBrowserAvail's expected answer. They run in order on one prefix.
PROBE_CASES = [
    ("the prefix's own .htm association", [], 1),
    (".htm default value empty", [["add", r"HKCR\.htm", "/ve", "/d", "", "/f"]], 0),
    (".htm names a class without shell\\open\\command",
     [["add", r"HKCR\.htm", "/ve", "/d", "DedoNoCommand", "/f"],
      ["add", r"HKCR\DedoNoCommand\shell\open", "/f"]], 0),
    ("class whose open command key has no default value",
     [["add", r"HKCR\.htm", "/ve", "/d", "DedoNoDefault", "/f"],
      ["add", r"HKCR\DedoNoDefault\shell\open\command", "/v", "Other", "/d", "x", "/f"]], 0),
    ("class with a command under another verb only",
     [["add", r"HKCR\.htm", "/ve", "/d", "DedoEditOnly", "/f"],
      ["add", r"HKCR\DedoEditOnly\shell\edit\command", "/ve", "/d", "notepad.exe %1", "/f"]], 0),
    ("class whose open command is empty",
     [["add", r"HKCR\.htm", "/ve", "/d", "DedoEmptyCommand", "/f"],
      ["add", r"HKCR\DedoEmptyCommand\shell\open\command", "/ve", "/d", "", "/f"]], 1),
    ("web pages associated under .html only", [["delete", r"HKCR\.htm", "/f"]], 0),
    ("association restored", [["add", r"HKCR\.htm", "/ve", "/d", "htmlfile", "/f"]], 1),
]


# The registrants the RegisterUser cases read, as (root, key path, values).
# A value is text for `reg add`, ("binary", bytes) for a REG_BINARY, or
# ("no-zero", text) for a string imported without its terminating zero.
REGISTRANTS = [
    ("HKLM", r"Software\Dedoru\Lane", {"name": 'Zo\u00eb "JJ" <Doe> & Co',
                                       "company": ("binary", b"Acme <Widgets>"),
                                       "Serial Number": ("no-zero", "DW7-0116-4821")}),
    ("HKCU", r"Software\Dedoru\UserOnly", {"name": "Una User", "company": "User Co", "Serial Number": "U-1"}),
    ("HKLM", r"Software\Dedoru\Both", {"name": "Machine Name"}),
    ("HKCU", r"Software\Dedoru\Both", {"name": "User Name", "company": "User Co", "Serial Number": "U-2"}),
]

# What each key yields: name, company, serial number, as Windows-1252 text.
IDENTITIES = {
    r"Software\Dedoru\Lane": ('Zo\u00eb "JJ" <Doe> & Co', "Acme <Widgets>", "DW7-0116-4821"),
    r"Software\Dedoru\UserOnly": ("Una User", "User Co", "U-1"),
    r"Software\Dedoru\Both": ("Machine Name", "", ""),  # the roots are never merged
    r"Software\Dedoru\Nobody": ("", "", ""),
}

PROFILE = [("Address1", "100 Main Street"), ("Mail Stop", "Suite 200"), ("City", "Z\u00fcrich"), ("State", "ZH"),
           ("Zip", "8001"), ("Country", "Switzerland"), ("PhoneArea", "555"), ("Phone", "555-0100"),
           ("FaxArea", "555"), ("Fax", "555-0101"), ("EMailAddress", "zoe@dedoru.example")]

# Each RegisterUser case: a name, the key path, the folder under the lane's
# output folder, the version text (None passes null), what stands there before
# ("absent": no folder at all, "empty": an empty folder, "old": the four files
# of an earlier call, "read-only": the same, read-only), which leftover is held
# open without sharing, and the answer.
REGISTER_CASES = [
    ("identity under HKLM, folder without a trailing backslash", r"Software\Dedoru\Lane", "a", "7.00.116", "empty", None, 1),
    ("folder with a trailing backslash", r"Software\Dedoru\Lane", "b\\", "7.00.116", "empty", None, 1),
    ("identity only under HKCU", r"Software\Dedoru\UserOnly", "c", "7.00.116", "empty", None, 1),
    ("key under both roots reads HKLM alone", r"Software\Dedoru\Both", "d", "7.00.116", "empty", None, 1),
    ("read-only leftovers are replaced", r"Software\Dedoru\Lane", "e", "7.00.116", "read-only", None, 1),
    ("a key that does not exist and a null version", r"Software\Dedoru\Nobody", "f", None, "old", None, 1),
    ("leftover page held open without sharing", r"Software\Dedoru\Lane", "g", "7.00.116", "old", "ZelkDEro.htm", 0),
    ("folder that does not exist", r"Software\Dedoru\Lane", "missing\\deeper", "7.00.116", "absent", None, 0),
]

FILES = {"ZelkDEro.htm": "form.htm", "ProdReg.jpg": "banner.jpg", "ProdArro.gif": "arrow.gif",
         "ProdReq.gif": "marker.gif"}


def escaped(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def expected_page(form, identity, version, profile=dict(PROFILE)):
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


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Lane:
    def __init__(self, prefix):
        # UTF-8 on the Unix side, so that texts reach the prefix intact; Wine
        # then plays a Western system, whose ANSI code page is Windows-1252.
        self.env = dict(os.environ, WINEPREFIX=os.path.abspath(prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree=", LANG="C.UTF-8", LC_ALL="C.UTF-8")
        self.env.pop("DISPLAY", None)
        self.passed = 0
        self.failed = 0

    def wine(self, *args, check=True):
        # Output goes through a file, not a pipe: wine's background processes
        # (services, devices) inherit the descriptors and outlive the command.
        with tempfile.TemporaryFile("w+") as out:
            run = subprocess.run([WINE, *args], env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                 stderr=subprocess.STDOUT, timeout=300)
            out.seek(0)
            run.stdout = out.read()
        if check and run.returncode != 0:
            raise RuntimeError(f"wine {' '.join(args)} failed ({run.returncode}): {run.stdout}")
        return run

    def host(self, label, *args):
        run = self.wine(*args, check=False)
        lines = [line for line in run.stdout.splitlines() if line.startswith(("PASS ", "FAIL "))]
        for line in lines:
            print(f"{label}: {line}")
            if line.startswith("PASS "):
                self.passed += 1
            else:
                self.failed += 1
        if run.returncode != 0 and not any(line.startswith("FAIL ") for line in lines):
            print(f"{label}: FAIL host exited {run.returncode}\n{run.stdout}")
            self.failed += 1
        if not lines:
            print(f"{label}: FAIL host checked nothing")
            self.failed += 1

    def keep_server(self):
        # Started before the prefix's first program: without a persistent server every
        # short wine run waits for a new one to start.
        subprocess.run([WINESERVER, "-p"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def check(self, ok, name, why=""):
        if ok:
            self.passed += 1
            print(f"PASS {name}")
        else:
            self.failed += 1
            print(f"FAIL {name}: {why}")

    def stop(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, capture_output=True, timeout=60)


def register_cases(lane, args, host, dll):
    prefix = os.path.abspath(args.prefix)
    base = os.path.join(os.path.dirname(prefix), "wine-register")
    shutil.rmtree(base, ignore_errors=True)
    os.makedirs(base)

    # The browser's stand-in, with its log beside it.
    recorder_dir = os.path.join(base, "recorder")
    os.makedirs(recorder_dir)
    recorder = os.path.join(recorder_dir, "launch_recorder.exe")
    shutil.copy(args.recorder, recorder)
    launches = os.path.join(recorder_dir, "launches.txt")
    lane.wine("reg", "add", r"HKCR\.htm", "/ve", "/d", "DedoLaneRecorder", "/f")
    lane.wine("reg", "add", r"HKCR\DedoLaneRecorder\shell\open\command", "/ve", "/d",
              f'"{windows_path(recorder)}" "%1"', "/f")

    # The registrants, and the demographics in the Windows folder.
    regedit4 = ["REGEDIT4", ""]
    for root, key, values in REGISTRANTS:
        for name, value in values.items():
            if isinstance(value, str):
                lane.wine("reg", "add", f"{root}\\{key}", "/v", name, "/d", value, "/f")
            elif value[0] == "binary":
                lane.wine("reg", "add", f"{root}\\{key}", "/v", name, "/t", "REG_BINARY", "/d", value[1].hex(), "/f")
            else:
                full = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}[root]
                data = ",".join(f"{b:02x}" for b in value[1].encode("cp1252"))
                regedit4 += [f"[{full}\\{key}]", f'"{name}"=hex(1):{data}', ""]
    import_file = os.path.join(base, "no-zero.reg")
    with open(import_file, "w", newline="\r\n") as f:
        f.write("\n".join(regedit4))
    lane.wine("reg", "import", windows_path(import_file))
    ini = "[User Demographics]\r\n" + "".join(f"{k}={v}\r\n" for k, v in PROFILE)
    with open(os.path.join(prefix, "drive_c", "windows", "ZelkDEro.ini"), "wb") as f:
        f.write(ini.encode("cp1252"))

    resources = {name: open(os.path.join(args.resources, source), "rb").read() for name, source in FILES.items()}

    for name, key, folder, version, before, held, answer in REGISTER_CASES:
        label = f"register [{name}]"
        folder_path = os.path.join(base, folder.replace("\\", "/"))
        folder_dir = os.path.normpath(folder_path)
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
        win_folder = windows_path(folder_dir) + ("\\" if folder.endswith("\\") else "")
        command = [host, dll, "register", key, win_folder, version or "-"]
        if held:
            command.append(windows_path(os.path.join(folder_dir, held)))
        run = lane.wine(*command, check=False)
        got = [line.split()[1] for line in run.stdout.splitlines() if line.startswith("ANSWER ")]
        lane.check(got == [str(answer)], f"{label}: answers {answer}", f"host said {run.stdout.strip()!r}")

        page_path = win_folder.rstrip("\\") + "\\ZelkDEro.htm"
        if answer == 1:
            form = expected_page(resources["ZelkDEro.htm"], IDENTITIES[key], version)
            for file, content in resources.items():
                path = os.path.join(folder_dir, file)
                data = open(path, "rb").read() if os.path.exists(path) else None
                want = form if file == "ZelkDEro.htm" else content
                lane.check(data == want, f"{label}: {file} {'is the filled-in page' if file == 'ZelkDEro.htm' else 'equals its resource'}",
                           "missing" if data is None else f"{len(data)} bytes differ from the {len(want)} expected")
                if before == "read-only" and data is not None:
                    lane.check(os.stat(path).st_mode & 0o200 != 0, f"{label}: {file} is no longer read-only")
            recorded = wait_for_launch(launches, 10)
            lane.check([line.lower() for line in recorded] == [page_path.lower()],
                       f"{label}: the page was launched once, by its path", f"launches: {recorded}, wanted {page_path}")
        else:
            time.sleep(1)
            recorded = wait_for_launch(launches, 0)
            lane.check(recorded == [], f"{label}: nothing was launched", f"launches: {recorded}")
            if before in ("old", "read-only"):
                stale = {f: open(os.path.join(folder_dir, f), "rb").read() for f in FILES}
                lane.check(all(data == b"old " + f.encode() for f, data in stale.items()),
                           f"{label}: the leftovers stand as they were", str(stale.keys()))
            if before == "absent":
                lane.check(not os.path.exists(folder_dir), f"{label}: no folder was created")

    sample_case(lane, args, host, dll, base, launches, resources)


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


def sample_case(lane, args, host, dll, base, launches, resources):
    """The main job's sample registrant, registered as the main job does it."""
    label = "register [the sample registrant of examples/]"
    key, identity, profile = read_sample(args.examples)
    lane.wine("reg", "import", windows_path(os.path.join(args.examples, "sample-registrant.reg")))
    shutil.copy(os.path.join(args.examples, "ZelkDEro.ini"),
                os.path.join(os.path.abspath(args.prefix), "drive_c", "windows", "ZelkDEro.ini"))
    folder = os.path.join(base, "sample")
    os.makedirs(folder)
    if os.path.exists(launches):
        os.remove(launches)
    run = lane.wine(host, dll, "register", key, windows_path(folder), "7.00.116", check=False)
    lane.check("ANSWER 1" in run.stdout, f"{label}: answers 1", run.stdout.strip())
    page = open(os.path.join(folder, "ZelkDEro.htm"), "rb").read() if os.path.exists(os.path.join(folder, "ZelkDEro.htm")) else b""
    want = expected_page(resources["ZelkDEro.htm"], identity, "7.00.116", profile)
    lane.check(page == want, f"{label}: every field in place, the template unchanged around them",
               f"{len(page)} bytes differ from the {len(want)} expected")
    lane.check(b'NAME="Title" SIZE=25 MAXLENGTH=30 VALUE=""' in page, f"{label}: Title is empty")
    for file, content in resources.items():
        if file != "ZelkDEro.htm":
            path = os.path.join(folder, file)
            lane.check(os.path.exists(path) and open(path, "rb").read() == content, f"{label}: {file} equals its resource")
    lane.check(len(wait_for_launch(launches, 10)) == 1, f"{label}: the page was launched")


def wait_for_launch(launches, seconds):
    deadline = time.time() + seconds
    while True:
        if os.path.exists(launches):
            with open(launches, "rb") as f:
                lines = f.read().decode("cp1252").splitlines()
            if lines:
                return lines
        if time.time() >= deadline:
            return []
        time.sleep(0.1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dll", required=True)
    parser.add_argument("--host", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--recorder", required=True)
    parser.add_argument("--resources", required=True)
    parser.add_argument("--examples", required=True)
    args = parser.parse_args()

    shutil.rmtree(args.prefix, ignore_errors=True)
    work = os.path.join(os.path.dirname(os.path.abspath(args.prefix)), "wine-work")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    lane = Lane(args.prefix)
    try:
        os.makedirs(args.prefix)
        lane.keep_server()
        lane.wine("wineboot", "--init")
        dll, host = windows_path(args.dll), args.host

        lane.host("exports", host, dll, "exports")
        for name, commands, expected in PROBE_CASES:
            for command in commands:
                lane.wine("reg", *command)
            lane.host(f"probe [{name}]", host, dll, "probe", str(expected))
        lane.host("rename", host, dll, "rename", windows_path(work))
        register_cases(lane, args, host, dll)
    finally:
        lane.stop()

    print(f"wine lane: {lane.passed} passed, {lane.failed} failed")
    return 0 if lane.failed == 0 and lane.passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
