"""End-to-end harness: real programs under Wine, on a virtual display.

One Wine prefix and one Xvfb display serve the whole run (wineboot takes a
while); each case gets a fresh folder of its own inside the prefix's drive C.
Cases are plain functions named test_* in the test_*.py files here; each takes
the Harness and raises AssertionError (or any exception) to fail.
"""
import os
import shutil
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class Harness:
    def __init__(self, build_root):
        self.build_root = build_root
        self.native = os.path.join(build_root, "native")
        self.win32 = os.path.join(build_root, "win32")
        self.install_exe = os.path.join(self.win32, "installer", "install.exe")
        self.ffsbuild = os.path.join(self.native, "builder", "ffsbuild")
        self.out = os.path.join(build_root, "e2e")
        self.shots = os.path.join(self.out, "screenshots")
        os.makedirs(self.shots, exist_ok=True)
        self.prefix = os.environ.get("VANTOR_E2E_PREFIX") or os.path.join(self.out, "wineprefix")
        self.display = None
        self.xvfb = None
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")

    # ---- life of the run -------------------------------------------------
    def start(self):
        for n in range(99, 140):
            if not os.path.exists("/tmp/.X%d-lock" % n):
                self.display = ":%d" % n
                break
        self.xvfb = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.env["DISPLAY"] = self.display
        for _ in range(50):
            if os.path.exists("/tmp/.X11-unix/X%s" % self.display[1:]):
                break
            time.sleep(0.1)
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            os.makedirs(self.prefix, exist_ok=True)
            subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=self.env)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()

    # ---- per case ----------------------------------------------------------
    def case_dir(self, name):
        """A fresh folder below drive C of the prefix; returns (unix path, windows path)."""
        unix = os.path.join(self.prefix, "drive_c", "e2e", name)
        shutil.rmtree(unix, ignore_errors=True)
        os.makedirs(unix)
        return unix, "C:\\e2e\\" + name.replace("/", "\\")

    def wine(self, args, cwd=None, timeout=60, wait=True):
        cmd = ["wine"] + list(args)
        if not wait:
            return subprocess.Popen(cmd, cwd=cwd, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return subprocess.run(cmd, cwd=cwd, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=timeout)

    def wine_answering(self, args, title, keys=("Return",), cwd=None, timeout=60):
        """Runs a program that shows one message box titled title, answers it
        with keys and waits for the program; returns its exit code."""
        proc = self.wine(args, cwd=cwd, wait=False)
        try:
            self.key(self.find_window(title, timeout=timeout), *keys)
            return proc.wait(timeout=timeout)
        finally:
            if proc.poll() is None:
                proc.kill()

    def xdotool(self, *args):
        r = subprocess.run(["xdotool"] + list(args), env=self.env, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True)
        return r.stdout.strip()

    def find_window(self, title, timeout=20):
        """Waits for a visible window whose title matches exactly; returns its id."""
        end = time.time() + timeout
        while time.time() < end:
            ids = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % title)
            if ids:
                return ids.split()[0]
            time.sleep(0.2)
        raise AssertionError("no window titled %r appeared" % title)

    def key(self, window, *keys):
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", "--window", window, *keys)

    def screenshot(self, name):
        path = os.path.join(self.shots, name + ".png")
        subprocess.run(["import", "-window", "root", path], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        return path


def read_log(path):
    with open(path, "rb") as f:
        return f.read()
