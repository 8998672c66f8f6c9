"""The run's journal under Wine: an update over version 1 that fails after
INSTALL and DONE leaves version 1 byte for byte (its files, its uninstaller
and record, its registry value) with no journal or backup beside the
destination; a successful installation leaves no journal either."""
import os
import shutil

import test_uninstall as u

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
    return {k: v for k, v in u.tree(h).items() if k.startswith("journal-e2e")}


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
