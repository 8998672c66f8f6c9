"""An installer whose every entry is packed with method 3 installs the
example product under Wine, each file byte for byte."""
import os
import subprocess

import harness

import example


def test_example_packed_with_method_3_installs_byte_identical(h):
    example.forget(h)
    built = example.build(h)
    unix, win = h.case_dir("example-method3")
    inst = harness.Installer(unix, win)
    r = subprocess.run([h.ffsbuild, "build", "-o", inst.exe, "--stub", h.install_exe, "-m", "3",
                        os.path.join(harness.ROOT, "examples", "setup.txt"), os.path.join(built, "payload")],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert r.returncode == 0, r.stderr.decode(errors="replace")
    listing = subprocess.run([h.ffsbuild, "list", inst.exe], stdout=subprocess.PIPE, check=True).stdout.decode()
    rows = listing.splitlines()[2:]
    assert rows and all(row.split()[3] == "3" for row in rows), listing

    proc = h.run_installer(inst, "-debug")
    example.accept_pages(h)
    assert example.finish(h, proc) == 0
    log = inst.log()
    assert log.endswith(b"Successful Exit...\r\n"), log[-400:]
    assert b"Failed to decompress file" not in log and b"Command Failed" not in log, log
    for name, data in example.installed(h, example.DEFAULT_DIR, example.FILES).items():
        assert data == example.payload(h, name), name
