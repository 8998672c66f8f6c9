"""The text pages and NOTEPAD in real installers under Wine: the pages'
captions, Enter and the buttons, the abort question after a declined page,
and the system's editor started without waiting for it."""
import os
import shutil

WELCOME = b"Welcome to the\r\nWidget installer.\r\n\r\nPress Continue.\r\n"
LICENCE = b"Licence terms\r\nhere.\r\n"
FILES = {"welcome.txt": WELCOME, "license.txt": LICENCE}
# Centres of a page's two buttons, as fractions of the 227 x 186 page.
LEFT_BUTTON = (37.5 / 227, 176.5 / 186)    # "I Accept", "Exit Setup"
RIGHT_BUTTON = (187.5 / 227, 176.5 / 186)  # "I Do Not Accept", "Continue"


def abort_caption(h):
    return (" " if h.command_pending("PRODUCT NAME") else "Widget ") + "Installation..."


def leave_page(h, title, button, answer):
    """Clicks a declining button of the page titled title and answers the
    abort question that follows ("y" or "n")."""
    page = h.find_window(title)
    h.click(page, *button)
    h.wait_gone(page, timeout=5)
    h.key_until_gone(h.find_window(abort_caption(h)), answer)


def run_pages(h, case, script, play, prepare=None):
    """Builds the installer (prepare(inst) adds to its folder), starts it,
    lets play(h, inst) answer its windows, waits for its normal end and
    returns its log."""
    inst = h.build_installer(case, script, FILES)
    if prepare:
        prepare(inst)
    proc = h.run_installer(inst, "-debug")
    try:
        play(h, inst)
        assert h.wait_exit(proc) == 0
    finally:
        if proc.poll() is None:
            proc.kill()
    log = inst.log()
    assert log.endswith(b"Successful Exit...\r\n"), log[-300:]
    assert b"Not all memory was free'd" not in log, log
    return log


def test_captions_and_enter_continues_then_declines(h):
    with_prompt = not h.command_pending("TEXT")
    if not with_prompt:
        print("test_pages: TEXT is still a placeholder: the prompt caption is not checked")
    script = (b"PRODUCT NAME: Widget\nBREAK\nMESSAGE: welcome.txt\n" +
              (b"TEXT: Licence of Widget\n" if with_prompt else b"") + b"AGREEMENT: license.txt\n")

    def play(h, inst):
        h.key_until_gone(h.find_window("Welcome..."), "Return")  # "Continue" is the default
        agreement = h.find_window("Licence of Widget" if with_prompt else "End User Agreement...")
        h.screenshot("pages-agreement")
        h.key_until_gone(agreement, "Return")  # "I Do Not Accept" is the default
        h.key_until_gone(h.find_window(abort_caption(h)), "y")

    log = run_pages(h, "pages-captions", script, play)
    assert b"Command Failed 'AGREEMENT'\r\n" in log, log
    assert b"Command Failed 'MESSAGE'" not in log, log


def test_i_do_not_accept_asks_to_abort_and_no_shows_the_page_again(h):
    def play(h, inst):
        leave_page(h, "End User Agreement...", RIGHT_BUTTON, "n")  # "I Do Not Accept", then No
        h.click(h.find_window("End User Agreement..."), *LEFT_BUTTON)  # "I Accept": on to the end

    log = run_pages(h, "pages-decline", b"BREAK\nAGREEMENT: license.txt\n", play)
    assert log.count(b"Command Failed 'AGREEMENT'\r\n") == 1, log


def test_exit_setup_on_the_welcome_page_and_yes_ends_the_installer(h):
    def play(h, inst):
        leave_page(h, "Welcome...", LEFT_BUTTON, "y")  # "Exit Setup", then Yes

    log = run_pages(h, "pages-exit", b"BREAK\nMESSAGE: welcome.txt\nAGREEMENT: license.txt\n", play)
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
        h.wait_gone(page, timeout=5)

    log = run_pages(h, "pages-notepad", b"BREAK\nNOTEPAD: readme.txt\nMESSAGE: welcome.txt\n", play, prepare)
    assert b"Failed to view textfile" not in log, log
