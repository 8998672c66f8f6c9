"""The shell integration under Wine: Program Manager groups and items become
folders and shortcuts in the prefix's Start Menu, and OLE runs a real
library's self-registration (tests/win32/selfreg, which records each call in
selfreg.log beside itself)."""
import os
import shutil

from harness import read_log

GROUP = "Vantor Shell Test"


def test_create_group_and_add_item_make_the_start_menu_entries(h):
    unix, win = h.case_dir("shell-items")
    shutil.copy(h.install_exe, os.path.join(unix, "app.exe"))
    target = win + "\\app.exe"
    inst = h.build_installer("shell-items-installer", b"BREAK\nCREATE GROUP: %s\nADD ITEM: %s | Vantor App\n" %
                             (GROUP.encode(), target.encode()))
    for base in h.start_menu_dirs():
        shutil.rmtree(os.path.join(base, GROUP), ignore_errors=True)
    proc = h.run_installer(inst, "-debug")
    assert h.wait_exit(proc) == 0  # the script's end closes the window
    log = inst.log()
    assert b"Couldn't get ProgMan" not in log, log
    assert b"Unable to execute" not in log, log
    # Wine's shell shows the new group in a window of its own
    group_window = h.find_window(GROUP)
    h.grab("shell-group")
    assert h.find_start_menu(GROUP), h.start_menu_dirs()
    link = h.find_start_menu(GROUP, "Vantor App.lnk")
    assert link, os.listdir(h.find_start_menu(GROUP))
    data = read_log(link)
    assert target.encode() in data or target.encode("utf-16-le") in data, data
    h.close_window(group_window)
    h.wait_gone(group_window)


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
