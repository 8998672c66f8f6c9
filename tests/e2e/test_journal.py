"""The run's journal under Wine: an update over version 1 that fails after
INSTALL and DONE leaves version 1 byte for byte (its files, its uninstaller
and record, its registry value) with no journal or backup beside the
destination; a successful installation leaves no journal either; an update
killed half-way is undone by the next run."""
import hashlib
import os
import shutil
import signal
import subprocess
import time


PRODUCT = "Gadget Journal Test"
DEST = "C:\\journal-e2e\\Gadget"
SCRIPT = b"""COMPANY NAME: Acme Test
PRODUCT NAME: Gadget Journal Test
PRODUCT ID: Gadget Journal Test
INSTALL SCOPE: user
UNINSTALL: uninstall.exe
REGISTRY PATH: Software\\Acme Test\\Gadget Journal
INSTALL DIR: journal-e2e\\Gadget
INSTALL PATH: Where should the gadget go?
FILE LIST: gadget.txt,sub\\data.txt
INSTALL
DONE: Installed.
"""
V1 = {"gadget.txt": b"gadget 1\r\n", "sub/data.txt": b"data 1 " * 100}
V2 = {"gadget.txt": b"gadget 2\r\n", "sub/data.txt": b"data 2 " * 300}


def below(h):
    """drive_c's journal-e2e folder: {relative path: content digest}."""
    root = os.path.join(h.prefix, "drive_c")
    out = {}
    for base, dirs, files in os.walk(os.path.join(root, "journal-e2e")):
        for name in dirs + files:
            path = os.path.join(base, name)
            if name in dirs:
                out[os.path.relpath(path, root)] = "dir"
                continue
            with open(path, "rb") as f:
                out[os.path.relpath(path, root)] = hashlib.sha1(f.read()).hexdigest()
    return out


def run(h, case, script, files):
    inst = h.build_installer(case, script, files)
    return inst, h.wait_exit(h.run_installer(inst, "-silent", "-debug", "-dir=" + DEST), timeout=90)


def test_a_failed_update_leaves_version_1_and_no_journal(h):
    shutil.rmtree(os.path.join(h.prefix, "drive_c", "journal-e2e"), ignore_errors=True)
    inst, code = run(h, "journal-v1", SCRIPT, V1)
    assert code == 0, inst.log()
    assert b"Rollback" not in inst.log(), inst.log()
    version1 = below(h)
    assert not [k for k in version1 if ".~journal" in k], version1
    assert h.reg_query("HKCU\\Software\\Acme Test\\Gadget Journal", "Install Path") == DEST + "\\"
    # Version 2 fails after INSTALL and DONE: a keyword the runtime does not know.
    inst, code = run(h, "journal-v2", SCRIPT + b"!NOPE: after the copy\n", V2)
    assert code == 2, inst.log()
    log = inst.log()
    assert b"Rollback: restored '" + DEST.encode() + b"\\gadget.txt'" in log, log
    assert b"Rollback: the installation was undone; nothing was changed" in log, log
    assert below(h) == version1
    assert h.reg_query("HKCU\\Software\\Acme Test\\Gadget Journal", "Install Path") == DEST + "\\"
    shutil.rmtree(os.path.join(h.prefix, "drive_c", "journal-e2e"), ignore_errors=True)
    h.wine(["reg", "delete", "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + PRODUCT, "/f"])
    h.wine(["reg", "delete", "HKCU\\Software\\Acme Test\\Gadget Journal", "/f"])


def test_a_killed_update_is_undone_by_the_next_run(h):
    """The installer is killed half-way through 200 MB: the next run undoes
    what it left before it changes anything (checked with a run that fails
    and so leaves the machine as the killed one found it), then installs."""
    shutil.rmtree(os.path.join(h.prefix, "drive_c", "journal-e2e"), ignore_errors=True)
    inst, code = run(h, "journal-kill-v1", SCRIPT, V1)
    assert code == 0, inst.log()
    version1 = below(h)
    big = {"big/%02d.bin" % i: os.urandom(10 << 20) for i in range(20)}
    v2 = h.build_installer("journal-kill-v2", SCRIPT.replace(b"sub\\data.txt", b"sub\\data.txt,big\\*.bin"),
                           dict(V2, **big))
    proc = h.run_installer(v2, "-silent", "-dir=" + DEST)
    written = os.path.join(h.prefix, "drive_c", "journal-e2e", "Gadget", "big")
    end = time.time() + 60
    while proc.poll() is None and time.time() < end and len(os.listdir(written) if os.path.isdir(written) else []) < 4:
        time.sleep(0.02)
    assert proc.poll() is None, "the installation ended before it could be killed"
    ps = subprocess.run(["ps", "-eo", "pid,args"], stdout=subprocess.PIPE).stdout.decode(errors="replace")
    for line in ps.splitlines():
        if v2.exe_win in line or line.split(None, 1)[0] == str(proc.pid):
            os.kill(int(line.split(None, 1)[0]), signal.SIGKILL)
    proc.wait(timeout=30)
    left = below(h)
    assert [k for k in left if ".~journal" in k] and left != version1, left
    # The next run undoes the unfinished one first; this one then fails and
    # undoes itself: what remains is version 1 as it was.
    inst, code = run(h, "journal-kill-fails", SCRIPT + b"!NOPE: after the copy\n", V1)
    assert code == 2, inst.log()
    assert b"Rollback: an unfinished installation to '" + DEST.encode() + b"\\' is undone" in inst.log(), inst.log()
    assert below(h) == version1
    assert h.reg_query("HKCU\\Software\\Acme Test\\Gadget Journal", "Install Path") == DEST + "\\"
    # And then an update goes through, leaving no journal.
    code = h.wait_exit(h.run_installer(v2, "-silent", "-debug", "-dir=" + DEST), timeout=120)
    assert code == 0, v2.log()
    after = below(h)
    assert not [k for k in after if ".~journal" in k], after
    assert len([k for k in after if k.endswith(".bin")]) == 20
    shutil.rmtree(os.path.join(h.prefix, "drive_c", "journal-e2e"), ignore_errors=True)
    shutil.rmtree(v2.unix, ignore_errors=True)  # 400 MB of payload and installer
    h.wine(["reg", "delete", "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + PRODUCT, "/f"])
    h.wine(["reg", "delete", "HKCU\\Software\\Acme Test\\Gadget Journal", "/f"])
