#!/usr/bin/python3
"""The Wine lane: the 64-bit DLL, loaded by a real Windows host under Wine.

Makes a fresh Wine prefix, shapes its registry with `reg add` / `reg delete`
for each case, runs tests/wine/wine_host.c against the DLL, and counts the
host's PASS and FAIL lines. Stops the prefix's wineserver when done.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

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


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Lane:
    def __init__(self, prefix):
        self.env = dict(os.environ, WINEPREFIX=os.path.abspath(prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree=")  # no .NET installer prompt
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

    def stop(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, capture_output=True, timeout=60)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dll", required=True)
    parser.add_argument("--host", required=True)
    parser.add_argument("--prefix", required=True)
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
    finally:
        lane.stop()

    print(f"wine lane: {lane.passed} passed, {lane.failed} failed")
    return 0 if lane.failed == 0 and lane.passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
