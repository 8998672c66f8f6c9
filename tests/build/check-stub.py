#!/usr/bin/env python3
"""Checks that a stub (install.exe or install64.exe) is the same byte for
byte wherever and whenever it is built: its PE header holds no link time stamp, and no path of the build
machine (the source or the build folder) is in its bytes.

usage: check-stub.py STUB SOURCE_DIR BUILD_DIR
"""
import struct
import sys


def main():
    exe, folders = sys.argv[1], sys.argv[2:]
    with open(exe, "rb") as f:
        data = f.read()
    problems = []
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        problems.append("no PE header")
    else:
        stamp = struct.unpack_from("<I", data, pe + 8)[0]
        if stamp != 0:
            problems.append("the PE header holds the time stamp 0x%08X" % stamp)
    for folder in folders:
        for form in (folder, folder.replace("/", "\\")):
            at = data.find(form.encode())
            if at >= 0:
                problems.append("the build machine's path %r is at offset %d" % (form, at))
    for p in problems:
        print("%s: %s" % (exe, p))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
