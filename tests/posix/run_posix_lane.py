#!/usr/bin/python3
"""The POSIX lane: libdedoruru.so through the native `dedoruru` tool.

Runs the shared scenarios of tests/scenarios against the Linux platform: the
registry stores, the Windows folder and the XDG folders all live in a fresh
folder of their own, pointed at through the environment, so nothing of the
machine's own desktop or configuration takes part. A launch goes to a small
recorder script that the ".htm" association names.
"""
import argparse
import fcntl
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scenarios"))
import scenarios  # noqa: E402


def regedit4_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


class PosixBackend:
    def __init__(self, tool, root):
        self.tool_path = tool
        self.root = root
        self.classes = {}
        self.registrants = []
        os.makedirs(root)
        folders = {name: os.path.join(root, name) for name in ("home", "config", "data", "etc", "share", "windows")}
        for folder in folders.values():
            os.makedirs(folder)
        self.env = {k: v for k, v in os.environ.items() if not k.startswith(("XDG_", "DEDORURU_"))}
        self.env.update(HOME=folders["home"], XDG_CONFIG_HOME=folders["config"], XDG_DATA_HOME=folders["data"],
                        XDG_CONFIG_DIRS=folders["etc"], XDG_DATA_DIRS=folders["share"],
                        DEDORURU_MACHINE_REGISTRY=os.path.join(root, "machine.reg"),
                        DEDORURU_USER_REGISTRY=os.path.join(root, "user.reg"),
                        DEDORURU_WINDOWS_DIR=folders["windows"], LANG="C.UTF-8")
        self.folders = folders

    # ---- the shared scenarios' backend ------------------------------------------
    def bindings(self):
        return [()]

    def binding_label(self, binding):
        return ""

    def tool(self, *args):
        run = subprocess.run([self.tool_path, *args], env=self.env, capture_output=True, text=True, timeout=60,
                             stdin=subprocess.DEVNULL)
        return run.returncode, run.stdout + run.stderr

    def path(self, path):
        return path

    def folder(self, folder, trailing):
        return folder + ("/" if trailing else "")

    def set_classes(self, classes):
        mimeapps = os.path.join(self.folders["config"], "mimeapps.list")
        entry = os.path.join(self.folders["data"], "applications", "dedo-browser.desktop")
        if classes == scenarios.DESKTOP_DEFAULT:
            # The desktop's default for web pages: a desktop entry that does nothing.
            os.makedirs(os.path.dirname(entry), exist_ok=True)
            with open(mimeapps, "w") as f:
                f.write("[Default Applications]\ntext/html=dedo-browser.desktop;\n")
            with open(entry, "w") as f:
                f.write("[Desktop Entry]\nType=Application\nName=Lane Browser\nExec=true %U\n")
            classes = {}
        else:
            for path in (mimeapps, entry):
                if os.path.exists(path):
                    os.remove(path)
        self.classes = classes
        self.write_stores()

    def set_registrants(self, registrants):
        self.registrants = registrants
        self.write_stores()

    def set_profile(self, pairs):
        text = "[User Demographics]\r\n" + "".join(f"{k}={v}\r\n" for k, v in pairs)
        with open(os.path.join(self.folders["windows"], "ZelkDEro.ini"), "wb") as f:
            f.write(text.encode("utf-8"))

    def install_recorder(self, folder):
        script = os.path.join(folder, "recorder.sh")
        with open(script, "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s\\n" "$1" >> "{folder}/launches.txt"\n')
        os.chmod(script, 0o755)
        return f'"{script}" "%1"'

    def register_holding(self, args, held):
        # Held open without sharing: the exclusive lock such a program takes.
        with open(held, "rb") as f:
            fcntl.flock(f, fcntl.LOCK_EX)
            return self.tool("register", *args)

    def use_sample(self, examples):
        self.env["DEDORURU_MACHINE_REGISTRY"] = os.path.join(examples, "sample-registrant.reg")
        self.env["DEDORURU_WINDOWS_DIR"] = examples

    # ---- the stores ---------------------------------------------------------------
    def write_stores(self):
        roots = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}
        machine, user = ["REGEDIT4", ""], ["REGEDIT4", ""]
        for key, values in self.classes.items():
            user.append(f"[HKEY_CLASSES_ROOT\\{key}]")
            for name, data in values.items():
                user.append(("@" if name == "" else regedit4_string(name)) + "=" + regedit4_string(data))
            user.append("")
        for root, key, values in self.registrants:
            lines = machine if root == "HKLM" else user
            lines.append(f"[{roots[root]}\\{key}]")
            for name, value in values.items():
                if isinstance(value, str):
                    data = regedit4_string(value)
                elif value[0] == "binary":
                    data = "hex:" + ",".join(f"{b:02x}" for b in value[1])
                else:
                    data = "hex(1):" + ",".join(f"{b:02x}" for b in value[1].encode("cp1252"))
                lines.append(regedit4_string(name) + "=" + data)
            lines.append("")
        for name, lines in (("machine.reg", machine), ("user.reg", user)):
            with open(os.path.join(self.root, name), "w", encoding="utf-8") as f:
                f.write("\n".join(lines))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--library", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--resources", required=True)
    parser.add_argument("--examples", required=True)
    args = parser.parse_args()

    shutil.rmtree(args.work, ignore_errors=True)
    backend = PosixBackend(os.path.abspath(args.tool), os.path.join(os.path.abspath(args.work), "system"))
    checks = scenarios.Checks()
    # The library shows exactly the three functions of the DLL, nothing else.
    nm = subprocess.run(["nm", "-D", "--defined-only", args.library], capture_output=True, text=True)
    defined = sorted(line.split()[-1] for line in nm.stdout.splitlines() if line.strip())
    checks.check(nm.returncode == 0 and defined == ["IsBrowserAvail", "RegisterUser", "zelkRename"],
                 "libdedoruru.so defines exactly IsBrowserAvail, RegisterUser and zelkRename", str(defined))
    scenarios.run_all(backend, checks, os.path.join(os.path.abspath(args.work), "files"),
                      os.path.abspath(args.resources), os.path.abspath(args.examples))
    print(f"posix lane: {checks.passed} passed, {checks.failed} failed")
    return 0 if checks.failed == 0 and checks.passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
