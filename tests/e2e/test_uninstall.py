"""The uninstaller under Wine: a silent install and uninstall leave drive C
and HKEY_CURRENT_USER as they were; "No" leaves everything; a file the
person added survives with its folder; a second uninstall finds nothing; a
damaged record is refused; the Add/Remove Programs values as documented;
a folder replaced by a link keeps what lies behind it; two uninstallers run
at once; the group goes without Program Manager; the started uninstaller
ends only once the product's folder is gone."""
import glob
import hashlib
import os
import shutil
import subprocess
import time

import example

PRODUCT = "Gadget Uninstall Test"
DEST = "C:\\uninstall-e2e\\Gadget"
ARP = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + PRODUCT
SCRIPT = b"""COMPANY NAME: Acme Test
PRODUCT NAME: Gadget Uninstall Test
PRODUCT ID: Gadget Uninstall Test
INSTALL SCOPE: user
UNINSTALL: uninstall.exe
BREAK
REGISTRY PATH: Software\\Acme Test\\Gadget
INSTALL SIZE: 12
INSTALL DIR: uninstall-e2e\\Gadget
INSTALL PATH: Where should the gadget go?
FILE LIST: gadget.txt,sub\\data.txt
INSTALL
CREATE GROUP: Gadget Uninstall Test
ADD ITEM: gadget.txt | Gadget
DONE: Installed.
"""
FILES = {"gadget.txt": b"gadget\r\n", "sub/data.txt": b"data " * 100}
# What Wine itself changes while programs run, whoever runs them: below
# drive C nothing beyond the case folders the harness makes (left out of the
# comparison); in the registry the keys where its window code keeps the
# system parameters it made up for the display.
WINE_CHANGES = ("HKEY_CURRENT_USER\\Software\\Wine\\Temporary System Parameters",)


def install(h, case, script=SCRIPT):
    inst = h.build_installer(case, script, FILES)
    proc = h.run_installer(inst, "-silent", "-dir=" + DEST)
    assert h.wait_exit(proc, timeout=90) == 0, inst.log()
    return inst


def copies(h):
    """The uninstallers' copies in the temporary folder (~u, 16 random
    hexadecimal digits, .exe)."""
    return glob.glob(os.path.join(h.temp_dir(), "~u" + "[0-9a-f]" * 16 + ".exe"))


def copy_gone(h, timeout=60):
    """Waits until every uninstaller's copy in the temporary folder has
    ended (the system deletes its file then)."""
    end = time.time() + timeout
    while time.time() < end:
        if not copies(h):
            return
        time.sleep(0.3)
    raise AssertionError("the uninstaller's copy did not end: %s" % copies(h))


def start_uninstall(h, *args, program=DEST + "\\uninstall.exe", cwd=None, switch=("-uninstall",)):
    proc = h.wine([program] + list(switch) + list(args), cwd=cwd, wait=False)
    h.started.append(proc)
    return proc


def uninstall(h, *args, program=DEST + "\\uninstall.exe", cwd=None, switch=("-uninstall",)):
    """Runs the uninstaller, which ends with its copy's exit code, and waits
    for the copy's last step to end; returns the code."""
    code = h.wait_exit(start_uninstall(h, *args, program=program, cwd=cwd, switch=switch), timeout=90)
    copy_gone(h)
    return code


def tree(h):
    """drive_c below the case folders: {relative path: content digest}."""
    root = os.path.join(h.prefix, "drive_c")
    out = {}
    for base, dirs, files in os.walk(root):
        rel = os.path.relpath(base, root)
        if rel == "e2e" or rel.startswith("e2e" + os.sep):
            dirs[:] = []
            continue
        for name in dirs:
            out[os.path.join(rel, name)] = "link" if os.path.islink(os.path.join(base, name)) else "dir"
        for name in files:
            path = os.path.join(base, name)
            if os.path.islink(path):
                out[os.path.join(rel, name)] = "link"
                continue
            with open(path, "rb") as f:
                out[os.path.join(rel, name)] = hashlib.sha1(f.read()).hexdigest()
    return out


def hkcu(h, name):
    unix, win = h.case_dir("uninstall-export-" + name)
    r = h.wine(["reg", "export", "HKEY_CURRENT_USER", win + "\\hkcu.reg", "/y"])
    assert r.returncode == 0, r.stderr
    with open(os.path.join(unix, "hkcu.reg"), "rb") as f:
        data = f.read()
    keys, key = {}, None
    for line in data.decode("utf-16" if data[:2] == b"\xff\xfe" else "latin-1").splitlines():
        if line.startswith("["):
            key = line.strip("[]")
            keys[key] = []
        elif key is not None and line:
            keys[key].append(line)
    return keys


def differences(before, after):
    changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
    return [k for k in changed if not any(k.startswith(w) for w in WINE_CHANGES)]


def forget(h):
    """No earlier installation, group or uninstaller copy of these cases."""
    for copy in copies(h):
        h.wine(["taskkill", "/f", "/im", os.path.basename(copy)])
    copy_gone(h)
    for moved in glob.glob(os.path.join(h.temp_dir(), "~u" + "[0-9a-f]" * 16 + ".old")):
        os.remove(moved)  # an uninstaller moved there by a run that was ended early
    group = h.find_start_menu(PRODUCT)
    if group:
        shutil.rmtree(group)
    shutil.rmtree(os.path.join(h.prefix, "drive_c", "uninstall-e2e"), ignore_errors=True)
    h.wine(["reg", "delete", ARP, "/f"])
    h.wine(["reg", "delete", "HKCU\\Software\\Acme Test", "/f"])


def test_silent_uninstall_restores_drive_c_and_the_registry(h):
    forget(h)
    files_before, reg_before = tree(h), hkcu(h, "before")
    # UNINSTALL last, after INSTALL and DONE: the whole run is recorded all the same.
    install(h, "uninstall-silent", SCRIPT.replace(b"UNINSTALL: uninstall.exe\n", b"") + b"UNINSTALL: uninstall.exe\n")
    assert os.path.exists(h.drive_c(DEST + "\\sub\\DATA.TXT"))
    assert h.reg_query(ARP, "DisplayName") == PRODUCT
    # Once the started process has ended, the folder is gone: a deployment
    # tool checks then.
    assert h.wait_exit(start_uninstall(h, "-silent"), timeout=90) == 0
    assert not os.path.exists(h.drive_c(DEST))
    copy_gone(h)
    changed = differences(files_before, tree(h))
    assert changed == [], changed
    assert differences(reg_before, hkcu(h, "after")) == []


def close_group_windows(h, settle=5):
    """Closes Wine's windows of the new group, which may open late."""
    end = time.time() + settle
    while time.time() < end:
        h.close_folder_windows(PRODUCT)
        time.sleep(0.3)


def test_attended_install_and_uninstall_through_program_manager(h):
    forget(h)
    files_before, reg_before = tree(h), hkcu(h, "before-attended")
    attended_install(h, h.build_installer("uninstall-attended", SCRIPT, FILES))
    assert h.find_start_menu(PRODUCT, "Gadget.lnk")
    proc = start_uninstall(h)
    h.wait_gone(h.answer(PRODUCT, "y", timeout=60))
    # The report (its text is read in the case above: a window reader started
    # now can wait on the copy's Program Manager conversation).
    h.answer(PRODUCT, "Return", timeout=60)
    assert h.wait_exit(proc, timeout=60) == 0
    copy_gone(h)
    assert h.find_start_menu(PRODUCT) is None
    changed = differences(files_before, tree(h))
    assert changed == [], changed
    assert differences(reg_before, hkcu(h, "after-attended")) == []


def attended_install(h, inst):
    proc = h.run_installer(inst, "-dir=" + DEST)
    h.accept_destination(timeout=60)
    box = h.find_window("Installation Complete!", timeout=60)
    end = time.time() + 60
    while box in h.windows_titled(".") and time.time() < end:
        close_group_windows(h, settle=0)
        h.press(box, "Return")
        time.sleep(0.5)
    assert h.wait_exit(proc, timeout=60) == 0
    close_group_windows(h)


def test_the_group_goes_without_program_manager(h):
    """The group and its items (one with arguments, a shortcut the installer
    makes itself) go in a silent uninstall with no desktop, so that Program
    Manager is not there: after an attended install (Program Manager made the
    group) and after a silent one; the folder is gone once the started
    process has ended."""
    forget(h)
    script = SCRIPT.replace(b"DONE:", b"ADD ITEM: gadget.txt --flag | Gadget Flag\nDONE:")
    attended_install(h, h.build_installer("uninstall-group", script, FILES))
    for item in ("Gadget.lnk", "Gadget Flag.lnk"):
        assert h.find_start_menu(PRODUCT, item), item
    # No display, no desktop: no Program Manager (the server started with the
    # display is ended first, and again after, for the display's cases).
    subprocess.run(["wineserver", "-k"], env=h.env)
    bare = {k: v for k, v in h.env.items() if k != "DISPLAY"}
    proc = subprocess.Popen(["wine", DEST + "\\uninstall.exe", "-uninstall", "-silent"], env=bare,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    h.started.append(proc)
    code = h.wait_exit(proc, timeout=90)
    copy_gone(h)
    subprocess.run(["wineserver", "-k"], env=h.env)
    assert (code, h.find_start_menu(PRODUCT)) == (0, None)
    assert not os.path.exists(h.drive_c(DEST))

    install(h, "uninstall-group-silent", script)
    for item in ("Gadget.lnk", "Gadget Flag.lnk"):
        assert h.find_start_menu(PRODUCT, item), item
    assert h.wait_exit(start_uninstall(h, "-silent"), timeout=90) == 0
    assert (h.find_start_menu(PRODUCT), os.path.exists(h.drive_c(DEST))) == (None, False)
    copy_gone(h)


def test_add_remove_programs_values(h):
    forget(h)
    install(h, "uninstall-arp")
    exe = DEST + "\\uninstall.exe"
    expected = {
        "DisplayName": PRODUCT, "Publisher": "Acme Test", "InstallLocation": DEST,
        "UninstallString": '"%s" -uninstall' % exe, "QuietUninstallString": '"%s" -uninstall -silent' % exe,
        "EstimatedSize": "0xc", "DisplayIcon": exe, "NoModify": "0x1", "NoRepair": "0x1"}
    for name, data in expected.items():
        assert h.reg_query(ARP, name) == data, name
    # Started without "-uninstall" (as from the folder), it still uninstalls;
    # by a path relative to its folder, it still finds its record its own.
    assert uninstall(h, "-silent", program="uninstall.exe", cwd=h.drive_c(DEST), switch=()) == 0
    assert h.reg_query(ARP, "DisplayName") is None
    assert not os.path.exists(h.drive_c(DEST))


def test_no_keeps_everything_and_the_person_s_file_survives(h):
    forget(h)
    install(h, "uninstall-person")
    proc = start_uninstall(h)
    h.answer(PRODUCT, "n", timeout=60)
    assert h.wait_exit(proc, timeout=60) == 0
    copy_gone(h)
    for name in ("GADGET.TXT", "sub\\DATA.TXT", "uninstall.exe", "uninstall.dat"):
        assert os.path.exists(h.drive_c(DEST + "\\" + name)), name
    mine = h.drive_c(DEST + "\\mine")
    os.makedirs(mine)
    with open(os.path.join(mine, "notes.txt"), "wb") as f:
        f.write(b"mine")
    # Kept for the second uninstall below.
    keep = h.drive_c("C:\\uninstall-e2e\\keep")
    os.makedirs(keep)
    shutil.copy(h.drive_c(DEST + "\\uninstall.exe"), keep)
    # Now answered Yes, in person: the question, then the report.
    proc = start_uninstall(h)
    h.find_window(PRODUCT, timeout=60)
    assert example.box_text(h, PRODUCT) == "Remove %s and all of its components?" % PRODUCT
    h.wait_gone(h.answer(PRODUCT, "y"))
    h.find_window(PRODUCT, timeout=60)
    report = example.box_text(h, PRODUCT)
    # The files; sub (the product's folder holds the person's); the
    # shortcut and the group's folder.
    assert report == "%s was removed: 2 files, 1 directory, 1 shortcut, 1 group, 13 registry entries." % PRODUCT, \
        report
    h.answer(PRODUCT, "Return")
    assert h.wait_exit(proc, timeout=60) == 0
    copy_gone(h)
    assert os.listdir(h.drive_c(DEST)) == ["mine"]
    assert os.listdir(mine) == ["notes.txt"]
    assert h.reg_query("HKCU\\Software\\Acme Test\\Gadget", "Install Path") is None

    # Once more, from the kept copy: nothing is left, with its exit code.
    assert uninstall(h, "-silent", "-debug", program="C:\\uninstall-e2e\\keep\\uninstall.exe", cwd=keep) == 5
    # The copy keeps its log beside itself.
    log = os.path.join(h.temp_dir(), "debug.log")
    with open(log, "rb") as f:
        assert b"Unattended: no box 'Uninstall': There is nothing left to remove." in f.read()
    os.remove(log)


def test_a_damaged_record_is_refused_and_nothing_is_removed(h):
    forget(h)
    install(h, "uninstall-damaged")
    record = h.drive_c(DEST + "\\uninstall.dat")
    with open(record, "r+b") as f:
        f.seek(30)
        byte = f.read(1)
        f.seek(30)
        f.write(bytes([byte[0] ^ 1]))
    assert uninstall(h, "-silent") == 3
    for name in ("GADGET.TXT", "sub\\DATA.TXT", "uninstall.exe", "uninstall.dat"):
        assert os.path.exists(h.drive_c(DEST + "\\" + name)), name
    assert h.reg_query(ARP, "DisplayName") == PRODUCT


def test_a_folder_replaced_by_a_link_keeps_what_lies_behind_it(h):
    forget(h)
    install(h, "uninstall-link")
    # The person's folder, with a file of the installed file's name, in
    # place of the installed folder.
    theirs = h.drive_c("C:\\uninstall-e2e\\theirs")
    os.makedirs(theirs)
    with open(os.path.join(theirs, "DATA.TXT"), "wb") as f:
        f.write(b"theirs")
    shutil.rmtree(h.drive_c(DEST + "\\sub"))
    os.symlink(theirs, os.path.join(h.drive_c(DEST), "SUB"))
    assert uninstall(h, "-silent") == 0
    with open(os.path.join(theirs, "DATA.TXT"), "rb") as f:
        assert f.read() == b"theirs"
    assert not os.path.exists(h.drive_c(DEST + "\\GADGET.TXT"))
    assert h.reg_query(ARP, "DisplayName") is None


def test_two_uninstallers_at_once(h):
    forget(h)
    other, other_dest = PRODUCT + " Two", DEST + "Two"
    other_arp = ARP + " Two"
    h.wine(["reg", "delete", other_arp, "/f"])
    shutil.rmtree(h.drive_c(other_dest), ignore_errors=True)
    install(h, "uninstall-together-1")
    inst = h.build_installer("uninstall-together-2", SCRIPT.replace(PRODUCT.encode(), other.encode()), FILES)
    assert h.wait_exit(h.run_installer(inst, "-silent", "-dir=" + other_dest), timeout=90) == 0, inst.log()
    procs = [start_uninstall(h, "-silent"), start_uninstall(h, "-silent", program=other_dest + "\\uninstall.exe")]
    assert [h.wait_exit(p, timeout=90) for p in procs] == [0, 0]
    copy_gone(h)
    for dest, arp in ((DEST, ARP), (other_dest, other_arp)):
        assert not os.path.exists(h.drive_c(dest)), dest
        assert h.reg_query(arp, "DisplayName") is None, arp
    left = [name for name in os.listdir(h.temp_dir()) if name.startswith("~u")]
    assert left == [], left


def test_names_in_any_script_install_and_go(h):
    """Names in Russian, Greek, Japanese and an emoji, a product named in
    them and a destination below folders so named: the files arrive byte for
    byte under their names, the Start Menu group and shortcut under theirs,
    the registry holds the destination as it was given, and the uninstaller
    takes it all away again."""
    product = "Программа Ωμέγα 日本語 😀"
    arp = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product
    key = "HKCU\\Software\\Łukasz Soft\\Программа"
    dest = "C:\\users\\Łukasz\\Программы\\日本語"
    files = {"Документ.txt": b"\xd0\x94\xd0\xbe\xd0\xba\r\n", "Ελληνικά/αρχείο.txt": b"alpha " * 50,
             "日本語/ファイル.txt": bytes(range(256)), "😀/🎉.bin": b"\x00\xff" * 300}
    script = ("COMPANY NAME: Łukasz Soft\nPRODUCT NAME: %s\nPRODUCT ID: %s\nINSTALL SCOPE: user\n"
              "UNINSTALL: uninstall.exe\nREGISTRY PATH: Software\\Łukasz Soft\\Программа\nINSTALL SIZE: 12\n"
              "INSTALL DIR: Программы\nINSTALL PATH: Куда?\nFILE LIST: %s\nINSTALL\nCREATE GROUP: %s\n"
              "ADD ITEM: Документ.txt | Ярлык 🎉\nDONE: Готово.\n"
              % (product, product, ",".join(n.replace("/", "\\") for n in files), product)).encode()
    h.wine(["reg", "delete", arp, "/f"])
    h.wine(["reg", "delete", "HKCU\\Software\\Łukasz Soft", "/f"])
    shutil.rmtree(h.drive_c("C:\\users\\Łukasz"), ignore_errors=True)
    if h.find_start_menu(product):
        shutil.rmtree(h.find_start_menu(product))
    inst = h.build_installer("uninstall-scripts", script, files)
    assert h.wait_exit(h.run_installer(inst, "-silent", "-dir=" + dest), timeout=90) == 0, inst.log()
    for name, data in files.items():
        path = h.drive_c(dest + "\\" + name.replace("/", "\\"))
        with open(path, "rb") as f:
            assert f.read() == data, name
    assert os.path.basename(h.drive_c(dest)) == "日本語"
    assert h.find_start_menu(product, "Ярлык 🎉.lnk"), h.start_menu_dirs()
    # `wine reg query` finds the value by its Unicode names, but prints
    # through the console's code page, which has none of these letters: the
    # data is compared as `reg export` writes it, in UTF-16.
    assert h.reg_query(key, "Install Path") is not None
    assert h.reg_query(arp, "DisplayName") is not None
    exported = hkcu(h, "scripts")
    assert '"Install Path"="%s\\\\"' % dest.replace("\\", "\\\\") in exported[key.replace("HKCU", "HKEY_CURRENT_USER")]
    assert '"DisplayName"="%s"' % product in exported[arp.replace("HKCU", "HKEY_CURRENT_USER")]
    assert uninstall(h, "-silent", program=dest + "\\uninstall.exe") == 0
    assert not os.path.exists(h.drive_c(dest))
    assert h.reg_query(arp, "DisplayName") is None
    assert h.find_start_menu(product) is None
    shutil.rmtree(h.drive_c("C:\\users\\Łukasz"), ignore_errors=True)
    h.wine(["reg", "delete", "HKCU\\Software\\Łukasz Soft", "/f"])
