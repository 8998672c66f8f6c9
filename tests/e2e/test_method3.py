"""Installers whose entries are packed with method 3, alone or in solid
groups, or with method 4 (zstd), install the example product under Wine,
each file byte for byte; so do programs and libraries packed behind the
branch-call filter with methods 3 (solid) and 4. A damaged solid block
fails its install, which is undone."""
import os
import shutil
import subprocess

import harness

import example


def build(h, case, options, methods):
    """Builds the example with the options into the case's folder and checks
    that its listing shows exactly the given methods (with or without the
    branch-call filter)."""
    example.forget(h)
    built = example.build(h)
    unix, win = h.case_dir(case)
    inst = harness.Installer(unix, win)
    r = subprocess.run([h.ffsbuild, "build", "-o", inst.exe, "--stub", h.install_exe] + options +
                       [os.path.join(harness.ROOT, "examples", "setup.txt"), os.path.join(built, "payload")],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert r.returncode == 0, r.stderr.decode(errors="replace")
    listing = subprocess.run([h.ffsbuild, "list", inst.exe], stdout=subprocess.PIPE, check=True).stdout.decode()
    assert {row.split()[3].replace("+x86", "") for row in listing.splitlines()[2:]} == set(methods), listing
    return inst


def check_installed(h, inst):
    log = inst.log()
    assert log.endswith(b"Successful Exit...\r\n"), log[-400:]
    assert b"Failed to decompress file" not in log and b"Command Failed" not in log, log
    for name, data in example.installed(h, example.DEFAULT_DIR, example.FILES).items():
        assert data == example.payload(h, name), name


def test_example_packed_with_method_3_installs_byte_identical(h):
    inst = build(h, "example-method3", ["-m", "3"], ["3"])
    proc = h.run_installer(inst, "-debug")
    example.accept_pages(h)
    assert example.finish(h, proc) == 0
    check_installed(h, inst)


def test_example_in_solid_groups_installs_byte_identical(h):
    # Unattended, as the pages have nothing to do with how entries are stored.
    inst = build(h, "example-solid", ["-m", "3", "--solid"], ["3", "solid"])
    proc = h.run_installer(inst, "-debug", "-silent")
    assert h.wait_exit(proc, timeout=120) == 0
    check_installed(h, inst)


def test_example_packed_with_method_4_installs_byte_identical(h):
    inst = build(h, "example-method4", ["-m", "4"], ["4"])
    proc = h.run_installer(inst, "-debug", "-silent")
    assert h.wait_exit(proc, timeout=120) == 0
    check_installed(h, inst)


def test_programs_behind_the_branch_call_filter_install_byte_identical(h):
    """The stub itself (PE, i386 or amd64), ffsbuild and two libraries it
    loads (ELF, x86-64) and a text, packed with -m 3 --solid and with -m 4:
    the filter is kept for the programs, and all install byte for byte."""
    files = {"setup.exe": h.install_exe, "ffsbuild": h.ffsbuild}
    for lib in ("libzstd.so.1", "liblzma.so.5"):
        path = os.path.realpath(os.path.join("/usr/lib/x86_64-linux-gnu", lib))
        if os.path.isfile(path):
            files[lib] = path
    contents = {name: open(path, "rb").read() for name, path in files.items()}
    contents["notes.txt"] = b"Notes on the programs, which the filter leaves alone.\r\n" * 200
    names = sorted(contents)
    script = ("PRODUCT NAME: Gadget\nBREAK\nINSTALL DIR: Vantor Filtered\nINSTALL PATH: Where?\n"
              "FILE LIST: %s\nINSTALL\n" % ",".join(names)).encode()
    for case, options, filtered in (("filter-solid", ["-m", "3", "--solid"], ""),  # the block has no name
                                    ("filter-method4", ["-m", "4"], "setup.exe")):
        folder = h.drive_c("C:\\Program Files\\Vantor Filtered\\")
        shutil.rmtree(folder, ignore_errors=True)
        unix, win = h.case_dir(case)
        payload = os.path.join(unix, "payload")
        os.makedirs(payload)
        for name, data in contents.items():
            with open(os.path.join(payload, name), "wb") as f:
                f.write(data)
        source = os.path.join(unix, "setup.txt")
        with open(source, "wb") as f:
            f.write(script)
        inst = harness.Installer(unix, win)
        r = subprocess.run([h.ffsbuild, "build", "-o", inst.exe, "--stub", h.install_exe] + options + [source, payload],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        assert r.returncode == 0, r.stderr.decode(errors="replace")
        listing = subprocess.run([h.ffsbuild, "list", inst.exe], stdout=subprocess.PIPE,
                                 check=True).stdout.decode()
        rows = [row.split() for row in listing.splitlines()[2:]]
        assert any(row[3].endswith("+x86") and " ".join(row[5:]) == filtered for row in rows), listing
        proc = h.run_installer(inst, "-debug", "-silent")
        assert h.wait_exit(proc, timeout=180) == 0
        log = inst.log()
        assert log.endswith(b"Successful Exit...\r\n"), log[-400:]
        for name, data in contents.items():
            with open(os.path.join(folder, name), "rb") as f:
                assert f.read() == data, name


def test_a_solid_block_damaged_in_the_middle_fails_its_member_and_the_run_is_undone(h):
    """The block is damaged after the archive's integrity record was made
    (packed, altered, then joined to the stub, which seals it again), so
    only the decoder can tell: the member it cannot unpack fails INSTALL
    with its line, and the run leaves nothing."""
    unix, win = h.case_dir("damaged-block")
    payload = os.path.join(unix, "payload")
    os.makedirs(payload)
    for i in range(40):
        with open(os.path.join(payload, "f%02d.txt" % i), "wb") as f:
            f.write(b"".join(b"line %d of file %d: %d\r\n" % (k, i, k * k % 977) for k in range(3000)))
    script, dat, archive = (os.path.join(unix, n) for n in ("setup.txt", "install.dat", "a.ffs"))
    with open(script, "wb") as f:
        f.write(b"PRODUCT NAME: Gadget\nBREAK\nINSTALL DIR: Vantor Damaged\nINSTALL PATH: Where?\n"
                b"FILE LIST: **\nINSTALL\n")
    subprocess.run([h.ffsbuild, "compile", "-o", dat, "--payload", payload, script], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run([h.ffsbuild, "pack", "-q", "-o", archive, "--solid", "-m", "raw", "--as", "install.dat", dat,
                    "-m", "4", payload], check=True)
    listing = subprocess.run([h.ffsbuild, "list", archive], stdout=subprocess.PIPE, check=True).stdout.decode()
    block = [row.split() for row in listing.splitlines()[2:] if row.split()[3] == "4"]
    assert len(block) == 1, listing
    offset, stored = int(block[0][1]), int(block[0][2])
    with open(archive, "r+b") as f:
        f.seek(offset + stored // 2)
        byte = f.read(1)[0]
        f.seek(offset + stored // 2)
        f.write(bytes([byte ^ 0x55]))
    inst = harness.Installer(unix, win)
    subprocess.run([h.ffsbuild, "stub", "-o", inst.exe, h.install_exe, archive], check=True)
    folder = h.drive_c("C:\\Program Files\\Vantor Damaged\\")
    shutil.rmtree(folder, ignore_errors=True)
    proc = h.run_installer(inst, "-debug", "-silent")
    assert h.wait_exit(proc, timeout=120) == 2
    log = inst.log()
    assert b"Failed to decompress file\r\nUnable to load 'f" in log and b"Command Failed 'INSTALL'" in log, log
    assert b"Rollback: the installation was undone; nothing was changed\r\n" in log, log
    assert not os.path.exists(folder)
