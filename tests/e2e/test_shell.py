"""The shell integration under Wine: Program Manager groups and items become
folders and shortcuts in the prefix's Start Menu, and OLE runs a real
library's self-registration (tests/win32/selfreg, which records each call in
selfreg.log beside itself)."""
import os
import shutil

from harness import ROOT, read_log

GROUP = "Vantor Shell Test"


def test_create_group_and_add_item_point_at_the_installed_program(h):
    directory = "C:\\Program Files\\Vantor Shell Case\\"
    shutil.rmtree(h.drive_c(directory), ignore_errors=True)
    shutil.rmtree(h.drive_c(directory[:-1] + ".~journal"), ignore_errors=True)
    for base in h.start_menu_dirs():
        shutil.rmtree(os.path.join(base, GROUP), ignore_errors=True)
        shutil.rmtree(os.path.join(base, GROUP + " Undone"), ignore_errors=True)
    with open(h.install_exe, "rb") as f:
        program = f.read()
    inst = h.build_installer("shell-items", b"PRODUCT NAME: Shell Case\nBREAK\nINSTALL DIR: Vantor Shell Case\n"
                             b"INSTALL PATH: Where to?\nFILE LIST: bin\\app.exe\nINSTALL\nCREATE GROUP: %s\n"
                             b"ADD ITEM: bin\\app.exe | Vantor App\nADD ITEM: bin\\app.exe --version | Vantor App Version\n"
                             % GROUP.encode(), {"bin/app.exe": program})
    proc = h.run_installer(inst, "-debug")
    h.accept_destination()
    assert h.wait_exit(proc) == 0  # the script's end closes the window
    log = inst.log()
    assert b"Couldn't get ProgMan" not in log and b"Unable to execute" not in log, log
    target = directory + "bin\\app.exe"
    assert os.path.exists(h.drive_c(target)), log
    # Wine's shell shows the new group in a window of its own
    group_window = h.find_window(GROUP)
    h.grab("shell-group")
    link = h.find_start_menu(GROUP, "Vantor App.lnk")
    assert link, h.find_start_menu(GROUP) and os.listdir(h.find_start_menu(GROUP))
    data = read_log(link)
    assert target.encode() in data or target.encode("utf-16-le") in data, data
    # with arguments: the program and its arguments apart in the shortcut
    data = read_log(h.find_start_menu(GROUP, "Vantor App Version.lnk"))
    assert (target + " ").encode() not in data and (target + " ").encode("utf-16-le") not in data, data
    assert target.encode() in data or target.encode("utf-16-le") in data, data
    assert b"--version" in data or "--version".encode("utf-16-le") in data, data
    h.close_window(group_window)
    h.wait_gone(group_window)
    # A run that fails after its group and item takes both away again.
    shutil.rmtree(h.drive_c(directory), ignore_errors=True)
    undone = GROUP + " Undone"
    inst = h.build_installer("shell-items-undone", b"PRODUCT NAME: Shell Case\nBREAK\nINSTALL DIR: Vantor Shell Case\n"
                             b"INSTALL PATH: Where to?\nFILE LIST: bin\\app.exe\nINSTALL\nCREATE GROUP: %s\n"
                             b"ADD ITEM: bin\\app.exe | Vantor App\n!NOPE: after the group\n" % undone.encode(),
                             {"bin/app.exe": program})
    proc = h.run_installer(inst, "-debug")
    h.accept_destination()
    group_window = h.find_window(undone)  # closed first, so that the boxes get the keys
    h.close_window(group_window)
    h.wait_gone(group_window)
    assert h.find_start_menu(undone, "Vantor App.lnk"), inst.log()
    h.key_until_gone(h.find_window("Unknown script keyword..."), "Return")
    h.key_until_gone(h.find_window("Shell Case Installation..."), "y")
    h.key_until_gone(h.find_window("Installation Problem..."), "Return")
    assert h.wait_exit(proc) == 2
    log = inst.log()
    assert b"Vantor App.lnk'" in log and b"Rollback: removed directory '" in log, log
    assert h.find_start_menu(undone) is None, os.listdir(h.find_start_menu(undone))


def test_font_is_there_for_the_run_and_gone_after_it(h):
    # the example product's own font, drawn by examples/tools/make-font.py
    with open(os.path.join(ROOT, "examples", "payload", "WIDGET.TTF"), "rb") as f:
        font = f.read()
    inst = h.build_installer("shell-font", b"FONT: 1 | VANTORFT.TTF\n"
                             b"STRING: 1 | Widget Pixel | 0 | 0.1 | 0.5 | 0.5 | 255, 255, 0 | CENTERX | Font for the run\n"
                             b"BREAK\nBREAK\n", {"VANTORFT.TTF": font})
    temp = os.path.join(h.temp_dir(), "VANTORFT.TTF")
    proc = h.run_installer(inst, "-debug")
    window = h.find_window(" Installation")
    h.grab("shell-font")
    assert os.path.exists(temp), temp  # copied there and added
    h.close_window(window)
    assert h.wait_exit(proc) == 0
    log = inst.log()
    assert b"Unable to add font" not in log and b"Unable to remove font" not in log, log
    assert b"Non-fatal unable to delete" not in log, log
    assert not os.path.exists(temp), temp  # removed and deleted at the end


def test_ole_calls_the_librarys_entry_points(h):
    unix, win = h.case_dir("shell-ole")
    shutil.copy(h.selfreg_dll, os.path.join(unix, "selfreg.dll"))
    with open(os.path.join(unix, "notalib.dll"), "wb") as f:
        f.write(b"plain text, not a library\r\n")
    lib, text = win + "\\selfreg.dll", win + "\\notalib.dll"
    inst = h.build_installer("shell-ole-installer", b"BREAK\nOLE: REGISTER | %s\nOLE: unregister | %s\n"
                             b"OLE: REGISTER | %s\n" % (lib.encode(), lib.encode(), text.encode()))
    proc = h.run_installer(inst, "-debug")
    assert h.wait_exit(proc) == 0
    assert read_log(os.path.join(unix, "selfreg.log")) == b"DllRegisterServer\nDllUnregisterServer\n"
    log = inst.log()
    # a file that is no library is reported, and the script goes on
    assert b"Error attempting to load '%s' (0x000000C1)\r\n" % text.encode() in log, log
    assert log.index(b"Error attempting to load") < log.rindex(b"Company Name   : "), log
    assert log.endswith(b"Successful Exit...\r\n"), log[-200:]
