"""Unattended installs under Wine: -silent shows no window at any time (the
display is polled all through the run), -passive only the backdrop and the
progress window; the result equals the interactive run's; each failure
exits with its code, shows nothing and logs its reason."""
import os
import threading

import example

PROGRESS = "Please wait while files are installed..."
ELSEWHERE = "C:\\Somewhere Else\\"


class Watch:
    """Every window that becomes visible on the display while a program
    runs, polled without pause from start to end: {id: title}."""

    def __init__(self, h):
        self.h = h
        self.before = set(h.windows_titled(""))
        self.seen = {}
        self.done = threading.Event()
        self.thread = threading.Thread(target=self._poll, daemon=True)
        self.thread.start()

    def _poll(self):
        while True:
            last = self.done.is_set()
            for window in self.h.windows_titled(""):
                if window not in self.before and window not in self.seen:
                    self.seen[window] = self.h.window_title(window)
            if last:
                return

    def titles(self):
        self.done.set()
        self.thread.join(timeout=30)
        return sorted(self.seen.values())


def run(h, inst, *args, timeout=90):
    """Runs the installer with args and -debug, watching the display; returns
    (exit code, titles of the windows seen, log)."""
    watch = Watch(h)
    proc = h.run_installer(inst, "-debug", *args)
    code = h.wait_exit(proc, timeout=timeout)
    return code, watch.titles(), inst.log()


def snapshot(h, directory):
    """What the example's installation left: the files below directory, the
    recorded directory and the shortcuts of the group."""
    group = h.find_start_menu(example.GROUP)
    shortcuts = sorted(os.listdir(group)) if group else []
    return example.installed(h, directory, example.FILES), h.reg_query(example.KEY, "Install Path"), shortcuts


def points_below(h, shortcut, directory):
    """True when the shortcut file names a file below directory (the path
    as the system keeps it, in either of its encodings, any letter case)."""
    with open(h.find_start_menu(example.GROUP, shortcut), "rb") as f:
        data = f.read().lower()
    path = directory.lower()
    return path.encode("latin-1") in data or path.encode("utf-16-le") in data


def test_silent_installs_as_the_interactive_run_without_a_window(h):
    example.forget(h)
    inst = example.place(h, "unattended-attended")
    proc = h.run_installer(inst)
    example.accept_pages(h)
    assert example.finish(h, proc) == 0
    files, recorded, shortcuts = snapshot(h, example.DEFAULT_DIR)
    assert recorded == example.DEFAULT_DIR
    assert shortcuts == sorted(example.SHORTCUTS), shortcuts

    example.forget(h)
    inst = example.place(h, "unattended-silent")
    code, titles, log = run(h, inst, "-silent", "-dir=" + ELSEWHERE.rstrip("\\"))
    assert code == 0, log
    assert titles == [], titles
    assert b"Unattended: destination '%s'\r\n" % ELSEWHERE.encode() in log, log
    assert b"Unattended: agreement 'license.txt' accepted\r\n" in log, log
    assert snapshot(h, ELSEWHERE) == (files, ELSEWHERE, shortcuts)
    assert all(data is not None for data in files.values()), files
    for shortcut in shortcuts:
        assert points_below(h, shortcut, ELSEWHERE), shortcut


def test_silent_default_then_the_earlier_installation(h):
    example.forget(h)
    code, titles, log = run(h, example.place(h, "unattended-default"), "-silent")
    assert (code, titles) == (0, []), log
    assert h.reg_query(example.KEY, "Install Path") == example.DEFAULT_DIR
    for name, data in example.installed(h, example.DEFAULT_DIR, example.FILES).items():
        assert data == example.payload(h, name), name

    earlier = "C:\\e2e\\unattended-earlier\\Widgets\\"
    h.wine(["reg", "add", example.KEY, "/v", "Install Path", "/t", "REG_SZ", "/d", earlier, "/f"])
    code, titles, log = run(h, example.place(h, "unattended-again"), "-silent")
    assert (code, titles) == (0, []), log
    for name, data in example.installed(h, earlier, example.FILES).items():
        assert data == example.payload(h, name), name


def test_passive_shows_the_backdrop_and_progress_only(h):
    # Enough data that the progress window stays up to be seen.
    big = os.urandom(24 << 20)
    inst = h.build_installer("unattended-passive", (
        b"PRODUCT NAME: Gadget\nBREAK\nMESSAGE: welcome.txt\nAGREEMENT: welcome.txt\n"
        b"REGISTRY PATH: Software\\Vantor Tests\\Passive\nINSTALL SIZE: 24576\nINSTALL DIR: Passive Gadget\n"
        b"INSTALL PATH: Where?\nREGISTER: reg@example.com\nFILE LIST: big.bin\nINSTALL\nDONE: Done.\n"),
        {"welcome.txt": b"Welcome\r\n", "big.bin": big}, method="raw")
    target = "C:\\e2e\\unattended-passive\\to\\"
    code, titles, log = run(h, inst, "-passive", "-dir=" + target)
    h.wine(["reg", "delete", "HKCU\\Software\\Vantor Tests\\Passive", "/f"])
    assert code == 0, log
    named = set(t for t in titles if t)  # a window's parts may show as untitled windows of their own
    assert named == {"Gadget Installation", PROGRESS}, titles
    with open(h.drive_c(target + "BIG.BIN"), "rb") as f:
        assert f.read() == big


def gadget(h, case, size=1, lines=b"FILE LIST: gadget.txt\n"):
    return h.build_installer(case, b"PRODUCT NAME: Gadget\nREGISTRY PATH: Software\\Vantor Tests\\Unattended\n"
                             b"INSTALL SIZE: %d\nBREAK\nINSTALL DIR: Gadget\nINSTALL PATH: Where?\n%sINSTALL\n"
                             b"DONE: Gadget is installed.\n" % (size, lines), {"gadget.txt": b"gadget\r\n"})


def test_each_failure_exits_with_its_code_without_a_window(h):
    damaged = gadget(h, "unattended-damaged")
    with open(damaged.exe, "r+b") as f:
        f.truncate(os.path.getsize(damaged.exe) - 4)
    update = example.place(h, "unattended-update", "update.exe")
    example.forget(h)
    cases = [
        (gadget(h, "unattended-no-drive"), ["-silent", "-dir=Q:\\Gadget"], 4,
         b"refused: The drive you have selected cannot be located.\r\n"),
        (gadget(h, "unattended-no-room", size=2000000000), ["-passive"], 4,
         b"refused: The drive you have selected does not have enough free space.\r\n"),
        (damaged, ["-silent"], 3, b"Unattended: no box 'Installation Problem...': The installation file has been "
                                  b"damaged, please download a new copy.\r\n"),
        (gadget(h, "unattended-no-entry", lines=b"!FILE LIST: gone.txt\n"), ["-passive"], 2,
         b"Command Failed 'INSTALL'\r\nUnattended: no box 'Gadget Installation...': Do you want to abort the "
         b"installation?\r\n"),
        (update, ["-silent"], 5, b"Unattended: no box 'Installation Problem...': Widget 2000 must be installed "
                                 b"before Update 1 can be applied.\r\n"),
        (h.build_installer("unattended-unknown", b"!NOPE: x\nBREAK\n"), ["-silent"], 2,
         b"Unattended: no box 'Unknown script keyword...': NOPE\r\n"),
        (h.build_installer("unattended-fatal", b"!STRING: 0|Arial|0|0.1|0|0|1,1,1|0|x\nBREAK\n"), ["-silent"], 1,
         b"ABORT: Invalid string ID"),
    ]
    for inst, args, expect, reason in cases:
        code, titles, log = run(h, inst, *args)
        if "-passive" in args:  # the backdrop (untitled at first) and the progress may show; no page, box or dialog
            titles = [t for t in titles if t not in ("", "Gadget Installation", PROGRESS)]
        assert (code, titles) == (expect, []), (inst.unix, code, titles, log[-600:])
        assert reason in log, (inst.unix, log[-600:])
