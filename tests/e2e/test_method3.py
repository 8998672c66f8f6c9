"""Installers whose entries are packed with method 3, alone or in solid
groups, or with method 4 (zstd), install the example product under Wine,
each file byte for byte."""
import os
import subprocess

import harness

import example


def build(h, case, options, methods):
    """Builds the example with the options into the case's folder and checks
    that its listing shows exactly the given methods."""
    example.forget(h)
    built = example.build(h)
    unix, win = h.case_dir(case)
    inst = harness.Installer(unix, win)
    r = subprocess.run([h.ffsbuild, "build", "-o", inst.exe, "--stub", h.install_exe] + options +
                       [os.path.join(harness.ROOT, "examples", "setup.txt"), os.path.join(built, "payload")],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert r.returncode == 0, r.stderr.decode(errors="replace")
    listing = subprocess.run([h.ffsbuild, "list", inst.exe], stdout=subprocess.PIPE, check=True).stdout.decode()
    assert {row.split()[3] for row in listing.splitlines()[2:]} == set(methods), listing
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
