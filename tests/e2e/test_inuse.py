"""A file another program holds under Wine (tools/holder.c opens it with no
sharing): attended, the Retry/Cancel box names the file and Retry after the
program let go installs version 2; unattended in a user install the run
fails with exit code 6 and version 1 stays; unattended in a machine install
with FILES IN USE: restart it ends with 3010, the new file beside the old
one and the swap asked of the system in PendingFileRenameOperations."""
import os
import shutil
import subprocess
import time

import example

PROBLEM = "Installation Problem..."
DEST = "C:\\Program Files\\Vantor InUse"
SESSION = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager"
PENDING = "PendingFileRenameOperations"
SCRIPT = b"""PRODUCT NAME: Gadget InUse
INSTALL DIR: Vantor InUse
INSTALL PATH: Where should the gadget go?
FILE LIST: gadget.txt,data.txt
INSTALL
"""
V1 = {"gadget.txt": b"gadget 1\r\n", "data.txt": b"data 1\r\n"}
V2 = {"gadget.txt": b"gadget 2\r\n", "data.txt": b"data 2\r\n"}


def content(h, name):
    with open(os.path.join(h.drive_c(DEST + "\\"), name), "rb") as f:
        return f.read()


class Holder:
    """tools/holder.c holding a file of the destination until let go."""

    def __init__(self, h, name):
        self.h = h
        tool = os.path.join(h.out, "holder-%s.exe" % h.arch)
        source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tools", "holder.c")
        if not os.path.exists(tool) or os.path.getmtime(tool) < os.path.getmtime(source):
            r = subprocess.run([h.cc, "-Os", "-s", "-o", tool, source], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT)
            assert r.returncode == 0, r.stdout.decode(errors="replace")
        self.unix, win = h.case_dir("inuse-holder")
        self.proc = h.wine([tool, DEST + "\\" + name, win + "\\held", win + "\\go"], wait=False)
        end = time.time() + 60
        while not os.path.exists(os.path.join(self.unix, "held")):
            assert self.proc.poll() is None, "the holder ended with %s" % self.proc.returncode
            assert time.time() < end, "the holder did not take the file"
            time.sleep(0.2)

    def let_go(self):
        if self.proc.poll() is None:
            open(os.path.join(self.unix, "go"), "wb").close()
            try:
                self.proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def run(h, case, script, files, *args):
    inst = h.build_installer(case, script, files)
    return inst, h.wait_exit(h.run_installer(inst, "-silent", "-debug", "-dir=" + DEST, *args), timeout=90)


def test_a_file_in_use_is_retried_fails_or_is_replaced_at_restart(h):
    folder = h.drive_c(DEST + "\\")
    shutil.rmtree(folder, ignore_errors=True)
    h.wine(["reg", "delete", SESSION, "/v", PENDING, "/f"])
    holder = None
    try:
        inst, code = run(h, "inuse-v1", SCRIPT, V1)
        assert code == 0, inst.log()
        holder = Holder(h, "gadget.txt")
        # Attended: the box names the file; Retry once the program let go.
        inst = h.build_installer("inuse-attended", SCRIPT, V2)
        proc = h.run_installer(inst, "-debug")
        h.accept_destination()
        text = example.box_text(h, PROBLEM)
        assert text.startswith("The file '%s\\gadget.txt' is in use" % DEST), example.wintext(h, PROBLEM)
        assert content(h, "gadget.txt") == V1["gadget.txt"]
        holder.let_go()
        h.key_until_gone(h.find_window(PROBLEM), "Return")  # Retry, the default button
        assert h.wait_exit(proc, timeout=90) == 0, inst.log()
        assert content(h, "gadget.txt") == V2["gadget.txt"]
        # Unattended, a user install: exit code 6, everything as it was.
        holder = Holder(h, "gadget.txt")
        user = b"INSTALL SCOPE: user\nFILES IN USE: restart\n" + SCRIPT
        inst, code = run(h, "inuse-user", user, V1)
        assert code == 6, inst.log()
        assert b"File in use (32): '" + DEST.encode() + b"\\gadget.txt'" in inst.log(), inst.log()
        assert content(h, "gadget.txt") == V2["gadget.txt"]
        assert content(h, "data.txt") == V2["data.txt"]
        # Unattended, a machine install that replaces at restart: 3010.
        inst, code = run(h, "inuse-machine", b"FILES IN USE: restart\n" + SCRIPT, V1)
        assert code == 3010 & 0xFF, inst.log()  # Wine gives the exit code's low byte
        assert inst.log().endswith(b"Exit with code 3010...\r\n"), inst.log()[-300:]
        assert content(h, "gadget.txt") == V2["gadget.txt"]
        assert content(h, "gadget.txt.~new") == V1["gadget.txt"]
        assert content(h, "data.txt") == V1["data.txt"]
        pending = h.reg_query(SESSION, PENDING) or ""
        assert "Vantor InUse\\gadget.txt.~new" in pending, pending
    finally:
        if holder is not None:
            holder.let_go()
        h.wine(["reg", "delete", SESSION, "/v", PENDING, "/f"])
        shutil.rmtree(folder, ignore_errors=True)
