"""REGISTER end to end: an installer whose script registers to an address on
the loopback host, the form filled in by xdotool, and the mail taken by a
real SMTP server (aiosmtpd, tests/e2e/smtp_sink.py) listening on 127.0.0.1
port 25."""
import contextlib
import os
import re
import shutil
import subprocess
import time

from harness import read_log
from test_script import build_installer

SINK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "smtp_sink.py")
# The Debian interpreter, which has python3-aiosmtpd whatever python3 is first on the PATH.
SYSTEM_PYTHON = "/usr/bin/python3"
QUESTION = "Registration..."
FORM = "Electronic Registration..."


class MailSink:
    """The SMTP server on 127.0.0.1:25 for one case; stopped on leaving."""

    def __init__(self, out):
        self.out = out
        shutil.rmtree(out, ignore_errors=True)

    def __enter__(self):
        self.proc = subprocess.Popen([SYSTEM_PYTHON, SINK, self.out, "25"], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        line = self.proc.stdout.readline()
        if not line.startswith(b"ready"):
            self.proc.kill()
            raise AssertionError("mail server did not start: %r %r" % (line, self.proc.stderr.read()))
        return self

    def __exit__(self, *exc):
        self.proc.stdin.close()  # the server ends when its input closes
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()

    def mails(self):
        return sorted(n for n in os.listdir(self.out) if n.startswith("mail-") and n.endswith(".txt"))

    def wait_mail(self, timeout=30):
        end = time.time() + timeout
        while time.time() < end:
            names = self.mails()
            if names:
                with open(os.path.join(self.out, names[0]), "rb") as f:
                    return f.read()
            time.sleep(0.2)
        raise AssertionError("no mail arrived")


def windows(h, title):
    ids = h.xdotool("search", "--onlyvisible", "--name", "^%s$" % re.escape(title))
    return ids.split() if ids else []


def wait_new_window(h, title, known, timeout=45):
    """Waits for a visible window titled title that is not among known."""
    end = time.time() + timeout
    while time.time() < end:
        fresh = [w for w in windows(h, title) if w not in known]
        if fresh:
            return fresh[0]
        time.sleep(0.2)
    raise AssertionError("no new window titled %r appeared" % title)


def wait_gone(h, window, title=FORM, timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        if window not in windows(h, title):
            return
        time.sleep(0.2)
    raise AssertionError("window %s is still there" % window)


def press(h, window, *keys):
    h.xdotool("windowfocus", "--sync", window)
    h.xdotool("key", "--delay", "60", *keys)


def type_text(h, window, text):
    h.xdotool("windowfocus", "--sync", window)
    h.xdotool("type", "--delay", "30", text)


def refused(h, form):
    """Register Now! must bring up a box over the form and leave the form
    open; the box is answered with Return."""
    press(h, form, "Return")
    box = wait_new_window(h, FORM, [form])
    press(h, box, "Return")
    wait_gone(h, box)
    assert form in windows(h, FORM), "the form closed"


ANSWERS = ["Jo", "Doe", "12 Main Street", "Springfield", "IL", "USA", "62701", "jo@isp.net", "555-123-4567",
           "A friend"]
LABELS = ["FIRST NAME", "LAST NAME", "ADDRESS", "CITY", "STATE", "COUNTRY", "ZIP", "EMAIL", "PHONE", "FINDOUT"]
BAD_EMAILS = ["@bc.de", "a@b@c.de", "a@.bcde", "a@bcdef", "a b@cd.ef", "a@b.c"]


def fill(h, form, answers):
    """Types the answers from the first field on: Tab moves on in the form's
    order and selects the next field's text."""
    for i, text in enumerate(answers):
        if i:
            press(h, form, "Tab")
        type_text(h, form, text)


@contextlib.contextmanager
def registering(h, case, script):
    """Builds the installer, starts it with the mail server up and says Yes
    to the question; yields (unix dir, mail server, form window). On leaving,
    the installer must end with 0."""
    unix, win = build_installer(h, case, script)
    with MailSink(os.path.join(unix, "mail")) as sink:
        proc = h.wine([win + "\\install.exe", "-debug"], cwd=unix, wait=False)
        try:
            press(h, h.find_window(QUESTION), "Return")  # Yes
            try:
                form = wait_new_window(h, FORM, [])
            except AssertionError:
                log = os.path.join(unix, "debug.log")
                raise AssertionError("the form did not come up; exit %r, log:\n%s" % (
                    proc.poll(), read_log(log).decode("latin-1") if os.path.exists(log) else "(none)"))
            yield unix, sink, form
            assert proc.wait(timeout=60) == 0
        finally:
            if proc.poll() is None:
                proc.kill()


def test_registration_mail_reaches_the_server(h):
    script = b"COMPANY NAME: Acme\nPRODUCT NAME: Widget\nTEXT: WIDGET\nREGISTER: reg@127.0.0.1\nBREAK\n"
    with registering(h, "register-mail", script) as (unix, sink, form):
        answers = list(ANSWERS)
        answers[4] = "I"  # a one-letter state is refused
        answers[7] = BAD_EMAILS[0]
        fill(h, form, answers)
        h.screenshot("register-form")
        refused(h, form)
        # From the find-out field back to the state: its text gets selected.
        press(h, form, *(["shift+Tab"] * 5))
        type_text(h, form, "IL")
        refused(h, form)  # now the address is wrong
        press(h, form, "Tab", "Tab", "Tab")
        for bad in BAD_EMAILS[1:]:
            type_text(h, form, bad)
            refused(h, form)
            press(h, form, "shift+Tab", "Tab")
        type_text(h, form, "jo@isp.net")
        press(h, form, "Return")
        wait_gone(h, form)
        mail = sink.wait_mail()
        thanks = wait_new_window(h, FORM, [form])
        h.screenshot("register-thanks")
        press(h, thanks, "Return")
    assert len(sink.mails()) == 1, sink.mails()

    log = read_log(os.path.join(unix, "debug.log"))
    company, product, tag = b"Acme", b"Widget", b"WIDGET"
    assert log.count(b"Send registration to 'reg@127.0.0.1'\r\n") == 1, log
    assert (b"Looking up 'reg' at '127.0.0.1'\r\nContacting host 127.0.0.1:25...\r\n"
            b"Connected... Sending mail...\r\n") in log, log
    assert b"Disconnected... Mail Sent!\r\n" in log, log

    head, _, data = mail.partition(b"\r\n\r\n")
    assert head == b"FROM jo@isp.net\r\nTO reg@127.0.0.1", head
    lines = data.split(b"\r\n")
    assert lines[:5] == [b"From: <jo@isp.net>", b"To: <reg@127.0.0.1>",
                         b"Subject: [" + tag + b"] " + product + b" Registration",
                         b"X-Mailer: " + company + b" Installer", b""], lines[:5]
    body = lines[5:]
    assert body[:2] == [b"COMPANY:" + company, b"PRODUCT:" + product], body
    assert body[2:12] == [(l + ":" + a).encode() for l, a in zip(LABELS, ANSWERS)], body
    assert re.fullmatch(rb"IP ADRS:\d+\.\d+\.\d+\.\d+", body[12]), body[12]
    assert body[13].startswith(b"IP NAME:") and len(body[13]) > 8, body[13]
    facts = body[14:]
    assert facts[-2:] == [b"", b""], facts  # the empty line before the final dot
    facts = facts[:-2]
    assert re.fullmatch(rb"MEMORY:[1-9]\d*k", facts[-1]), facts[-1]
    assert re.fullmatch(rb"OS:Microsoft Windows NT \d+\.\d+\.\d+ .*", facts[-2]), facts[-2]
    labels = [f.split(b":")[0] for f in facts[:-2]]
    # Wine's registry has the processor key; the display key may be missing
    # (then its lines are left out), so may be the owner values (then
    # "Unknown").
    assert labels[:4] == [b"CPU IDENT", b"CPU SPEED", b"CPU MMX", b"CPU VENDOR"], facts
    assert re.fullmatch(rb"CPU SPEED:\d+", facts[1]), facts[1]
    assert labels[4:] in ([b"OS OWNER", b"OS ORG"], [b"VIDEO SIZE", b"VIDEO DEPTH", b"OS OWNER", b"OS ORG"]), facts
    assert log.endswith(b"Successful Exit...\r\n"), log[-300:]


def test_declining_inside_the_main_window_sends_nothing(h):
    script = b"PRODUCT NAME: Widget\nBREAK\nREGISTER: reg@127.0.0.1\nREGISTER: reg@127.0.0.1\n"
    with registering(h, "register-declined", script) as (unix, sink, form):
        type_text(h, form, "Jo")
        press(h, form, "Escape")  # Don't Register
        sure = wait_new_window(h, FORM, [form])
        press(h, sure, "Tab", "Return")  # No: the form stays
        wait_gone(h, sure)
        assert windows(h, FORM) == [form], windows(h, FORM)
        press(h, form, "Escape")
        press(h, wait_new_window(h, FORM, [form]), "Return")  # Yes
        wait_gone(h, form)
        # The second REGISTER: No to the question.
        question = wait_new_window(h, QUESTION, [])
        press(h, question, "Tab", "Return")
    assert sink.mails() == []
    log = read_log(os.path.join(unix, "debug.log"))
    assert b"Send registration" not in log, log
    assert b"Break Encountered\r\n" in log, log
    assert log.endswith(b"Successful Exit...\r\n"), log[-300:]


OWNER_KEY = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion"
HOSTILE_OWNER = b"Pat\r\n.\r\nMAIL FROM:<evil@x>\r\nRCPT TO:<victim@y>\r\nDATA\r\nSubject: injected\r\n"


def set_owner(h, case, data):
    """Writes RegisteredOwner (bytes, CR LF and all, which `reg add` cannot
    carry) from a REGEDIT4 file as hex(1) bytes, into the registry view the
    run's product reads: with the 32-bit regedit for the 32-bit installer
    where the prefix has one, with the 64-bit one for the 64-bit installer.
    None deletes the value."""
    unix, win = h.case_dir(case)
    value = "-" if data is None else "hex(1):" + ",".join("%02x" % b for b in data + b"\0")
    with open(os.path.join(unix, "owner.reg"), "w", newline="\r\n") as f:
        f.write('REGEDIT4\n\n[%s]\n"RegisteredOwner"=%s\n\n' % (OWNER_KEY, value))
    wow = os.path.join(h.prefix, "drive_c", "windows", "syswow64", "regedit.exe")
    regedit = "C:\\windows\\syswow64\\regedit.exe" if h.arch == "x86" and os.path.exists(wow) else "regedit"
    r = h.wine([regedit, "/S", win + "\\owner.reg"])
    assert r.returncode == 0, r.stderr


def test_a_hostile_owner_value_cannot_add_commands_to_the_mail(h):
    before = h.reg_query(OWNER_KEY.replace("HKEY_LOCAL_MACHINE", "HKLM"), "RegisteredOwner")
    set_owner(h, "register-owner-set", HOSTILE_OWNER)
    try:
        script = b"COMPANY NAME: Acme\nPRODUCT NAME: Widget\nREGISTER: reg@127.0.0.1\nBREAK\n"
        with registering(h, "register-injection", script) as (unix, sink, form):
            fill(h, form, ANSWERS)
            press(h, form, "Return")
            wait_gone(h, form)
            mail = sink.wait_mail()
            press(h, wait_new_window(h, FORM, [form]), "Return")  # the thanks
    finally:
        set_owner(h, "register-owner-restore", None if before is None else before.encode())
    assert len(sink.mails()) == 1, sink.mails()
    head, _, data = mail.partition(b"\r\n\r\n")
    assert head == b"FROM jo@isp.net\r\nTO reg@127.0.0.1", head
    lines = data.split(b"\r\n")
    assert b"OS OWNER:Pat.MAIL FROM:<evil@x>RCPT TO:<victim@y>DATASubject: injected" in lines, lines
    assert lines[-3].startswith(b"MEMORY:") and lines[-2:] == [b"", b""], lines[-3:]
    log = read_log(os.path.join(unix, "debug.log"))
    assert log.count(b"Disconnected... Mail Sent!\r\n") == 1, log
