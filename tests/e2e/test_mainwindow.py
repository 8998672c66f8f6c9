"""The main window under Wine: the maximised backdrop with its gradient and
screen string, the abort question after a failed command, a paused script
waiting for the user to close the window, and the start-up failures that end
the program without a window."""
import os
import subprocess


# Without PRODUCT NAME the product's name is empty: " Installation" is the
# main window's title and " Installation..." the abort question's caption.
MAIN = " Installation"
QUESTION = " Installation..."
UNKNOWN = "Unknown script keyword..."
DAMAGED = "Installation Problem..."


def gradient_step(start, end, i):
    """The colour of band i, truncated as the installer does."""
    t = i / 256.0
    return tuple(int(int(s * (1 - t)) + e * t) for s, e in zip(start, end))


def close_and_wait(h, proc, window):
    h.close_window(window)
    return h.wait_exit(proc)


def test_backdrop_gradient_title_and_string(h):
    inst = h.build_installer("mainwindow-backdrop", b"""PRODUCT NAME: Backdrop Test
GRADIENT START: 0, 64, 255
GRADIENT END: 255, 0, 0
STRING: 1 | Arial | 0 | 0.1 | 0.5 | 0.5 | 255, 255, 255 | CENTERX, CENTERY | HHHHHH
BREAK
BREAK
""")
    proc = h.run_installer(inst, "-debug")
    window = h.find_window("Backdrop Test Installation")
    assert h.window_geometry(window) == (0, 0, 1024, 768), h.window_geometry(window)  # maximised, no frame
    shot = h.grab("mainwindow-backdrop")
    start, end = (0, 64, 255), (255, 0, 0)
    assert shot.pixel(5, 0) == start, shot.pixel(5, 0)
    assert shot.pixel(5, 767) == gradient_step(start, end, 255) == (254, 0, 0), shot.pixel(5, 767)
    for y in (0, 200, 383, 600, 767):  # 768 rows: every band is 3 rows high
        assert shot.pixel(1020, y) == gradient_step(start, end, y // 3), (y, shot.pixel(1020, y))
    # the string: 76 pixels high, centred on the middle of the screen
    white = [(x, y) for y in range(250, 520) for x in range(200, 824) if shot.pixel(x, y) == (255, 255, 255)]
    assert white, "no white text near the centre"
    xs, ys = [p[0] for p in white], [p[1] for p in white]
    assert abs((min(xs) + max(xs)) / 2 - 512) < 12, (min(xs), max(xs))
    assert abs((min(ys) + max(ys)) / 2 - 384) < 20, (min(ys), max(ys))
    assert max(ys) - min(ys) < 77, (min(ys), max(ys))
    assert close_and_wait(h, proc, window) == 0
    assert inst.log().endswith(b"Successful Exit...\r\n")


def test_second_break_waits_until_the_window_is_closed(h):
    inst = h.build_installer("mainwindow-paused", b"BREAK\nBREAK\n")
    proc = h.run_installer(inst, "-debug")
    window = h.find_window(MAIN)
    assert h.window_geometry(window) == (0, 0, 1024, 768), h.window_geometry(window)
    h.grab("mainwindow-paused")
    assert proc.poll() is None, "the program ended while paused"
    assert close_and_wait(h, proc, window) == 0
    assert not h.windows_titled("^%s$" % QUESTION), "WM_CLOSE asked a question"
    log = inst.log()
    assert log.count(b"Break Encountered\r\n") == 2, log
    assert log.endswith(b"Successful Exit...\r\n"), log[-200:]
    assert b"Not all memory was free'd" not in log


def test_failed_command_asks_to_abort_and_no_retries_it(h):
    inst = h.build_installer("mainwindow-abort", b"BREAK\n!NOPE: x\n")
    proc = h.run_installer(inst, "-debug")
    h.find_window(MAIN)
    h.answer(UNKNOWN, "Return")
    h.grab("mainwindow-abort-question")
    h.answer(QUESTION, "n")   # No: the same command runs again
    h.answer(UNKNOWN, "Return")
    h.answer(QUESTION, "y")   # Yes: the installer ends
    assert h.wait_exit(proc) == 2
    log = inst.log()
    assert log.count(b"Unknown command 'NOPE'\r\n") == 2, log
    assert log.endswith(b"Exit with code 2...\r\n"), log[-200:]


def test_unknown_keyword_in_the_first_run_ends_without_a_window(h):
    inst = h.build_installer("mainwindow-unknown", b"!NOPE: x\nBREAK\n")
    proc = h.run_installer(inst, "-debug")
    box = h.find_window(UNKNOWN)
    assert not h.windows_titled("Installation$"), "the main window exists during the first run"
    h.press(box, "Return")
    assert h.wait_exit(proc) == 2
    log = inst.log()
    assert b"Unknown command 'NOPE'\r\n" in log and b"Break Encountered" not in log, log
    assert log.endswith(b"Exit with code 2...\r\n"), log[-200:]


def test_installer_whose_archive_is_damaged(h):
    inst = h.build_installer("mainwindow-damaged", b"BREAK\n")
    with open(inst.exe, "r+b") as f:  # the trailing offset now points past the end
        f.seek(-4, os.SEEK_END)
        f.write(b"\xff\xff\xff\x7f")
    proc = h.run_installer(inst, "-debug")
    h.answer(DAMAGED, "Return")
    assert h.wait_exit(proc) == 3
    log = inst.log()
    assert b"Flat/Fast File System Initialized" not in log, log
    assert log.endswith(b"Exit with code 3...\r\n"), log[-200:]


def yellow_rows(shot):
    """The rows of the screen that hold the yellow text's pixels."""
    return [y for y in range(768) if any(shot.pixel(x, y) == (255, 255, 0) for x in range(0, 1024, 2))]


def test_dialogs_follow_the_density_and_the_backdrop_keeps_its_share(h):
    """At 144 dots per inch the pages grow with their font and still fit on
    the screen; the backdrop's texts, laid out in fractions of the window,
    keep their share of it."""
    inst = h.build_installer("mainwindow-dense", b"""PRODUCT NAME: Dense
GRADIENT START: 0, 0, 0
GRADIENT END: 0, 0, 0
STRING: 1 | Arial | 0 | 0.1 | 0.5 | 0.1 | 255, 255, 0 | CENTERX, CENTERY | HHHHHH
BREAK
MESSAGE: welcome.txt
""", {"welcome.txt": b"Welcome.\r\n"})
    desktop = "HKCU\\Control Panel\\Desktop"

    def restart_wine():  # the density is read when the Wine server starts
        subprocess.run(["wineserver", "-k"], env=h.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=h.env, stderr=subprocess.DEVNULL)

    def run(name):
        proc = h.run_installer(inst)
        h.find_window("Dense Installation")
        page = h.find_window("Welcome...")
        shot = h.grab(name)
        rows = yellow_rows(shot)
        geometry = h.window_geometry(page)
        h.key_until_gone(page, "Return")
        assert h.wait_exit(proc) == 0
        return rows, geometry

    rows96, page96 = run("mainwindow-dense-96")
    try:
        assert h.wine(["reg", "add", desktop, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "144", "/f"]).returncode == 0
        restart_wine()
        rows144, page144 = run("mainwindow-dense-144")
    finally:
        h.wine(["reg", "delete", desktop, "/v", "LogPixels", "/f"])
        restart_wine()
    ratio = page144[2] / page96[2], page144[3] / page96[3]
    assert all(1.35 < r < 1.65 for r in ratio), (page96, page144)
    x, y, w, hgt = page144
    assert x >= 0 and y >= 0 and x + w <= 1024 and y + hgt <= 768, page144  # not cut by the screen's edge
    assert rows96 and rows144, (rows96, rows144)
    assert abs((max(rows144) - min(rows144)) - (max(rows96) - min(rows96))) <= 3, (rows96[:3], rows144[:3])
