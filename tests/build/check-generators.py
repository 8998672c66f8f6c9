#!/usr/bin/env python3
"""Builds a stub (install.exe or install64.exe, as the toolchain makes) once
more with CMake's default generator (Unix
Makefiles, which links the program's own objects from an objects.a with
--whole-archive) and checks that the size budget holds there too and that
the program is the same byte for byte as the one given.

usage: check-generators.py INSTALL_EXE SOURCE_DIR TOOLCHAIN SCRATCH_DIR
"""
import os
import shutil
import subprocess
import sys


def main():
    product, source, toolchain, scratch = sys.argv[1:5]
    shutil.rmtree(scratch, ignore_errors=True)
    steps = [["cmake", "-S", source, "-B", scratch, "-G", "Unix Makefiles", "-DCMAKE_BUILD_TYPE=Release",
              "-DCMAKE_TOOLCHAIN_FILE=" + toolchain, "-DVANTOR_TESTS=OFF"],
             ["cmake", "--build", scratch, "--target", "install-exe", "-j", str(os.cpu_count() or 2)]]
    for step in steps:
        r = subprocess.run(step, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if r.returncode != 0:
            print(r.stdout.decode(errors="replace")[-3000:])
            print("check-generators: %s failed with the Makefile generator" % " ".join(step[:2]))
            return 1
    built = os.path.join(scratch, "installer", os.path.basename(product))
    with open(product, "rb") as a, open(built, "rb") as b:
        same = a.read() == b.read()
    if not same:
        print("check-generators: %s and %s differ" % (product, built))
        return 1
    shutil.rmtree(scratch, ignore_errors=True)
    print("check-generators: the Makefile generator's %s is within its budget and the same"
          % os.path.basename(product))
    return 0


if __name__ == "__main__":
    sys.exit(main())
