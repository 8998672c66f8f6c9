"""INSTALL, UPDATE, DONE and FONT in real installers under Wine: a target
that cannot be written and the retry from the first name, a list that stops
at an empty name, UPDATE's box and its retry, the two captions of DONE, and
a font from the archive drawn on the backdrop during the run."""
import os
import shutil
import subprocess

import harness

import example

PROBLEM = "Installation Problem..."
RO_DIR = "C:\\Program Files\\Vantor RO\\"


def answer_box(h, title, text):
    """Checks the text of the box titled title and presses its default button."""
    assert example.box_text(h, title) == text, example.wintext(h, title)
    h.key_until_gone(h.find_window(title), "Return")


def lock(path, locked):
    """Makes a file read-only (the DOS attribute) or writable again. Root
    writes to read-only files regardless, and so would Wine on its behalf;
    the immutable flag then refuses the write as Windows would."""
    if not locked:
        immutable(path, False)
    os.chmod(path, 0o444 if locked else 0o644)
    if locked:
        immutable(path, True)


def immutable(path, on):
    if os.geteuid() == 0:
        r = subprocess.run(["chattr", "+i" if on else "-i", path], stderr=subprocess.PIPE)
        if r.returncode != 0:
            raise harness.Skip("a file cannot be made read-only for root here: %s" % r.stderr.decode().strip())


def test_a_read_only_target_fails_and_no_retries_from_the_first_name(h):
    folder = h.drive_c(RO_DIR)
    locked = os.path.join(folder, "B.TXT")
    if os.path.exists(locked):
        lock(locked, False)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    with open(locked, "wb") as f:
        f.write(b"old b")
    lock(locked, True)
    try:
        inst = h.build_installer("install-readonly", b"PRODUCT NAME: Gadget\nBREAK\nINSTALL DIR: Vantor RO\n"
                                 b"INSTALL PATH: Where?\nFILE LIST: a.txt,b.txt\nINSTALL\n",
                                 {"a.txt": b"new a", "b.txt": b"new b"})
        proc = h.run_installer(inst, "-debug")
        h.accept_destination()
        question = h.find_window("Gadget Installation...")
        log = inst.log()
        assert b"Unable to create file 'C:\\Program Files\\Vantor RO\\b.txt'\r\n" in log, log
        assert b"Command Failed 'INSTALL'\r\n" in log, log
        assert open(os.path.join(folder, "a.txt"), "rb").read() == b"new a"
        assert open(locked, "rb").read() == b"old b"
        # Writable again, and the first file taken away: No runs INSTALL
        # again from the first name.
        lock(locked, False)
        os.remove(os.path.join(folder, "a.txt"))
        h.key_until_gone(question, "n")
        assert h.wait_exit(proc) == 0
        assert open(os.path.join(folder, "a.txt"), "rb").read() == b"new a"
        # The file there was moved aside and the new one written under the
        # script's spelling.
        assert sorted(os.listdir(folder)) == ["a.txt", "b.txt"], os.listdir(folder)
        assert open(os.path.join(folder, "b.txt"), "rb").read() == b"new b"
    finally:
        if os.path.exists(locked):
            lock(locked, False)


def test_two_commas_in_a_row_stop_at_the_empty_name(h):
    folder = h.drive_c("C:\\Program Files\\Vantor Commas\\")
    shutil.rmtree(folder, ignore_errors=True)
    inst = h.build_installer("install-commas", b"PRODUCT NAME: Gadget\nBREAK\nINSTALL DIR: Vantor Commas\n"
                             b"INSTALL PATH: Where?\n!FILE LIST: a.txt,,b.txt\nINSTALL\n",
                             {"a.txt": b"a", "b.txt": b"b"})
    proc = h.run_installer(inst, "-debug")
    h.accept_destination()
    h.key_until_gone(h.find_window("Gadget Installation..."), "y")
    # The run is undone: one box says so, and a.txt, written first, is gone.
    h.key_until_gone(h.find_window("Installation Problem..."), "Return")
    assert h.wait_exit(proc) == 2
    assert b"Unable to get size for ''\r\n" in inst.log(), inst.log()
    assert b"Rollback: removed '" in inst.log(), inst.log()
    assert not os.path.exists(os.path.join(folder, "a.txt"))
    assert not os.path.exists(os.path.join(folder, "b.txt"))


def test_update_without_the_key_shows_its_box_and_no_shows_it_again(h):
    h.wine(["reg", "delete", "HKCU\\Software\\Vantor Tests\\Never Installed", "/f"])
    inst = h.build_installer("install-update", b"PRODUCT NAME: Gadget\nREGISTRY PATH: Software\\Vantor Tests\\"
                             b"Never Installed\nBREAK\nUPDATE:\nDONE: not reached\n")
    proc = h.run_installer(inst, "-debug")
    default = "The program you are attempting to update must be installed first."
    answer_box(h, PROBLEM, default)
    h.key_until_gone(h.find_window("Gadget Installation..."), "n")
    answer_box(h, PROBLEM, default)
    h.key_until_gone(h.find_window("Gadget Installation..."), "y")
    assert h.wait_exit(proc) == 5
    assert inst.log().count(b"Registry path does not exist (Software\\Vantor Tests\\Never Installed)\r\n") == 2


def test_done_twice_the_first_after_text(h):
    inst = h.build_installer("install-done", b"BREAK\nTEXT: Gadget says\nDONE: First.\nDONE: Second.\n")
    proc = h.run_installer(inst, "-debug")
    answer_box(h, "Gadget says", "First.")
    answer_box(h, "Installation Complete!", "Second.")
    assert h.wait_exit(proc) == 0


def block_fill(shot):
    """How much of the bounding box of the pure red pixels is red."""
    xs, ys, count = [], [], 0
    for y in range(0, shot.height):
        row = shot.rgb[3 * y * shot.width:3 * (y + 1) * shot.width]
        for x in range(shot.width):
            if row[3 * x] > 200 and row[3 * x + 1] < 60 and row[3 * x + 2] < 60:
                xs.append(x)
                ys.append(y)
                count += 1
    if not count:
        return 0.0
    return count / float((max(xs) - min(xs) + 1) * (max(ys) - min(ys) + 1))


def test_font_from_the_archive_draws_the_backdrop_string_and_goes_with_the_run(h):
    font = example.payload(h, "WIDGET.TTF")
    fills = {}
    for with_font in (True, False):
        script = ((b"FONT: 1 | widget.ttf\n" if with_font else b"") +
                  b"STRING: 1 | Widget Pixel | 0 | 0.15 | 0.5 | 0.5 | 255, 0, 0 | CENTERX, CENTERY | ###\n"
                  b"BREAK\nBREAK\n")
        inst = h.build_installer("install-font-%d" % with_font, script, {"widget.ttf": font} if with_font else {})
        temp = os.path.join(h.temp_dir(), "widget.ttf")
        proc = h.run_installer(inst, "-debug")
        window = h.find_window(" Installation")
        fills[with_font] = block_fill(h.grab("install-font-%d" % with_font))
        if with_font:
            with open(temp, "rb") as f:
                assert f.read() == font  # in the temporary folder while the installer runs
        h.close_window(window)
        assert h.wait_exit(proc) == 0
        assert not os.path.exists(temp)
    # "#" is a solid block in the example's pixel font; in whatever font
    # stands in for an unknown face it is a few strokes.
    assert fills[True] > 0.7 and fills[False] < 0.5, fills
