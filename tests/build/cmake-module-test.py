#!/usr/bin/env python3
"""add_installer() of cmake/FfsBuildConfig.cmake in a small vendor project
made here: configured and built with Ninja, the installer is rebuilt after
its payload, script or an include changes, or a payload file is added, and
not otherwise; then the examples/ product through the same module, with its
icon and version, when the Win32 build's install.exe is given.

usage: cmake-module-test.py FFSBUILD SOURCE_DIR WORK_DIR [INSTALL_EXE]
"""
import os
import shutil
import subprocess
import sys


def run(args, cwd=None):
    r = subprocess.run(args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=300)
    assert r.returncode == 0, "%s:\n%s" % (" ".join(args), r.stdout)
    return r.stdout


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def main():
    ffsbuild, source, work = (os.path.abspath(a) for a in sys.argv[1:4])
    stub = os.path.abspath(sys.argv[4]) if len(sys.argv) > 4 and os.path.exists(sys.argv[4]) else ""
    shutil.rmtree(work, ignore_errors=True)
    project, build = os.path.join(work, "vendor"), os.path.join(work, "vendor-build")
    write(os.path.join(project, "CMakeLists.txt"),
          "cmake_minimum_required(VERSION 3.20)\nproject(vendor NONE)\n"
          "include(%s/cmake/FfsBuildConfig.cmake)\n"
          "add_installer(setup SCRIPT setup.txt PAYLOAD_DIR payload OUTPUT setup.exe INCLUDES common.txt)\n" % source)
    write(os.path.join(project, "setup.txt"), "PRODUCT NAME: Vendor\nFILE LIST: readme.txt\nINSTALL\n")
    write(os.path.join(project, "common.txt"), "# shared lines\n")
    write(os.path.join(project, "payload", "readme.txt"), "first\n")
    with open(os.path.join(work, "stub.exe"), "wb") as f:
        f.write(b"MZ" + bytes(510))
    run(["cmake", "-S", project, "-B", build, "-G", "Ninja", "-DFFSBUILD_EXECUTABLE=" + ffsbuild,
         "-DFFSBUILD_STUB=" + os.path.join(work, "stub.exe")])
    output = os.path.join(build, "setup.exe")
    state = {}

    def build_expecting(rebuilt, why):
        before = os.stat(output).st_mtime_ns if os.path.exists(output) else None
        log = run(["cmake", "--build", build])
        after = os.stat(output).st_mtime_ns
        assert (before != after) == rebuilt, "%s: %s\n%s" % (why, "not rebuilt" if rebuilt else "rebuilt", log)
        with open(output, "rb") as f:
            state["bytes"] = f.read()

    build_expecting(True, "first build")
    first = state["bytes"]
    build_expecting(False, "nothing changed")
    for path, text, why in ((os.path.join("payload", "readme.txt"), "second\n", "payload changed"),
                            (os.path.join("payload", "new.txt"), "new\n", "payload file added"),
                            ("common.txt", "# changed\n", "include changed"),
                            ("setup.txt", "PRODUCT NAME: Vendor 2\nFILE LIST: readme.txt\nINSTALL\n", "script changed")):
        write(os.path.join(project, path), text)
        # The installer made just before may share the input's time stamp.
        older = os.stat(os.path.join(project, path)).st_mtime_ns - 2 * 10**9
        os.utime(output, ns=(older, older))
        build_expecting(True, why)
        build_expecting(False, why + ", then nothing")
    assert state["bytes"] != first
    print("cmake-module: vendor project rebuilt exactly when its inputs changed")

    if stub:
        example = os.path.join(work, "example-build")
        run(["cmake", "-S", os.path.join(source, "examples"), "-B", example, "-G", "Ninja",
             "-DFFSBUILD_EXECUTABLE=" + ffsbuild, "-DFFSBUILD_STUB=" + stub])
        run(["cmake", "--build", example])
        for name in ("setup.exe", "update.exe"):
            verified = run([ffsbuild, "verify", os.path.join(example, name)])
            assert "integrity record matches" in verified, verified
        listed = run(["wrestool", "-l", os.path.join(example, "setup.exe")])
        assert "--type=14 --name=104 " in listed and "--type=16 --name=1 " in listed, listed
        print("cmake-module: examples/ built through the module")
    else:
        print("cmake-module: no install.exe of a Win32 build given; examples/ not built")


if __name__ == "__main__":
    main()
