"""The example product (examples/) installed under Wine through every page,
and its update installer with and without an earlier installation."""
import os

import example


def test_example_installs_through_every_page(h):
    example.forget(h)
    inst = example.place(h, "example-setup")
    proc = h.run_installer(inst, "-debug")
    example.accept_pages(h, on_welcome=lambda h: h.grab("example-backdrop"))
    assert example.finish(h, proc) == 0
    log = inst.log()
    assert log.endswith(b"Successful Exit...\r\n"), log[-400:]
    assert b"Command Failed" not in log, log
    assert b"Install Path   : %s [Acme\\Widget 2000\\]\r\n" % example.DEFAULT_DIR.encode() in log, log

    # Every file byte for byte; below the chosen folder, the names as the
    # script's patterns give them (the payload's), directories included.
    for name, data in example.installed(h, example.DEFAULT_DIR, example.FILES).items():
        assert data == example.payload(h, name), name
    top = h.drive_c(example.DEFAULT_DIR)
    assert os.path.basename(top) == "Widget 2000"  # the chosen folder keeps its case
    assert sorted(os.listdir(top)) == ["bin", "data", "docs"], os.listdir(top)
    assert sorted(os.listdir(os.path.join(top, "docs"))) == ["manual", "readme.txt"]
    assert sorted(os.listdir(os.path.join(top, "data", "samples"))) == ["circle.wdg", "square.wdg"]

    assert h.reg_query(example.KEY, "Install Path") == example.DEFAULT_DIR
    assert h.reg_query(example.KEY + "\\Extension", "State") == "registered"  # OLE ran the extension
    for shortcut in example.SHORTCUTS:
        assert h.find_start_menu(example.GROUP, shortcut), shortcut
    # The font for the run is gone with the run.
    assert not os.path.exists(os.path.join(h.temp_dir(), "WIDGET.TTF"))


def test_update_without_an_installation_says_so_and_ends(h):
    example.forget(h)
    inst = example.place(h, "example-update-alone", "update.exe")
    proc = h.run_installer(inst, "-debug")
    text = example.box_text(h, "Installation Problem...")
    assert text == "Widget 2000 must be installed before Update 1 can be applied.", text
    h.key_until_gone(h.find_window("Installation Problem..."), "Return")
    assert h.wait_exit(proc) == 5  # no earlier installation
    log = inst.log()
    assert b"Registry path does not exist (Software\\Acme\\Widget 2000)\r\n" in log, log
    assert b"Command Failed 'UPDATE'\r\n" in log, log


def test_update_over_an_installation_finds_its_folder(h):
    example.forget(h)
    place = "C:\\Widgets\\W2K\\"
    h.wine(["reg", "add", example.KEY, "/v", "Install Path", "/t", "REG_SZ", "/d", place, "/f"])
    inst = example.place(h, "example-update", "update.exe")
    proc = h.run_installer(inst, "-debug")
    dialog = example.destination_window(h, timeout=30)
    assert example.control_text(h, example.PATH_CAPTION, 1009) == place  # proposed as recorded
    h.press(dialog, "Return")
    h.key_until_gone(example.question_box(h, dialog), "y")
    example.close_editor(h, "changes.txt - Notepad", timeout=30)
    h.key_until_gone(h.find_window("Installation Complete!"), "Return")
    assert h.wait_exit(proc) == 0
    for name, data in example.installed(h, place, example.UPDATE_FILES).items():
        assert data == example.payload(h, name, update=True), name
    assert b"Command Failed" not in inst.log()
