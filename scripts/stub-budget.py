#!/usr/bin/env python3
"""Sizes of a stub's parts from the link map, against the budget the build
keeps for it: installer/stub-budget.txt for install.exe (i686),
installer/stub-budget-x64.txt for install64.exe (x86_64); the whole file's
budget is the line named as the program. A part is one object of the
program (its code, constant and initialised data, unwind tables); the
pieces of the C runtime count as one part, "C runtime", and the compiled
resource script as "resources", the tables of imported functions as
"imports". Prints one line per part, largest first,
and fails when the file or a part with a budget of its own is larger than
its budget.

usage: stub-budget.py MAP EXE BUDGET
"""
import os
import re
import sys

# Output sections that take room in the file (.bss does not).
STORED = (".text", ".rdata", ".data", ".eh_frame", ".eh_fram", ".CRT", ".tls", ".pdata", ".xdata", ".idata", ".rsrc")


def part_of(owner):
    """The part an object of the link map belongs to. The project's own
    objects are compiled from NAME.cpp to NAME.cpp.obj, whether the link
    takes them one by one (Ninja), from the project's libraries, or from the
    objects.a that the Makefile generator links with --whole-archive; the C
    runtime's members are named NAME.o."""
    name = owner.split("/")[-1]
    if name.endswith(".res") or name.endswith(".res)"):
        return "resources"
    own = re.match(r"(?:\S+\.a\()?(\S+?)\.cpp\.obj\)?$", name)
    if own:
        return own.group(1)
    return "C runtime"


def parts(map_path):
    lines = open(map_path, errors="replace").read().split("\n")
    start = next(i for i, line in enumerate(lines) if line.startswith("Linker script and memory map"))
    sizes, output = {}, None
    for line in lines[start:]:
        top = re.match(r"^(\.\S+)\s", line)
        if top:
            output = top.group(1)
        entry = re.match(r"^\s+(?:\S+\s+)?0x[0-9a-f]+\s+(0x[0-9a-f]+)\s+(\S+\.(?:obj|o|res)\)?)\s*$", line)
        if entry and output in STORED:
            part = "imports" if output == ".idata" else part_of(entry.group(2))
            sizes[part] = sizes.get(part, 0) + int(entry.group(1), 16)
    return sizes


def budgets(path):
    out = {}
    for line in open(path):
        fields = line.split("#")[0].rsplit(None, 1)
        if len(fields) == 2:
            out[fields[0].strip()] = int(fields[1])
    return out


def main():
    map_path, exe, budget_path = sys.argv[1:4]
    sizes, limits = parts(map_path), budgets(budget_path)
    total, name = os.path.getsize(exe), os.path.basename(exe)
    over = []
    print("%-22s %8s %8s" % ("part", "bytes", "budget"))
    for part, size in sorted(sizes.items(), key=lambda kv: -kv[1]):
        limit = limits.get(part)
        print("%-22s %8d %8s" % (part, size, limit if limit is not None else ""))
        if limit is not None and size > limit:
            over.append("%s is %d bytes, over its budget of %d" % (part, size, limit))
    print("%-22s %8d %8s" % (name + " (file)", total, limits.get(name, "")))
    if total > limits.get(name, total):
        over.append("%s is %d bytes, over its budget of %d" % (name, total, limits[name]))
    for problem in over:
        print("stub-budget: " + problem, file=sys.stderr)
    return 1 if over else 0


if __name__ == "__main__":
    sys.exit(main())
