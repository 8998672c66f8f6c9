"""User and machine installs under Wine: a machine install's entry lies
below HKEY_LOCAL_MACHINE with the version given to the builder; a user
install goes into the person's own program folder and writes nothing below
HKEY_LOCAL_MACHINE; both uninstall cleanly. A second installer of the same
product started while the first runs ends with 1618 and changes nothing."""
import os
import shutil

import test_uninstall as u

ARP = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantor Tests Scope"
SCRIPT = b"""COMPANY NAME: Acme Test
PRODUCT NAME: Scope 2.1
REGISTRY PATH: Software\\Vantor Tests\\Scope
%s
BREAK
INSTALL DIR: Vantor Scope
INSTALL PATH: Where?
FILE LIST: app.txt
INSTALL
UNINSTALL: uninstall.exe
DONE: Installed.
"""
FILES = {"app.txt": b"app\r\n"}


def view(h):
    """The registry view the installer writes: a 32-bit installer's
    HKEY_LOCAL_MACHINE\\Software is the 32-bit one."""
    return ["/reg:64"] if h.cc.startswith("x86_64") else ["/reg:32"]


def machine(h, value):
    return h.reg_query("HKLM\\" + ARP, value, *view(h))


def hklm_software(h, name):
    unix, win = h.case_dir("scope-export-" + name)
    r = h.wine(["reg", "export", "HKLM\\Software", win + "\\hklm.reg", "/y"] + view(h))
    assert r.returncode == 0, r.stderr
    with open(os.path.join(unix, "hklm.reg"), "rb") as f:
        data = f.read()
    return data.decode("utf-16" if data[:2] == b"\xff\xfe" else "latin-1")


def forget(h):
    h.wine(["reg", "delete", "HKCU\\" + ARP, "/f"])
    h.wine(["reg", "delete", "HKLM\\" + ARP, "/f"] + view(h))
    h.wine(["reg", "delete", "HKCU\\Software\\Vantor Tests\\Scope", "/f"])


def test_machine_and_user_installs(h):
    forget(h)
    inst = h.build_installer("scope-machine", SCRIPT % b"", FILES, options=["--version", "2.1.0.7"])
    dest = "C:\\Program Files\\Vantor Scope"
    assert h.wait_exit(h.run_installer(inst, "-silent"), timeout=90) == 0, inst.log()
    assert os.path.exists(h.drive_c(dest + "\\app.txt"))
    assert machine(h, "DisplayVersion") == "2.1.0.7"
    assert machine(h, "DisplayName") == "Scope 2.1"
    assert h.reg_query("HKCU\\" + ARP, "DisplayName") is None
    assert u.uninstall(h, "-silent", program=dest + "\\uninstall.exe") == 0
    assert machine(h, "DisplayName") is None
    assert not os.path.exists(h.drive_c(dest))

    forget(h)
    before = hklm_software(h, "before")
    inst = h.build_installer("scope-user", SCRIPT % b"INSTALL SCOPE: user", FILES)
    assert h.wait_exit(h.run_installer(inst, "-silent", "-debug"), timeout=90) == 0, inst.log()
    proposed = [line for line in inst.log().decode(errors="replace").splitlines() if "user's program folder" in line]
    assert proposed and "\\AppData\\Local\\Programs\\" in proposed[0], inst.log()
    folder = proposed[0].split("'")[-2] + "Vantor Scope"
    assert os.path.exists(h.drive_c(folder + "\\app.txt")), folder
    assert h.reg_query("HKCU\\" + ARP, "InstallLocation") == folder
    assert hklm_software(h, "after") == before
    assert u.uninstall(h, "-silent", program=folder + "\\uninstall.exe") == 0
    assert h.reg_query("HKCU\\" + ARP, "DisplayName") is None
    assert not os.path.exists(h.drive_c(folder))


def test_a_second_installer_of_the_product_ends_with_1618(h):
    forget(h)
    dest = "C:\\e2e\\scope-twice-dest"
    shutil.rmtree(h.drive_c(dest), ignore_errors=True)
    first = h.build_installer("scope-first", SCRIPT % b"PRODUCT VERSION: 1", FILES)
    second = h.build_installer("scope-second", SCRIPT % b"PRODUCT VERSION: 2", FILES)
    running = h.run_installer(first, "-debug")
    h.find_window("Installation Directory...")  # the first waits at its destination
    assert h.wait_exit(h.run_installer(second, "-silent", "-debug", "-dir=" + dest), timeout=90) == 1618 & 0xFF
    assert second.log().endswith(b"Exit with code 1618...\r\n"), second.log()[-200:]
    assert b"Another installation of Scope 2.1 is running." in second.log()
    assert not os.path.exists(h.drive_c(dest))
    running.kill()
    running.wait()
    h.end_case()
    assert h.wait_exit(h.run_installer(second, "-silent", "-dir=" + dest), timeout=90) == 0, second.log()
    assert u.uninstall(h, "-silent", program=dest + "\\uninstall.exe") == 0
