"""Names of the file list that would land outside the destination: every
route of the builder refuses them, and an installer whose archive holds one
anyway (written here byte by byte) writes nothing of its list under Wine."""
import os
import struct
import subprocess
import zlib

from harness import read_log

OUTSIDE = "leads outside the destination directory"


def ffsbuild(h, *args):
    return subprocess.run([h.ffsbuild] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def test_the_builder_refuses_such_names_on_every_route(h):
    unix, _ = h.case_dir("outside-builder")
    payload = os.path.join(unix, "payload")
    os.makedirs(payload)
    with open(os.path.join(payload, "ok.txt"), "wb") as f:
        f.write(b"ok")
    scripts = {"line": b"FILE LIST: ok.txt,..\\..\\x.txt\nINSTALL\n",
               "raw": b"!FILE LIST:ok.txt,..\\..\\x.txt\n!INSTALL:\n",
               "drive": b"FILE LIST: C:\\x.txt\nINSTALL\n"}
    for name, script in scripts.items():
        source = os.path.join(unix, name + ".txt")
        with open(source, "wb") as f:
            f.write(script)
        out = os.path.join(unix, name + ".exe")
        r = ffsbuild(h, "build", "-o", out, "--stub", h.install_exe, source, payload)
        assert r.returncode != 0 and OUTSIDE.encode() in r.stderr, (name, r.stderr)
        assert not os.path.exists(out), name
        r = ffsbuild(h, "compile", "-o", os.path.join(unix, name + ".dat"), source)  # without --payload
        assert r.returncode != 0 and OUTSIDE.encode() in r.stderr, (name, r.stderr)
    r = ffsbuild(h, "pack", "-o", os.path.join(unix, "x.ffs"), "--as", "..\\..\\x.txt", os.path.join(payload, "ok.txt"))
    assert r.returncode == 1 and OUTSIDE.encode() in r.stderr, r.stderr
    assert not os.path.exists(os.path.join(unix, "x.ffs"))


def archive(entries):
    """A standalone archive of raw entries ({name: bytes}), as the format
    lays it out: header, directory sorted by hash, records, padding."""
    records = sorted((zlib.crc32(name.upper().encode()), data) for name, data in entries.items())
    offset = 16 + 8 * len(records)
    directory, body = b"", b""
    for hash_, data in records:
        directory += struct.pack("<II", hash_, offset + len(body))
        body += struct.pack("<II", hash_, len(data)) + data
    n = len(records)
    return b"FFS!" + struct.pack("<III", n, ~n & 0xFFFFFFFF, 1) + directory + body + b"\0" * 16


def test_the_installer_writes_nothing_of_a_list_that_leads_outside(h):
    for case, outside in (("outside-up", "..\\..\\OUTSIDE-UP.TXT"), ("outside-drive", "C:\\OUTSIDE-DRIVE.TXT")):
        unix, win = h.case_dir(case)
        target = h.drive_c("C:\\" + outside.split("\\")[-1])
        if os.path.exists(target):
            os.remove(target)
        # No INSTALL PATH: names are relative to the installer's folder.
        script = b"\x16FILE LIST:ok.txt,%s\r\n\x16INSTALL:\r\n" % outside.encode()
        with open(os.path.join(unix, "x.ffs"), "wb") as f:
            f.write(archive({"install.dat": script, "ok.txt": b"ok" * 8, outside: b"outside" * 4}))
        r = ffsbuild(h, "stub", "-o", os.path.join(unix, "install.exe"), h.install_exe, os.path.join(unix, "x.ffs"))
        assert r.returncode == 0, r.stderr
        proc = h.wine([win + "\\install.exe", "-debug"], cwd=unix, wait=False)
        h.started.append(proc)
        assert h.wait_exit(proc) == 2  # the list's command failed
        log = read_log(os.path.join(unix, "debug.log"))
        assert b"Refusing '%s': the name leads outside the destination\r\n" % outside.encode() in log, log
        assert not os.path.exists(target), case
        assert not os.path.exists(os.path.join(unix, "ok.txt")), case  # nothing of the list
