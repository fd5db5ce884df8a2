#!/usr/bin/python3
"""Runs every measurement of bench/README.md in one go and prints the table.

Substitution throughput and RegisterUser (Google Benchmark, against the limit
of the same writes done directly and against memcpy), the peers sed and
Python on the same 64 MB templates, the system calls of one RegisterUser
(strace -c), and the footprint of the 32-bit DLL with the load and first call
of the Wine-run build against an empty DLL of the same toolchain.
"""
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
WORK = os.path.join(BUILD, "bench")
TOKENS = ["RegFullName", "RegCompany", "RegTitle", "RegAddress1", "RegAddress2", "RegCity", "RegState", "RegZip",
          "RegCountry", "RegPhone", "RegFax", "RegEmail", "RegSerialNumber", "RegVer"]
# What the benchmark's substitution writes in place of each token (none needs escaping).
VALUES = ["Jane Q. Sample", "Example Widgets Inc.", "", "100 Main Street", "Suite 200", "Springfield", "IL", "62701",
          "USA", "555555-0100", "555555-0101", "jane.sample@example.com", "DW7-0116-4821", "7.00.116"]
rows = []


def row(what, ours, reference, ratio, target=""):
    rows.append((what, ours, reference, ratio, target))


def timed(command, runs=3, **kwargs):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True, **kwargs)
        took = time.perf_counter() - start
        best = took if best is None else min(best, took)
    return best


def benchmarks(env):
    out = os.path.join(WORK, "benchmarks.json")
    subprocess.run([os.path.join(BUILD, "native", "substitution_bench"), "--benchmark_min_time=0.3",
                    "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true",
                    f"--benchmark_out={out}", "--benchmark_out_format=json"], check=True, env=env,
                   stdout=subprocess.DEVNULL)
    results = {}
    for b in json.load(open(out))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            results[b["run_name"].replace("/real_time", "")] = b["real_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1}[b["time_unit"]]
    return results


def stores(env):
    for folder in ("register", "limit-four", "templates"):
        os.makedirs(os.path.join(WORK, folder), exist_ok=True)
    with open(os.path.join(WORK, "machine.reg"), "w") as f:
        f.write('REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Dedoru\\Bench]\n"name"="Jane Q. Sample"\n'
                '"company"="Example Widgets Inc."\n"Serial Number"="DW7-0116-4821"\n')
    with open(os.path.join(WORK, "user.reg"), "w") as f:  # a launch that starts nothing of weight
        f.write('REGEDIT4\n[HKEY_CLASSES_ROOT\\.htm]\n@="P"\n[HKEY_CLASSES_ROOT\\P\\shell\\open\\command]\n@="true \\"%1\\""\n')
    shutil.copy(os.path.join(ROOT, "examples", "ZelkDEro.ini"), WORK)
    env.update(BENCH_DIR=WORK, DEDORURU_MACHINE_REGISTRY=os.path.join(WORK, "machine.reg"),
               DEDORURU_USER_REGISTRY=os.path.join(WORK, "user.reg"), DEDORURU_WINDOWS_DIR=WORK)


def peers(results):
    templates = os.path.join(WORK, "templates")
    subprocess.run([os.path.join(BUILD, "native", "substitution_bench"), "--write-templates", templates], check=True)
    script = os.path.join(WORK, "replace.py")
    with open(script, "w") as f:
        f.write("import sys\ndata = open(sys.argv[1], 'rb').read()\n"
                f"for token, value in {list(zip(TOKENS, VALUES))!r}:\n"
                "    data = data.replace(token.encode(), value.encode())\n"
                "open(sys.argv[2], 'wb').write(data)\n")
    sed = ["sed"] + [arg for token, value in zip(TOKENS, VALUES) for arg in ("-e", f"s/{token}/{value}/g")]
    for name in ("sparse-64M", "dense-64M"):
        source = os.path.join(templates, name + ".htm")
        ours = results[f"substitute/{name}"]
        with open(os.path.join(WORK, "sed.out"), "wb") as out:
            sed_time = timed(sed + [source], stdout=out)
        py_time = timed([sys.executable, script, source, os.path.join(WORK, "python.out")])
        row(f"{name}: sed, 14 expressions", f"{ours * 1e3:.0f} ms", f"{sed_time * 1e3:.0f} ms", f"{sed_time / ours:.1f}x faster")
        row(f"{name}: Python str.replace loop", f"{ours * 1e3:.0f} ms", f"{py_time * 1e3:.0f} ms", f"{py_time / ours:.1f}x faster")


def syscalls(env):
    """strace -c of one RegisterUser through the dedoruru tool, and the writes the algorithm needs."""
    out = os.path.join(WORK, "strace.txt")
    folder = os.path.join(WORK, "strace-out")
    os.makedirs(folder, exist_ok=True)
    subprocess.run(["strace", "-c", "-o", out, os.path.join(BUILD, "native", "dedoruru"), "register",
                    "Software\\Dedoru\\Bench", folder, "7.00.116"], check=True, env=env, stdout=subprocess.DEVNULL)
    counts = {}
    for line in open(out):
        parts = line.split()
        if len(parts) >= 5 and parts[-1].isidentifier() and parts[3].isdigit():
            counts[parts[-1]] = int(parts[3])
        elif len(parts) >= 4 and parts[-1].isidentifier() and parts[2].isdigit() and parts[3].isdigit():
            counts[parts[-1]] = int(parts[3])
    # The fewest writes the algorithm can make: one per run of template text
    # between tokens (and the closing one), one per value that is not empty,
    # one per image, and the tool's one line of output.
    form = open(os.path.join(ROOT, "resources", "form.htm"), "rb").read()
    values = {"RegFullName": 1, "RegCompany": 1, "RegTitle": 0, "RegAddress1": 1, "RegAddress2": 1, "RegCity": 1,
              "RegState": 1, "RegZip": 1, "RegCountry": 1, "RegPhone": 2, "RegFax": 2, "RegEmail": 1,
              "RegSerialNumber": 1, "RegVer": 1}
    positions = sorted((form.index(t.encode()), t) for t in TOKENS)
    runs, mark = 0, 0
    for at, token in positions:
        runs += at > mark
        mark = at + len(token)
    minimum = runs + 1 + sum(values.values()) + 3 + 1
    return counts, minimum


def wine_load():
    """Load and first call under Wine, DEDORURU.dll against an empty DLL, median of 15 fresh processes each."""
    prefix = os.path.join(WORK, "wineprefix")
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree=")
    env.pop("DISPLAY", None)
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(prefix)
    subprocess.run(["/usr/lib/wine/wineserver", "-p"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        with tempfile.TemporaryFile() as log:
            subprocess.run(["/usr/lib/wine/wine64", "wineboot", "--init"], env=env, stdout=log, stderr=log, check=True)
        host = os.path.join(BUILD, "win64", "load_host.exe")
        times = {}
        for dll, function in (("DEDORURU.dll", "IsBrowserAvail"), ("empty.dll", "Nothing"),
                              ("empty-shell.dll", "Nothing")):
            path = "Z:" + os.path.join(BUILD, "win64", dll).replace("/", "\\")
            samples = []
            for _ in range(15):
                with tempfile.TemporaryFile("w+") as out:
                    subprocess.run(["/usr/lib/wine/wine64", host, path, function], env=env, stdout=out,
                                   stderr=subprocess.DEVNULL, check=True)
                    out.seek(0)
                    samples.append(float(out.read().split()[0]))
            times[dll] = statistics.median(samples)
        return times
    finally:
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=env, capture_output=True)


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    env = dict(os.environ)
    stores(env)
    results = benchmarks(env)

    for name in ("form", "sparse-1M", "dense-1M", "sparse-64M", "dense-64M"):
        ours, limit, copy = (results[f"{kind}/{name}"] for kind in ("substitute", "write-limit", "memcpy"))
        row(f"{name}: substitution vs the same writes", f"{ours * 1e3:.2f} ms", f"{limit * 1e3:.2f} ms",
            f"{limit / ours:.2f} of the limit", ">= 0.90")
        row(f"{name}: substitution vs memcpy", f"{ours * 1e3:.2f} ms", f"{copy * 1e3:.3f} ms", f"{copy / ours:.3f} of memcpy")
    peers(results)
    ours, limit = results["register-user"], results["four-files-limit"]
    row("RegisterUser vs creating the four files", f"{ours * 1e3:.2f} ms", f"{limit * 1e3:.2f} ms",
        f"{ours / limit:.1f}x the limit", "<= 1.5x")

    counts, minimum = syscalls(env)
    row("write calls of one RegisterUser (strace -c)", str(counts.get("write", 0)), f"{minimum} needed",
        "minimal" if counts.get("write", 0) == minimum else "more than needed", "minimal")
    others = ", ".join(f"{k} {v}" for k, v in sorted(counts.items(), key=lambda kv: -kv[1]) if k != "write")
    dll = os.path.join(BUILD, "win32", "DEDORURU.dll")
    imports = re.findall(r"DLL Name: (\S+)", subprocess.run(["i686-w64-mingw32-objdump", "-p", dll],
                                                            capture_output=True, text=True).stdout)
    row("DEDORURU.dll (win32), stripped", f"{os.path.getsize(dll)} bytes", "49152 bytes", ", ".join(imports), "<= 48 KiB")
    load = wine_load()
    row("load + first call under Wine (win64)", f"{load['DEDORURU.dll']:.0f} us", f"{load['empty.dll']:.0f} us empty DLL",
        f"{load['DEDORURU.dll'] / load['empty.dll']:.2f}x")
    row("load + first call, against an empty DLL importing SHELL32", f"{load['DEDORURU.dll']:.0f} us",
        f"{load['empty-shell.dll']:.0f} us", f"{load['DEDORURU.dll'] / load['empty-shell.dll']:.2f}x")

    widths = [max(len(str(r[i])) for r in rows + [("what", "ours", "reference", "ratio", "target")]) for i in range(5)]
    line = lambda r: "| " + " | ".join(str(c).ljust(w) for c, w in zip(r, widths)) + " |"
    print(line(("what", "ours", "reference", "ratio", "target")))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print(line(r))
    print(f"\nother system calls of that RegisterUser: {others}")


if __name__ == "__main__":
    main()
