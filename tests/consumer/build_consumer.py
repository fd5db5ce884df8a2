#!/usr/bin/python3
"""Installs a preset's build into <build>/install and builds examples/host
against that installed tree, as a developer who picked DEDORURU up would.
With --run (Linux), also runs it on the sample registrant."""
import argparse
import os
import shutil
import subprocess
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--toolchain")
    parser.add_argument("--run", action="store_true")
    args = parser.parse_args()
    install = os.path.join(args.build, "install")
    consumer = os.path.join(args.build, "consumer")
    shutil.rmtree(install, ignore_errors=True)
    shutil.rmtree(consumer, ignore_errors=True)
    subprocess.run(["cmake", "--install", args.build, "--prefix", install], check=True, stdout=subprocess.DEVNULL)
    configure = ["cmake", "-S", os.path.join(args.source, "examples", "host"), "-B", consumer, "-G", "Ninja",
                 f"-DCMAKE_PREFIX_PATH={install}"]
    if args.toolchain:
        configure.append(f"-DCMAKE_TOOLCHAIN_FILE={args.toolchain}")
        configure.append("-DCMAKE_EXE_LINKER_FLAGS=-static")
    subprocess.run(configure, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", consumer], check=True, stdout=subprocess.DEVNULL)
    print("PASS examples/host builds against the installed tree")
    if args.toolchain:  # the DLL goes beside the program, where Windows looks first
        shutil.copy(os.path.join(install, "bin", "DEDORURU.dll"), consumer)
    passed, failed = 1, 0
    if args.run:
        out = os.path.join(args.build, "consumer-out")
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        examples = os.path.join(args.source, "examples")
        env = {k: v for k, v in os.environ.items() if not k.startswith(("XDG_", "DEDORURU_"))}
        env.update(DEDORURU_MACHINE_REGISTRY=os.path.join(examples, "sample-registrant.reg"),
                   DEDORURU_USER_REGISTRY=os.path.join(examples, "no-browser.reg"), DEDORURU_WINDOWS_DIR=examples,
                   XDG_CONFIG_HOME=out, XDG_DATA_HOME=out, XDG_CONFIG_DIRS=out, XDG_DATA_DIRS=out)
        run = subprocess.run([os.path.join(consumer, "register"), r"Software\Dedoru Software Works\Sample Registrant",
                              out, "7.00.116"], env=env, capture_output=True, text=True)
        page = os.path.join(out, "ZelkDEro.htm")
        ok = run.returncode == 0 and os.path.exists(page) and b"Jane Q. Sample" in open(page, "rb").read()
        print(f"{'PASS' if ok else 'FAIL'} the installed library registers the sample: {run.stdout.strip()}")
        passed, failed = passed + ok, failed + (not ok)
    print(f"consumer: {passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
