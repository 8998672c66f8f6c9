"""The 64-bit product: an installer built with ffsbuild build --arch x64
(install64.exe), the vendor's icon and version block and a signature, under
64-bit Wine whichever product the run is on. It proposes the 64-bit Program
Files, its values land in the registry's 64-bit view, and the uninstaller
it writes is a 64-bit program that removes them again. The machine's
Add/Remove Programs entry (HKEY_LOCAL_MACHINE\\Software, which the system
keeps apart for 32-bit programs) tells the views apart."""
import os
import subprocess

import harness
import test_resources
import test_signing
import test_uninstall

PRODUCT = "Gadget64 Test"
KEY = "HKCU\\Software\\Acme Test\\Gadget64"
ARP = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Test Gadget64"
DEST = "C:\\Program Files\\Acme Test\\Gadget64\\"
SCRIPT = b"""COMPANY NAME: Acme Test
PRODUCT NAME: Gadget64 Test
UNINSTALL: uninstall.exe
BREAK
REGISTRY PATH: Software\\Acme Test\\Gadget64
INSTALL DIR: Acme Test\\Gadget64
INSTALL PATH: Where should the gadget go?
FILE LIST: gadget.txt
INSTALL
DONE: Installed.
"""


def test_64_bit_installer_uses_program_files_and_the_64_bit_registry_view(h):
    for key in (KEY, ARP):
        h.wine(["reg", "delete", key, "/f", "/reg:64"])
    unix, win = h.case_dir("x64-product")
    os.makedirs(os.path.join(unix, "payload"))
    with open(os.path.join(unix, "payload", "gadget.txt"), "wb") as f:
        f.write(b"64-bit gadget\r\n")
    with open(os.path.join(unix, "setup.txt"), "wb") as f:
        f.write(SCRIPT)
    inst = harness.Installer(unix, win)
    pfx, password, pem = test_signing.certificate(h)
    r = subprocess.run([h.ffsbuild, "build", "-o", inst.exe, "--arch", "x64", "--icon", test_resources.vendor_icon(h),
                        "--version", "6.4", "--sign", pfx, "--sign-password-file", password,
                        os.path.join(unix, "setup.txt"), os.path.join(unix, "payload")],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    assert r.returncode == 0 and b", signed\n" in r.stdout, r.stdout
    assert harness.pe_machine(inst.exe) == 0x8664
    r = subprocess.run([h.ffsbuild, "verify", "--ca", pem, inst.exe], stdout=subprocess.PIPE, text=True)
    assert r.returncode == 0 and "integrity record matches" in r.stdout, r.stdout

    proc = h.run_installer(inst, "-silent", "-debug")
    assert h.wait_exit(proc, timeout=90) == 0, inst.log()
    dest = h.drive_c(DEST)
    with open(os.path.join(dest, "gadget.txt"), "rb") as f:
        assert f.read() == b"64-bit gadget\r\n"
    assert not os.path.exists(h.drive_c("C:\\Program Files (x86)\\Acme Test")), "landed in Program Files (x86)"
    uninstaller = os.path.join(dest, "uninstall.exe")
    assert harness.pe_machine(uninstaller) == 0x8664, "the uninstaller is not a 64-bit program"
    assert h.reg_query(KEY, "Install Path", "/reg:64") == DEST
    assert h.reg_query(ARP, "UninstallString", "/reg:64") == '"%suninstall.exe" -uninstall' % DEST
    assert h.reg_query(ARP, "UninstallString", "/reg:32") is None, "the entry is in the 32-bit view"

    assert test_uninstall.uninstall(h, "-silent", program=DEST + "uninstall.exe") == 0
    assert not os.path.exists(dest)
    assert h.reg_query(KEY, "Install Path", "/reg:64") is None
    assert h.reg_query(ARP, "UninstallString", "/reg:64") is None
