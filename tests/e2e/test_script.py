"""install.exe running a script built with ffsbuild: the first stretch up to
the BREAK, and an unknown keyword."""
import os
import subprocess

from harness import read_log


def build_installer(h, case, script, files=None):
    """Writes the script and payload, builds install.exe with ffsbuild build;
    returns (unix dir, windows dir)."""
    unix, win = h.case_dir(case)
    payload = os.path.join(unix, "payload")
    os.makedirs(payload)
    for name, data in (files or {}).items():
        with open(os.path.join(payload, name), "wb") as f:
            f.write(data)
    source = os.path.join(unix, "setup.txt")
    with open(source, "wb") as f:
        f.write(script)
    r = subprocess.run([h.ffsbuild, "build", "-o", os.path.join(unix, "install.exe"), "--stub", h.install_exe,
                        source, payload], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert r.returncode == 0, r.stderr
    return unix, win


def test_first_stretch_runs_to_the_break(h):
    unix, win = build_installer(h, "script-first-stretch",
                                b"PRODUCT NAME: Widget\nFILE LIST: readme.txt\nBREAK\nINSTALL\n",
                                {"readme.txt": b"hello\r\n"})
    r = h.wine([win + "\\install.exe", "-debug"], cwd=unix)
    assert r.returncode == 0, r.returncode
    log = read_log(os.path.join(unix, "debug.log"))
    assert b"Flat/Fast File System Initialized...\r\n" in log, log
    assert b"Break Encountered\r\n" in log, log
    # INSTALL stands behind the BREAK: it cannot belong to the first stretch
    assert log.find(b"'INSTALL'") == -1 or log.find(b"'INSTALL'") > log.find(b"Break Encountered"), log
    assert log.endswith(b"Successful Exit...\r\n"), log[-200:]
    assert b"Not all memory was free'd" not in log


def test_unknown_keyword_shows_its_box(h):
    unix, win = build_installer(h, "script-unknown", b"!NOPE: x\nBREAK\n")
    rc = h.wine_answering([win + "\\install.exe", "-debug"], "Unknown script keyword...", cwd=unix)
    assert rc == 2, rc
    log = read_log(os.path.join(unix, "debug.log"))
    assert b"Unknown command 'NOPE'\r\n" in log, log
    assert b"Break Encountered" not in log
    assert log.endswith(b"Exit with code 2...\r\n"), log[-200:]
