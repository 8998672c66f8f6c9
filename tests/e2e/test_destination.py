"""The destination dialog under Wine: what it proposes, the free-space
figures, the refusals of Continue, the question, Exit Setup and Browse. The
dialog's texts are read from the running program (example.wintext)."""
import example

KEY = "HKCU\\Software\\Vantor Tests\\Gadget"
DEFAULT = "C:\\Program Files\\Vantor Gadget\\"
PROBLEM = "Installation Problem..."


def gadget(h, case, size=0):
    h.wine(["reg", "delete", KEY, "/f"])
    script = (b"PRODUCT NAME: Gadget\nREGISTRY PATH: Software\\Vantor Tests\\Gadget\nINSTALL SIZE: %d\nBREAK\n"
              b"INSTALL DIR: Vantor Gadget\nINSTALL PATH: Where should Gadget go?\nFILE LIST: gadget.txt\nINSTALL\n"
              b"DONE: Gadget is installed.\n" % size)
    inst = h.build_installer(case, script, {"gadget.txt": b"gadget\r\n"})
    return inst, h.run_installer(inst, "-debug")


def confirm(h, dialog, expect_dir):
    """Continue, then Yes to "Install Gadget into DIR?"."""
    h.press(dialog, "Return")
    box = example.question_box(h, dialog)
    assert example.box_text(h, example.PATH_CAPTION) == "Install Gadget into %s?" % expect_dir
    h.key_until_gone(box, "y")


def finish(h, inst, proc, directory):
    h.key_until_gone(h.find_window("Installation Complete!"), "Return")
    assert h.wait_exit(proc) == 0
    log = inst.log()
    assert b"Install Path   : %s [Vantor Gadget\\]\r\n" % directory.encode() in log, log
    assert h.reg_query(KEY, "Install Path") == directory
    with open(h.drive_c(directory + "GADGET.TXT"), "rb") as f:
        assert f.read() == b"gadget\r\n"
    return log


def refusal(h, dialog):
    """Continue; returns the text of the problem box, which is then closed."""
    h.press(dialog, "Return")
    text = example.box_text(h, PROBLEM)
    h.key_until_gone(h.find_window(PROBLEM), "Return")
    return text


def test_default_proposal_and_figures(h):
    inst, proc = gadget(h, "dest-default", size=1234)
    dialog = example.destination_window(h)
    text = lambda i: example.control_text(h, example.PATH_CAPTION, i)  # noqa: E731
    assert text(1009) == DEFAULT
    assert text(1015) == "Where should Gadget go?"
    assert text(1012) == "1,234k"
    free = int(text(1011).rstrip("k").replace(",", ""))
    assert text(1013) == "{:,}k".format(free - 1234)
    h.grab("destination-dialog")
    confirm(h, dialog, DEFAULT)
    log = finish(h, inst, proc, DEFAULT)
    assert b"Free Space Ex : " in log, log


def test_an_earlier_installation_is_proposed(h):
    earlier = "C:\\Gadget From Before\\"
    script = b"REGISTRY PATH: Software\\Vantor Tests\\Gadget\nBREAK\nINSTALL DIR: Vantor Gadget\nINSTALL PATH: Where?\n"
    inst = h.build_installer("dest-earlier", script)
    h.wine(["reg", "add", KEY, "/v", "Install Path", "/t", "REG_SZ", "/d", earlier, "/f"])
    proc = h.run_installer(inst, "-debug")
    h.find_window(example.PATH_CAPTION)
    assert example.control_text(h, example.PATH_CAPTION, 1009) == earlier
    h.press(example.destination_window(h), "Escape")
    h.key_until_gone(h.find_window(" Installation..."), "y")
    assert h.wait_exit(proc) == 1602 & 0xFF  # cancelled by the person (Wine hands on the low byte)
    assert inst.log().endswith(b"Exit with code 1602...\r\n"), inst.log()[-200:]


def test_a_typed_directory_gets_its_backslash(h):
    inst, proc = gadget(h, "dest-typed")
    dialog = example.destination_window(h)
    example.type_destination(h, dialog, "C:\\Gadget Typed")
    confirm(h, dialog, "C:\\Gadget Typed\\")
    finish(h, inst, proc, "C:\\Gadget Typed\\")


def test_too_little_space_is_shown_and_continue_refused_then_exit_setup_asks_to_abort(h):
    inst, proc = gadget(h, "dest-space", size=2000000000)  # 2 TB
    dialog = example.destination_window(h)
    assert example.control_text(h, example.PATH_CAPTION, 1013) == "Not enough space"
    assert refusal(h, dialog) == "The drive you have selected does not have enough free space."
    h.press(dialog, "Escape")  # "Exit Setup"
    h.key_until_gone(h.find_window("Gadget Installation..."), "y")
    assert h.wait_exit(proc) == 1602 & 0xFF
    assert inst.log().endswith(b"Exit with code 1602...\r\n"), inst.log()[-200:]
    assert b"Command Failed 'INSTALL PATH'\r\n" in inst.log()


def test_a_drive_that_is_not_there_is_refused_and_no_asks_again(h):
    inst, proc = gadget(h, "dest-nodrive")
    dialog = example.destination_window(h)
    example.type_destination(h, dialog, "Q:\\Gadget")
    assert refusal(h, dialog) == "The drive you have selected cannot be located."
    h.press(dialog, "Escape")
    h.key_until_gone(h.find_window("Gadget Installation..."), "n")  # No: the dialog again, proposal afresh
    dialog = example.destination_window(h)
    assert example.control_text(h, example.PATH_CAPTION, 1009) == DEFAULT
    confirm(h, dialog, DEFAULT)
    finish(h, inst, proc, DEFAULT)


def test_an_entry_without_a_drive_letter_is_refused(h):
    """The system takes "\\" or ".\\" as the current drive; the dialog must
    not, or the product lands in the drive's root."""
    inst, proc = gadget(h, "dest-nodriveletter")
    dialog = example.destination_window(h)
    for entry in ("\\", ".\\", "..\\Gadget"):
        example.type_destination(h, dialog, entry)
        assert refusal(h, dialog) == "The drive you have selected cannot be located.", entry
    example.type_destination(h, dialog, "C:\\Gadget Lettered")
    confirm(h, dialog, "C:\\Gadget Lettered\\")
    finish(h, inst, proc, "C:\\Gadget Lettered\\")


def test_a_directory_too_long_for_the_record_is_refused(h):
    inst, proc = gadget(h, "dest-long")
    dialog = example.destination_window(h)
    example.type_destination(h, dialog, "C:\\" + "d" * 170)
    assert refusal(h, dialog) == example.PATH_TOO_LONG
    example.type_destination(h, dialog, "C:\\Gadget Short")
    confirm(h, dialog, "C:\\Gadget Short\\")
    finish(h, inst, proc, "C:\\Gadget Short\\")


def test_browse_proposes_the_product_directory_below_the_chosen_folder(h):
    inst, proc = gadget(h, "dest-browse")
    dialog = example.destination_window(h)
    h.press(dialog, "Tab", "space")  # from the entry to "Browse"
    browser = h.find_window("Browse for Folder")
    assert example.control_text(h, "Browse for Folder", 14146) == "Where should Gadget go?"
    # by keyboard: from OK back to the tree, its first item (My Computer),
    # then the first drive below it, "(C:)"
    h.press(browser, "shift+Tab", "Home", "Down")
    h.key_until_gone(browser, "Return")
    assert example.control_text(h, example.PATH_CAPTION, 1009) == "C:\\Vantor Gadget\\"
    h.press(dialog, "shift+Tab")  # back to the entry, so that Return means "Continue"
    confirm(h, dialog, "C:\\Vantor Gadget\\")
    finish(h, inst, proc, "C:\\Vantor Gadget\\")
