"""The text pages and NOTEPAD in real installers under Wine: the pages'
captions, Enter and the buttons, the abort question after a declined page,
and the system's editor started without waiting for it."""
import os
import shutil
import time

import example

WELCOME = b"Welcome to the\r\nWidget installer.\r\n\r\nPress Continue.\r\n"
LICENCE = b"Licence terms\r\nhere.\r\n"
FILES = {"welcome.txt": WELCOME, "license.txt": LICENCE}
# Centres of a page's two buttons, as fractions of the 227 x 186 page.
LEFT_BUTTON = (37.5 / 227, 176.5 / 186)    # "I Accept", "Exit Setup"
RIGHT_BUTTON = (187.5 / 227, 176.5 / 186)  # "I Do Not Accept", "Continue"


ABORT_CAPTION = "Widget Installation..."


def leave_page(h, title, button, answer):
    """Clicks a declining button of the page titled title and answers the
    abort question that follows ("y" or "n")."""
    page = h.find_window(title)
    h.click(page, *button)
    h.wait_gone(page, timeout=15)
    h.key_until_gone(h.find_window(ABORT_CAPTION), answer)


def run_pages(h, case, script, play, prepare=None, files=FILES, code=0):
    """Builds the installer (prepare(inst) adds to its folder), starts it,
    lets play(h, inst) answer its windows, waits for its end with the exit
    code and returns its log."""
    inst = h.build_installer(case, script, files)
    if prepare:
        prepare(inst)
    proc = h.run_installer(inst, "-debug")
    try:
        play(h, inst)
        assert h.wait_exit(proc) == code & 0xFF  # Wine hands the Unix parent the low byte
    finally:
        if proc.poll() is None:
            proc.kill()
    log = inst.log()
    assert log.endswith(b"Successful Exit...\r\n" if code == 0 else b"Exit with code %d...\r\n" % code), log[-300:]
    assert b"Not all memory was free'd" not in log, log
    return log


def test_captions_are_one_shot_and_enter_continues_or_declines(h):
    script = (b"PRODUCT NAME: Widget\nBREAK\nMESSAGE: welcome.txt\nTEXT: Licence of Widget\n"
              b"AGREEMENT: license.txt\nMESSAGE: welcome.txt\n")

    def play(h, inst):
        h.key_until_gone(h.find_window("Welcome..."), "Return")  # "Continue" is the default
        agreement = h.find_window("Licence of Widget")  # the prompt of TEXT
        h.screenshot("pages-agreement")
        h.key_until_gone(agreement, "Return")  # "I Do Not Accept" is the default
        h.key_until_gone(h.find_window(ABORT_CAPTION), "n")
        again = h.find_window("End User Agreement...")  # the prompt was used up
        h.click(again, *LEFT_BUTTON)
        h.wait_gone(again, timeout=15)
        h.key_until_gone(h.find_window("Welcome..."), "Return")

    log = run_pages(h, "pages-captions", script, play)
    assert log.count(b"Command Failed 'AGREEMENT'\r\n") == 1, log
    assert b"Command Failed 'MESSAGE'" not in log, log


def test_i_do_not_accept_asks_to_abort_and_no_shows_the_page_again(h):
    def play(h, inst):
        leave_page(h, "End User Agreement...", RIGHT_BUTTON, "n")  # "I Do Not Accept", then No
        h.click(h.find_window("End User Agreement..."), *LEFT_BUTTON)  # "I Accept": on to the end

    log = run_pages(h, "pages-decline", b"PRODUCT NAME: Widget\nBREAK\nAGREEMENT: license.txt\n", play)
    assert log.count(b"Command Failed 'AGREEMENT'\r\n") == 1, log


def first_visible_line(h, title):
    for line in example.wintext(h, title).splitlines():
        if line.startswith("first-line id="):
            return int(line.partition(": ")[2])
    raise AssertionError("the page %r has no text box" % title)


def edit_line(h, title, what):
    for line in example.wintext(h, title).splitlines():
        if line.startswith(what + " id="):
            return line.partition(": ")[2]
    raise AssertionError("the page %r has no text box" % title)


def test_long_pages_open_at_their_first_line(h):
    """Nothing is selected and the view is at the top: a person reads the
    licence from its start. Every line stands as the file has it, whether
    it ends in LF, CR LF or both."""
    long_text = b"GNU GENERAL PUBLIC LICENSE\nVersion 3, 29 June 2007\r\n\n" + b"".join(
        b"Paragraph %d of the licence terms.\r\n\r\n" % i for i in range(80))
    shown = long_text.replace(b"\r\n", b"\n").replace(b"\n", b"\\r\\n").decode()
    files = {"welcome.txt": long_text, "license.txt": long_text}

    def play(h, inst):
        for title in ("Welcome...", "End User Agreement..."):
            page = h.find_window(title)
            assert first_visible_line(h, title) == 0, title
            assert edit_line(h, title, "selection") == "0 0", title
            assert edit_line(h, title, "edit-text").startswith(shown[:200]), edit_line(h, title, "edit-text")[:300]
            h.click(page, *(RIGHT_BUTTON if title == "Welcome..." else LEFT_BUTTON))  # Continue, I Accept
            h.wait_gone(page, timeout=15)

    run_pages(h, "pages-top", b"PRODUCT NAME: Widget\nBREAK\nMESSAGE: welcome.txt\nAGREEMENT: license.txt\n", play,
              files=files)


def test_exit_setup_on_the_welcome_page_and_yes_ends_the_installer(h):
    def play(h, inst):
        leave_page(h, "Welcome...", LEFT_BUTTON, "y")  # "Exit Setup", then Yes

    log = run_pages(h, "pages-exit", b"PRODUCT NAME: Widget\nBREAK\nMESSAGE: welcome.txt\nAGREEMENT: license.txt\n", play,
                    code=1602)  # the person left
    assert b"Command Failed 'MESSAGE'\r\n" in log, log
    assert b"AGREEMENT" not in log, log


def test_notepad_starts_the_system_editor_without_waiting(h):
    def prepare(inst):
        with open(os.path.join(inst.unix, "readme.txt"), "wb") as f:  # as if installed there
            f.write(b"Read me.\r\n")
        # A program named like the editor beside the installer must not be
        # the one started: run, it would show its damaged-installer box.
        shutil.copy(h.install_exe, os.path.join(inst.unix, "NOTEPAD.EXE"))

    def play(h, inst):
        editor = h.find_window("readme.txt - Notepad")
        page = h.find_window("Welcome...")  # the script went on while the editor is open
        h.screenshot("pages-notepad")
        assert not h.windows_titled("^Installation Problem...$")
        h.key_until_gone(editor, "alt+F4")  # the editor covers the page
        h.click(page, *RIGHT_BUTTON)
        h.wait_gone(page, timeout=15)

    log = run_pages(h, "pages-notepad", b"BREAK\nNOTEPAD: readme.txt\nMESSAGE: welcome.txt\n", play, prepare)
    assert b"Failed to view textfile" not in log, log


def test_notepad_opens_the_file_installed_below_the_chosen_directory(h):
    script = (b"PRODUCT NAME: Widget\nBREAK\nINSTALL DIR: Vantor Pages Case\nINSTALL PATH: Where to?\n"
              b"FILE LIST: readme.txt\nINSTALL\nNOTEPAD: readme.txt\nMESSAGE: welcome.txt\n")
    files = dict(FILES, **{"readme.txt": b"Installed read me.\r\n"})

    def play(h, inst):
        dialog = h.find_window("Installation Directory...")
        h.press(dialog, "Return")  # "Continue" with the proposed directory
        for _ in range(50):
            boxes = [w for w in h.windows_titled("^Installation Directory...$") if w != dialog]
            if boxes:
                break
            time.sleep(0.2)
        assert boxes, "no confirmation box"
        h.key_until_gone(boxes[0], "y")
        editor = h.find_window("readme.txt - Notepad")
        page = h.find_window("Welcome...")
        h.key_until_gone(editor, "alt+F4")
        h.click(page, *RIGHT_BUTTON)
        h.wait_gone(page, timeout=15)

    log = run_pages(h, "pages-notepad-installed", script, play, files=files)
    assert b"Failed to view textfile" not in log, log
    # The editor got the unquoted path with its blanks and opened that file.
    assert b"Install Path   : C:\\Program Files\\Vantor Pages Case\\ " in log, log


def test_texts_in_any_script_reach_the_windows(h):
    product = "Виджет Ωμέγα ウィジェット 🚀"
    welcome = "Добро пожаловать\r\nΚαλώς ήρθατε\r\nようこそ 🚀\r\n"
    script = ("PRODUCT NAME: %s\nCOMPANY NAME: Компания Εταιρεία 会社\nBREAK\nMESSAGE: welcome.txt\n" % product).encode()

    def play(h, inst):
        texts = example.wintext(h, "Welcome...")
        for line in welcome.split("\r\n")[:3]:
            assert line in texts, texts
        assert "window: %s Installation\n" % product in example.wintext(h, product + " Installation"), product
        h.key_until_gone(h.find_window("Welcome..."), "Return")

    run_pages(h, "pages-any-script", script, play, files={"welcome.txt": welcome.encode()})
