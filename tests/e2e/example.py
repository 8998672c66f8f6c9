"""The example product of examples/ under Wine, for the end-to-end cases and
for scripts/demo.py: its two installers built with examples/build.sh, a
user who answers every page, and what the installation left behind.

Also a reader of what a window shows (tools/wintext.c, cross-built on first
use), so that cases can check the texts of dialogs and boxes.
"""
import os
import re
import subprocess
import time

import harness

PRODUCT = "Widget 2000"
KEY = "HKCU\\Software\\Acme\\Widget 2000"
DEFAULT_DIR = "C:\\Program Files\\Acme\\Widget 2000\\"
# What FILE LIST of examples/setup.txt copies, as the payload names them.
FILES = ["bin/widget.exe", "bin/widgetext.dll", "docs/readme.txt", "docs/manual/getting-started.txt",
         "data/samples/circle.wdg", "data/samples/square.wdg"]
UPDATE_FILES = ["bin/widget.exe", "docs/changes.txt"]
GROUP = "Widget 2000"
SHORTCUTS = ["Widget 2000.lnk", "Widget 2000 Read Me.lnk"]
WELCOME = "Welcome to Widget 2000"
DONE_CAPTION = "Widget 2000 Setup"
PATH_CAPTION = "Installation Directory..."
PATH_TOO_LONG = "The directory you have selected is too long. Please choose one of at most 159 characters."
ABORT_CAPTION = "Widget 2000 Installation..."
# Centres of a text page's two buttons, as fractions of the 227 x 186 page.
LEFT_BUTTON = (37.5 / 227, 176.5 / 186)   # "I Accept", "Exit Setup"


_built = set()


def build(h):
    """Builds setup.exe and update.exe with examples/build.sh into the run's
    folder (once per run); returns that folder."""
    out = os.path.join(h.out, "example")
    if out not in _built:
        _built.add(out)
        env = dict(os.environ, FFSBUILD=h.ffsbuild, STUB=h.install_exe, CC_WIN32=h.cc)
        r = subprocess.run(["sh", os.path.join(harness.ROOT, "examples", "build.sh"), out], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        assert r.returncode == 0, r.stdout.decode(errors="replace")
    return out


def place(h, case, name="setup.exe"):
    """Copies one of the example's installers into a fresh case folder;
    returns the harness's Installer for it."""
    built = build(h)
    unix, win = h.case_dir(case)
    with open(os.path.join(built, name), "rb") as f:
        data = f.read()
    inst = harness.Installer(unix, win)
    with open(inst.exe, "wb") as f:
        f.write(data)
    return inst


def payload(h, name, update=False):
    """Bytes of a payload file as built."""
    with open(os.path.join(build(h), "update-payload" if update else "payload", *name.split("/")), "rb") as f:
        return f.read()


def wintext(h, title, timeout=30):
    """The texts of the visible window titled title and its controls, as
    lines "window: TITLE" and "CLASS ID: TEXT"; waits for the window."""
    tool = os.path.join(h.out, "wintext-%s.exe" % h.arch)
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tools", "wintext.c")
    if not os.path.exists(tool) or os.path.getmtime(tool) < os.path.getmtime(source):
        r = subprocess.run([h.cc, "-Os", "-s", "-o", tool, source],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        assert r.returncode == 0, r.stdout.decode(errors="replace")
    # The window is there before the tool starts: a Wine program started
    # while the one under test is still starting up may wait a long while.
    h.find_window(re.escape(title), timeout=timeout)
    end = time.time() + timeout
    while True:
        r = h.wine([tool, title], timeout=30)
        if r.returncode == 0 or time.time() > end:
            break
        time.sleep(0.3)
    assert r.returncode == 0, "no window titled %r" % title
    return r.stdout.decode("utf-8", errors="replace").replace("\r", "")


def control_text(h, title, control_id):
    """The text of control control_id of the window titled title."""
    for line in wintext(h, title).splitlines():
        head, _, text = line.partition(": ")
        if head.split(" ")[-1] == str(control_id):
            return text
    raise AssertionError("window %r has no control %d" % (title, control_id))


def box_text(h, title):
    """The message of the box titled title (its static text)."""
    for line in wintext(h, title).splitlines():
        head, _, text = line.partition(": ")
        if head.startswith("Static") and text:
            return text
    raise AssertionError("box %r shows no text" % title)


def destination_window(h, timeout=45):
    return h.find_window(PATH_CAPTION, timeout=timeout)


def question_box(h, dialog, timeout=45):
    """The box titled like the destination dialog that asks to install into
    the directory; the dialog itself is dialog."""
    end = time.time() + timeout
    while time.time() < end:
        boxes = [w for w in h.windows_titled("^%s$" % PATH_CAPTION) if w != dialog]
        if boxes:
            return boxes[0]
        time.sleep(0.2)
    raise AssertionError("the destination question did not come")


def type_destination(h, dialog, directory):
    """Replaces the directory in the entry (which has the focus) by typing."""
    h.press(dialog, "End", "shift+Home")
    h.xdotool("type", "--delay", "10", directory)


def accept_pages(h, directory=None, on_welcome=None):
    """Answers the welcome and licence pages and the destination dialog of
    the example's setup; directory (typed) replaces the proposal when given.
    on_welcome(h) runs while the welcome page shows."""
    welcome = h.find_window(WELCOME, timeout=30)
    if on_welcome:
        on_welcome(h)
    h.key_until_gone(welcome, "Return")
    agreement = h.find_window("End User Agreement...")
    h.click(agreement, *LEFT_BUTTON)
    h.wait_gone(agreement, timeout=30)
    dialog = destination_window(h)
    if directory:
        type_destination(h, dialog, directory)
    h.press(dialog, "Return")
    h.key_until_gone(question_box(h, dialog), "y")


def finish(h, proc, timeout=60):
    """After the destination: closes the readme's editor and Wine's window of
    the new group, answers the closing box and waits for the end."""
    close_editor(h, "readme.txt - Notepad", timeout)  # it covers the box
    h.find_window(DONE_CAPTION, timeout=timeout)
    # Wine's window of the new group can open late, even after the first
    # Return, and take the keyboard from the box: it is closed before each.
    # The box is looked for by its title each time: the window found first
    # may not be the one that stays.
    end = time.time() + timeout
    while time.time() < end:
        boxes = h.windows_titled("^%s$" % re.escape(DONE_CAPTION))
        if not boxes:
            break
        close_group_windows(h)
        if time.time() > end - timeout + 10:
            # A folder window of another title can keep the keyboard too.
            h.end_folder_explorers()
        for box in boxes:
            h.press(box, "Return")
        time.sleep(0.5)
    code = h.wait_exit(proc, timeout=timeout)
    close_group_windows(h)
    return code


def close_editor(h, title, timeout=60):
    """Closes the editor titled title that the installer started. Wine's
    window of the new group can open late and cover it, taking the keys:
    it is closed before each try."""
    editor = h.find_window(title, timeout=timeout)
    end = time.time() + 20
    while editor in h.windows_titled(".") and time.time() < end:
        close_group_windows(h)
        h.press(editor, "alt+F4")
        for _ in range(20):
            if editor not in h.windows_titled("."):
                break
            time.sleep(0.1)
    # Wine's explorer, which owns the group window, can stop answering for a
    # while and keep the keyboard: the editor is then ended by the system
    # (what is tested is that the installer started it).
    if editor in h.windows_titled("."):
        h.wine(["taskkill", "/F", "/IM", "notepad.exe"])
        h.wait_gone(editor, timeout=timeout)
    assert editor not in h.windows_titled("."), "%r did not close" % title


def close_group_windows(h):
    h.close_folder_windows(GROUP)


def installed(h, directory, names):
    """{name: bytes or None} of the files below the directory."""
    out = {}
    for name in names:
        path = h.drive_c(directory + name.replace("/", "\\"))
        out[name] = open(path, "rb").read() if os.path.exists(path) else None
    return out


def summary(h, directory, screenshot=None):
    """What the installation left, as text lines for a person to read."""
    lines = ["Installed below %s (%s):" % (directory, h.drive_c(directory))]
    for name, data in installed(h, directory, FILES).items():
        state = "missing" if data is None else "%d bytes, %s" % (
            len(data), "same as the payload" if data == payload(h, name) else "DIFFERENT from the payload")
        lines.append("  %-34s %s" % (name.replace("/", "\\"), state))
    lines.append("Registry: %s, \"Install Path\" = %s" % (KEY, h.reg_query(KEY, "Install Path") or "(not set)"))
    lines.append("Registry: %s\\Extension, \"State\" = %s (set by the extension's self-registration)"
                 % (KEY, h.reg_query(KEY + "\\Extension", "State") or "(not set)"))
    group = h.find_start_menu(GROUP)
    if group:
        lines.append("Start Menu group %s:" % group)
        lines += ["  " + name for name in sorted(os.listdir(group))]
    else:
        lines.append("Start Menu group %s: not made" % GROUP)
    if screenshot:
        lines.append("Screenshot of the backdrop: %s" % screenshot)
    return lines


def forget(h):
    """Takes away what an earlier installation of the example left: its
    folder, its key, its Start Menu group, and the font of a run that was
    stopped before it could take it away (a case that failed)."""
    import shutil
    shutil.rmtree(h.drive_c(DEFAULT_DIR), ignore_errors=True)
    font = os.path.join(h.temp_dir(), "WIDGET.TTF")
    if os.path.exists(font):
        os.remove(font)
    h.wine(["reg", "delete", KEY, "/f"])
    for base in h.start_menu_dirs():
        shutil.rmtree(os.path.join(base, GROUP), ignore_errors=True)
