#!/usr/bin/python3
"""The Wine lane: the 64-bit DLL, loaded by real Windows hosts under Wine.

Makes a fresh Wine prefix and runs, against build/win64/DEDORURU.dll:
- the Windows test host (tests/wine/wine_host.c) for what only Windows has:
  the export table seen by a loader, binding by ordinal, a thread that ends,
  and the rename service's last errors and null names;
- the shared scenarios of tests/scenarios through the `dedoruru` tool, with
  the registry shaped by `reg add`, `reg delete` and `reg import`, the profile
  in C:\\windows, and the ".htm" association pointed at a launch recorder
  (tests/wine/launch_recorder.c), so a launch is recorded and no browser starts.
Stops the prefix's wineserver when done.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scenarios"))
import scenarios  # noqa: E402

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
ROOTS = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WineBackend:
    def __init__(self, prefix, dll, host, tool, recorder):
        self.prefix = os.path.abspath(prefix)
        self.dll, self.host, self.tool_path, self.recorder = windows_path(dll), host, tool, recorder
        # UTF-8 on the Unix side, so that texts reach the prefix intact; Wine
        # then plays a Western system, whose ANSI code page is windows-1252.
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree=",
                        LANG="C.UTF-8", LC_ALL="C.UTF-8")
        self.env.pop("DISPLAY", None)
        self.classes = {}

    def start(self):
        os.makedirs(self.prefix)
        # Started before the prefix's first program: without a persistent server
        # every short wine run waits for a new one to start.
        subprocess.run([WINESERVER, "-p"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        self.wine("wineboot", "--init")

    def stop(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, capture_output=True, timeout=60)

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

    def reg(self, *args):
        self.wine("reg", *args)

    # ---- the shared scenarios' backend ------------------------------------------
    def bindings(self):
        return [(), ("--ordinal",)]

    def binding_label(self, binding):
        return " by ordinal" if binding else ""

    def tool(self, *args):
        run = self.wine(self.tool_path, "--dll", self.dll, *args, check=False)
        return run.returncode, run.stdout

    def path(self, path):
        return windows_path(path)

    def folder(self, folder, trailing):
        return windows_path(folder) + ("\\" if trailing else "")

    def set_classes(self, classes):
        self.wine("reg", "delete", r"HKCR\.htm", "/f", check=False)
        if classes == scenarios.DESKTOP_DEFAULT:
            classes = {".htm": {"": "htmlfile"}}  # the prefix's own association, put back
        for key, values in classes.items():
            if not values:  # a bare "reg add" also sets an empty default value: only for keys without values
                self.reg("add", f"HKCR\\{key}", "/f")
            for name, data in values.items():
                self.reg("add", f"HKCR\\{key}", *(["/ve"] if name == "" else ["/v", name]), "/d", data, "/f")

    def set_registrants(self, registrants):
        regedit4 = ["REGEDIT4", ""]
        for root, key, values in registrants:
            for name, value in values.items():
                if isinstance(value, str):
                    self.reg("add", f"{root}\\{key}", "/v", name, "/d", value, "/f")
                elif value[0] == "binary":
                    self.reg("add", f"{root}\\{key}", "/v", name, "/t", "REG_BINARY", "/d", value[1].hex(), "/f")
                else:  # reg add always adds a zero; an imported hex(1) value has none
                    data = ",".join(f"{b:02x}" for b in value[1].encode("cp1252"))
                    regedit4 += [f"[{ROOTS[root]}\\{key}]", f'"{name}"=hex(1):{data}', ""]
        with tempfile.NamedTemporaryFile("w", suffix=".reg", newline="\r\n", delete=False) as f:
            f.write("\n".join(regedit4))
        try:
            self.reg("import", windows_path(f.name))
        finally:
            os.remove(f.name)

    def set_profile(self, pairs):
        text = "[User Demographics]\r\n" + "".join(f"{k}={v}\r\n" for k, v in pairs)
        with open(os.path.join(self.prefix, "drive_c", "windows", "ZelkDEro.ini"), "wb") as f:
            f.write(text.encode("cp1252"))

    def install_recorder(self, folder):
        exe = os.path.join(folder, "launch_recorder.exe")
        shutil.copy(self.recorder, exe)
        return f'"{windows_path(exe)}" "%1"'

    def register_holding(self, args, held):
        # The test host holds the file open without sharing around its call.
        padded = args + ["-"] * (3 - len(args))
        run = self.wine(self.host, self.dll, "register", *padded, windows_path(held), check=False)
        answers = [line.split()[1] for line in run.stdout.splitlines() if line.startswith("ANSWER ")]
        return (0 if answers == ["1"] else 1 if answers == ["0"] else 2), run.stdout

    def use_sample(self, examples):
        self.reg("import", windows_path(os.path.join(examples, "sample-registrant.reg")))
        shutil.copy(os.path.join(examples, "ZelkDEro.ini"), os.path.join(self.prefix, "drive_c", "windows"))

    # ---- the Windows test host ----------------------------------------------------
    def host_checks(self, checks, label, *args):
        run = self.wine(self.host, self.dll, *args, check=False)
        lines = [line for line in run.stdout.splitlines() if line.startswith(("PASS ", "FAIL "))]
        for line in lines:
            checks.check(line.startswith("PASS "), f"{label}: {line[5:]}", "")
        if not lines or (run.returncode != 0 and all(line.startswith("PASS ") for line in lines)):
            checks.check(False, f"{label}: host", f"exited {run.returncode}: {run.stdout}")


def threads(backend, checks, host, work, resources_dir):
    """RegisterUser from eight threads at once, with IsBrowserAvail alongside,
    into eight folders; each page must be the one the registrant gets."""
    key = r"Software\Dedoru\Lane"
    backend.set_profile(scenarios.PROFILE)  # the sample registrant's profile came last
    for i in range(8):
        os.makedirs(os.path.join(work, f"thread{i}"))
    run = backend.wine(host, backend.dll, key, windows_path(work), check=False)
    for line in run.stdout.splitlines():
        if line.startswith(("PASS ", "FAIL ")):
            checks.check(line.startswith("PASS "), f"threads: {line[5:]}")
    checks.check(run.returncode == 0, "threads: the host ended well", f"exit {run.returncode}: {run.stdout}")
    form = open(os.path.join(resources_dir, "form.htm"), "rb").read()
    want = scenarios.expected_page(form, scenarios.IDENTITIES[key], "7.00.116")
    images = {name: open(os.path.join(resources_dir, source), "rb").read()
              for name, source in scenarios.FILES.items() if name != "ZelkDEro.htm"}
    right = 0
    for i in range(8):
        folder = os.path.join(work, f"thread{i}")
        files = {name: open(os.path.join(folder, name), "rb").read() if os.path.exists(os.path.join(folder, name)) else None
                 for name in scenarios.FILES}
        right += files["ZelkDEro.htm"] == want and all(files[name] == data for name, data in images.items())
    checks.check(right == 8, "threads: all 8 pages and their images are right", f"{right} of 8")


def consumer(backend, checks, program, out):
    """The example host, linked against the installed tree, registers the sample registrant."""
    os.makedirs(out)
    run = backend.wine(program, r"Software\Dedoru Software Works\Sample Registrant", windows_path(out), "7.00.116",
                       check=False)
    page = os.path.join(out, "ZelkDEro.htm")
    ok = run.returncode == 0 and os.path.exists(page) and b"Jane Q. Sample" in open(page, "rb").read()
    checks.check(ok, "consumer: the example host built against the installed tree registers the sample",
                 f"exit {run.returncode}: {run.stdout.strip()}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dll", required=True)
    parser.add_argument("--host", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--threads-host", required=True)
    parser.add_argument("--recorder", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--resources", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--consumer", help="examples/host built against the installed tree")
    args = parser.parse_args()

    shutil.rmtree(args.prefix, ignore_errors=True)
    work = os.path.join(os.path.dirname(os.path.abspath(args.prefix)), "wine-lane")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    backend = WineBackend(args.prefix, args.dll, args.host, args.tool, args.recorder)
    checks = scenarios.Checks()
    try:
        backend.start()
        backend.host_checks(checks, "exports", "exports")
        backend.host_checks(checks, "rename", "rename", windows_path(os.path.join(work, "host-rename")))
        scenarios.run_all(backend, checks, os.path.join(work, "scenarios"), os.path.abspath(args.resources),
                          os.path.abspath(args.examples))
        threads(backend, checks, args.threads_host, os.path.join(work, "threads"), os.path.abspath(args.resources))
        if args.consumer:
            consumer(backend, checks, args.consumer, os.path.join(work, "consumer"))
    finally:
        backend.stop()

    print(f"wine lane: {checks.passed} passed, {checks.failed} failed")
    return 0 if checks.failed == 0 and checks.passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
