#!/usr/bin/env python3
"""What the start-up integrity check costs: builds a 40 MB installer (stored
raw, so the installation itself is as quick as it gets and the check's share
as large as it gets), times the check alone (ffs-check-bench: the mount and
the check, as install.exe runs them before its script) and the whole
installation of the same installer (start to exit, every file written), and
prints both with the share. Each figure is the fastest of a few runs, since
the machine is shared.

usage: python3 bench/integrity-bench.py [--build DIR] [--size MB] [--runs N]

It runs BUILD/win32's (or $WIN_BUILD's) install.exe and ffs-check-bench.exe
under Wine, with Xvfb giving the installer its display, in the prefix
$VANTOR_E2E_PREFIX (else BUILD/wineprefix).
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import time

# The Windows build Wine runs here (scripts/wine-mode.sh sets WIN_BUILD).
WIN_BUILD = os.environ.get("WIN_BUILD", "win32")

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FILES = 8


def fastest(runs, step):
    """The fastest of runs calls of step, in milliseconds."""
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        step()
        took = (time.perf_counter() - start) * 1000
        best = took if best is None else min(best, took)
    return best


def make_installer(build, folder, megabytes):
    payload = os.path.join(folder, "payload")
    os.makedirs(payload)
    rng = random.Random(2026)
    size = megabytes * 1000 * 1000 // FILES
    names = []
    for i in range(FILES):
        names.append("f%d.bin" % i)
        with open(os.path.join(payload, names[-1]), "wb") as f:
            f.write(rng.randbytes(size))
    script = os.path.join(folder, "setup.txt")
    with open(script, "w") as f:
        f.write("INSTALL SIZE: %d\nBREAK\nFILE LIST: %s\nINSTALL\n" % (megabytes * 1000, ",".join(names)))
    installer = os.path.join(folder, "install.exe")
    subprocess.run([os.path.join(build, "native", "builder", "ffsbuild"), "build", "-m", "raw",
                    "-o", installer, "--stub", os.path.join(build, WIN_BUILD, "installer", "install.exe"), script,
                    payload], check=True, stdout=subprocess.DEVNULL)
    return installer, names


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--size", type=int, default=40, help="payload in MB (10^6 bytes)")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    build = os.path.abspath(args.build)

    env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    prefix = os.environ.get("VANTOR_E2E_PREFIX") or os.path.join(build, "wineprefix")
    env["WINEPREFIX"] = prefix
    folder = os.path.join(prefix, "drive_c", "bench-integrity")
    check = ["wine", os.path.join(build, WIN_BUILD, "bench", "ffs-check-bench.exe")]
    wrap = ["xvfb-run", "-a", "wine"]
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    installer, names = make_installer(build, folder, args.size)
    megabytes = os.path.getsize(installer) / 1e6

    out = subprocess.run(check + [installer, str(args.runs)], env=env, stdout=subprocess.PIPE, check=True,
                         cwd=folder).stdout.decode()
    check_ms = float(out.split("fastest ")[1].split(" ms")[0])

    def install():
        for name in names:
            target = os.path.join(folder, name.upper())
            if os.path.exists(target):
                os.remove(target)
        r = subprocess.run(wrap + ["install.exe"], cwd=folder, env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=300)
        written = sum(os.path.getsize(os.path.join(folder, n.upper())) for n in names
                      if os.path.exists(os.path.join(folder, n.upper())))
        if r.returncode != 0 or written != args.size * 1000 * 1000 // FILES * FILES:
            sys.exit("the installation did not write every file (exit code %d)" % r.returncode)

    install_ms = fastest(args.runs, install)
    print("installer:             %.1f MB (%d raw files), under Wine" % (megabytes, len(names)))
    print("start-up check:        %.1f ms (fastest of %d)" % (check_ms, args.runs))
    print("whole installation:    %.1f ms (fastest of %d, start to exit)" % (install_ms, args.runs))
    print("check / installation:  %.2f %%" % (100.0 * check_ms / install_ms))
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
