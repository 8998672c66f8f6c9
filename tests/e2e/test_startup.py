"""install.exe's start-up and shutdown, as the debug log records them."""
import os
import shutil

from harness import read_log

RULE = b"=" * 79
# A bare install.exe carries no archive: it says so and ends normally.
DAMAGED = "Installation Problem..."


def section(name):
    head = b"====[" + name + b"]"
    return b"\r\n" + head + b"=" * (79 - len(head)) + b"\r\n"


def copy_installer(h, case):
    unix, win = h.case_dir(case)
    shutil.copy(h.install_exe, os.path.join(unix, "install.exe"))
    return unix, win


def test_debug_log_lines(h):
    unix, win = copy_installer(h, "startup-debug")
    rc = h.wine_answering([win + "\\install.exe", "-debug"], DAMAGED, cwd=unix)
    assert rc == 3, rc  # no archive: damaged
    log = read_log(os.path.join(unix, "debug.log"))
    expect = (b"Vantor v0.22\r\n" + section(b"Memory Init") + b"Quickmemory Initialized (1000k)\r\n" + RULE + b"\r\n" +
              section(b"Global Memory Init") + RULE + b"\r\n" +
              b"Install Version 1.06 (Release)\r\n")
    assert log.startswith(expect), log[:400]
    lines = log.split(b"\r\n")
    cmdline = [l for l in lines if l.startswith(b"Cmdline '")]
    assert len(cmdline) == 1 and cmdline[0].endswith(b"\\startup-debug\\install.exe\" -debug' '-debug'"), cmdline
    tail = (section(b"Global Memory Remove") + b"Maximum Global Memory in use (0 / 0k)\r\n" + RULE + b"\r\n" +
            section(b"Memory Remove") + b"Quick Memory size was set to (1000k)\r\n" +
            b"Maximum Quick Memory in use (0k)  Largest Frame (0k)\r\n")
    assert tail in log, log[-700:]
    assert log.endswith(RULE + b"\r\nExit with code 3...\r\n"), log[-200:]
    assert b"Not all memory was free'd" not in log


def test_no_switches_creates_no_log(h):
    unix, win = copy_installer(h, "startup-quiet")
    rc = h.wine_answering([win + "\\install.exe"], DAMAGED, cwd=unix)
    assert rc == 3, rc
    assert not os.path.exists(os.path.join(unix, "debug.log"))


def test_append_accumulates_and_blank_in_path(h):
    unix, win = copy_installer(h, "startup dir with blanks")
    for _ in range(2):
        rc = h.wine_answering([win + "\\install.exe", "-debug", "-append"], DAMAGED, cwd=h.prefix)
        assert rc == 3, rc
    log = read_log(os.path.join(unix, "debug.log"))
    assert log.count(b"Exit with code 3...\r\n") == 2, log
    assert log.count(b"Vantor v0.22\r\n") == 2
