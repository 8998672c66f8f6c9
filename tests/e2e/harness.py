"""End-to-end harness: real programs under Wine, on a virtual display.

One Wine prefix and one Xvfb display serve the whole run (wineboot takes a
while); each case gets a fresh folder of its own inside the prefix's drive C.
Cases are plain functions named test_* in the test_*.py files here; each takes
the Harness and raises AssertionError (or any exception) to fail, or Skip when
the machine cannot run it.

A typical case builds an installer from a readable script and a payload,
starts it, answers its windows by their captions and checks what it did:

    inst = h.build_installer("my-case", b"PRODUCT NAME: Widget\nBREAK\n...", {"readme.txt": b"hi"})
    proc = h.run_installer(inst, "-debug")
    h.answer("Widget Installation...", "Return")
    assert h.wait_exit(proc) == 0
    assert inst.log().endswith(b"Successful Exit...\r\n")
"""
import os
import re
import select
import shutil
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE64 = "/usr/lib/wine/wine64"


class Skip(Exception):
    """A case that cannot run on this machine; the test run counts it as a
    failure unless tests/expected-skips.txt lists it with its reason."""


class Installer:
    """One built installer in its case folder: unix and windows paths of the
    folder and of install.exe; log() reads its debug.log."""

    def __init__(self, unix, win):
        self.unix, self.win = unix, win
        self.exe = os.path.join(unix, "install.exe")
        self.exe_win = win + "\\install.exe"
        self.log_path = os.path.join(unix, "debug.log")

    def log(self):
        return read_log(self.log_path) if os.path.exists(self.log_path) else b""


class Shot:
    """A screenshot: its file and its pixels (RGB)."""

    def __init__(self, path, env):
        self.path = path
        size = subprocess.run(["identify", "-format", "%w %h", path], env=env, stdout=subprocess.PIPE,
                              check=True).stdout.split()
        self.width, self.height = int(size[0]), int(size[1])
        self.rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], env=env, stdout=subprocess.PIPE,
                                  check=True).stdout

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])


# The products: ffsbuild's --arch, the stub's name in its build, its COFF
# machine and the cross compiler of programs the cases build for it.
ARCHES = {"x86": ("install.exe", 0x14C, "i686-w64-mingw32-gcc"),
          "x64": ("install64.exe", 0x8664, "x86_64-w64-mingw32-gcc")}


def slot_id():
    """"" on the first Wine slot or outside CTest's slots; "-N" on slot N."""
    given = os.environ.get("CTEST_RESOURCE_GROUP_0_WINE", "")
    fields = dict(part.split(":", 1) for part in given.split(",") if ":" in part)
    number = fields.get("id", "0")
    return "" if number == "0" else "-" + number


class Harness:
    def __init__(self, native, win32, arch="x86"):
        """native, win32: the build folders (ffsbuild from the first, the
        stub and the Win32 test programs from the second: build/win32 for
        arch x86, build/win64 for x64). Installers are built with ffsbuild
        build --arch arch, which finds that product itself."""
        self.native, self.win32, self.arch = native, win32, arch
        stub, machine, self.cc = ARCHES[arch]
        self.install_exe = os.path.join(self.win32, "installer", stub)
        if pe_machine(self.install_exe) != machine:
            raise RuntimeError("%s is not the %s product" % (self.install_exe, arch))
        wide = arch == "x64"
        self.ffsbuild = os.path.join(self.native, "builder", "ffsbuild")
        # CTest may run cases side by side, each on a Wine slot of its own
        # (tests/e2e/wine-slots.json): a slot other than the first has its
        # own output folder and Wine prefix, named after it.
        slot = slot_id()
        self.out = os.path.join(self.native, "e2e" + slot)
        self.shots = os.path.join(self.out, "screenshots")
        os.makedirs(self.shots, exist_ok=True)
        self.prefix = (os.environ.get("VANTOR_E2E_PREFIX") or os.path.join(self.out, "wineprefix")) + slot
        self.display = None
        self.xvfb = None
        self.started = []  # processes of the current case
        self.selfreg_dll = os.path.join(self.win32, "tests", "selfreg.dll")
        self.env = dict(os.environ)
        # winemenubuilder would copy every shortcut the installers make into
        # the desktop's own menus, outside the prefix.
        self.env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        if wide and os.path.exists(WINE64):
            # The 64-bit product runs under Wine's 64-bit loader, as wine and
            # wine-stable: started through the 32-bit loader, a 64-bit
            # program keeps the folder it was started in held after its end.
            shims = os.path.join(self.out, "wine64-bin")
            os.makedirs(shims, exist_ok=True)
            for name in ("wine", "wine-stable"):
                with open(os.path.join(shims, name), "w") as f:
                    f.write('#!/bin/sh\nexec %s "$@"\n' % WINE64)
                os.chmod(os.path.join(shims, name), 0o755)
            self.env.update(PATH=shims + os.pathsep + self.env.get("PATH", ""), WINELOADER=WINE64)

    # ---- life of the run -------------------------------------------------
    def start(self):
        # A Wine server left over from an earlier run (the Win32 unit tests,
        # say) keeps the display it started with; end it, so that every
        # program of this run shows its windows on this run's display.
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)
        # Xvfb picks a free display itself and writes its number when it
        # takes connections: a lock file need not be visible to show that a
        # display is taken (another chroot's server holds its socket).
        ready, told = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(told), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], pass_fds=(told,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(told)
        number = b""
        while not number.endswith(b"\n") and select.select([ready], [], [], 30)[0]:
            got = os.read(ready, 16)
            if not got:
                break
            number += got
        os.close(ready)
        if not number.strip().isdigit():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.strip().decode()
        self.env["DISPLAY"] = self.display
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            os.makedirs(self.prefix, exist_ok=True)
            subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=self.env)
        # There is no window manager on the virtual display: Wine places and
        # sizes every window itself, so that a maximised window fills the
        # screen as it would on Windows.
        # (Written once per prefix: each Wine start costs seconds.)
        if not self._unmanaged():
            subprocess.run(["wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/t",
                            "REG_SZ", "/d", "N", "/f"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=self.env)

    def _unmanaged(self):
        """True when the prefix's user registry already says Managed=N."""
        try:
            with open(os.path.join(self.prefix, "user.reg"), encoding="latin-1") as f:
                text = f.read()
        except OSError:
            return False
        at = text.find("[Software\\\\Wine\\\\X11 Driver]")
        end = text.find("\n[", at + 1) if at >= 0 else -1
        section = text[at:end if end >= 0 else len(text)] if at >= 0 else ""
        return '"Managed"="N"' in section

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
            end = time.time() + timeout
            while time.time() < end:
                # Every matching window gets the keys, again and again: a box
                # that has only just appeared may miss the first ones, and a
                # closed box of an earlier program may still be listed.
                ids = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % title).split()
                for window in ids:
                    self.key(window, *keys)
                try:
                    return proc.wait(timeout=1 if ids else 0.2)
                except subprocess.TimeoutExpired:
                    pass
            raise AssertionError("%r did not end after its box %r" % (args, title))
        finally:
            if proc.poll() is None:
                proc.kill()

    def xdotool(self, *args):
        r = subprocess.run(["xdotool"] + list(args), env=self.env, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True)
        return r.stdout.strip()

    def find_window(self, title, timeout=45):
        """Waits for a visible window whose title matches exactly; returns its id."""
        return self.find_window_like("^%s$" % title, timeout)

    def find_window_like(self, pattern, timeout=45):
        """Waits for a visible window whose title matches the regular
        expression; returns its id."""
        end = time.time() + timeout
        while time.time() < end:
            ids = self.xdotool("search", "--onlyvisible", "--name", pattern)
            if ids:
                return ids.split()[0]
            time.sleep(0.2)
        raise AssertionError("no window titled like %r appeared" % pattern)

    def key(self, window, *keys):
        """Types the keys into the window (see press)."""
        self.press(window, *keys)

    def screenshot(self, name):
        path = os.path.join(self.shots, name + ".png")
        subprocess.run(["import", "-window", "root", path], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        return path

    # ---- installers built from a readable script ---------------------------
    def build_installer(self, case, script, files=None, method=None, options=()):
        """Writes script (bytes) and the payload files ({name: bytes}, names
        may hold "/" for subfolders) into a fresh case folder and builds
        install.exe there with ffsbuild build. Returns the Installer."""
        unix, win = self.case_dir(case)
        payload = os.path.join(unix, "payload")
        os.makedirs(payload)
        for name, data in (files or {}).items():
            path = os.path.join(payload, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        source = os.path.join(unix, "setup.txt")
        with open(source, "wb") as f:
            f.write(script)
        cmd = [self.ffsbuild, "build", "-o", os.path.join(unix, "install.exe"), "--arch", self.arch]
        if method:
            cmd += ["-m", method]
        r = subprocess.run(cmd + list(options) + [source, payload], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        assert r.returncode == 0, r.stderr.decode(errors="replace")
        return Installer(unix, win)

    def run_installer(self, inst, *args):
        """Starts the installer in its folder without waiting; returns the
        process (ended by end_case if the case leaves it running)."""
        # What Wine itself says (a program it could not start) is kept
        # outside the prefix, for a failure's message: stderr_of(inst).
        with open(self.stderr_of(inst), "ab") as err:  # a second run of the case adds to it
            err.write(b"== %s %s\n" % (time.strftime("%H:%M:%S").encode(), " ".join(args).encode()))
            err.flush()
            proc = subprocess.Popen(["wine", inst.exe_win] + list(args), cwd=inst.unix, env=self.env,
                                    stdout=subprocess.DEVNULL, stderr=err)
        self.started.append(proc)
        return proc

    def stderr_of(self, inst):
        """The file that keeps what Wine wrote while inst ran."""
        folder = os.path.join(self.out, "wine-stderr")
        os.makedirs(folder, exist_ok=True)
        return os.path.join(folder, os.path.basename(inst.unix) + ".txt")

    def end_case(self):
        """Ends what the case started and left running, so that the next case
        finds the screen empty."""
        for proc in self.started:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        self.started = []

    def wait_exit(self, proc, timeout=30):
        """Waits for the process to end and returns its exit code; a process
        still running after timeout seconds is killed and fails the case."""
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            shown = sorted(self.window_title(w) for w in self.windows_titled("."))
            ps = subprocess.run(["ps", "-eo", "stat,args"], stdout=subprocess.PIPE).stdout.decode(errors="replace")
            processes = "\n".join(line for line in ps.splitlines() if ":\\" in line)  # Wine's programs
            proc.kill()
            raise AssertionError("the program did not end within %d s; windows shown: %r; processes:\n%s"
                                 % (timeout, shown, processes))

    def answer(self, title, *keys, timeout=45):
        """Waits for the window titled title and sends it the keys (a
        message box: "Return" for its default button, "y" or "n" for Yes or
        No). Returns the window id."""
        window = self.find_window(title, timeout=timeout)
        self.press(window, *keys)
        return window

    def press(self, window, *keys):
        """Focuses the window and types the keys as real key presses. Keys
        sent to a window (key()) reach Wine as synthetic events, and a box
        closed by such a Return can pass the same Return on to the box that
        follows it."""
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", "--clearmodifiers", *keys)

    def key_until_gone(self, window, *keys, timeout=20):
        """Types the keys into the window (press) until it has gone, in case
        a key arrives before the window is ready for it."""
        end = time.time() + timeout
        while time.time() < end:
            self.press(window, *keys)
            for _ in range(10):
                if window not in self.windows_titled("."):
                    return
                time.sleep(0.1)
        raise AssertionError("window %s did not go away after %s" % (window, " ".join(keys)))

    def click(self, window, fx, fy):
        """Clicks the left mouse button at the point given as fractions of
        the window's width and height."""
        x, y, width, height = self.window_geometry(window)
        x, y = x + int(fx * width), y + int(fy * height)
        # mousemove --sync waits for the pointer to move, which it does not
        # when it is there already (the same button of the same page again).
        location = self.xdotool("getmouselocation", "--shell").splitlines()
        here = dict(line.split("=", 1) for line in location if "=" in line)
        if (here.get("X"), here.get("Y")) != (str(x), str(y)):
            self.xdotool("mousemove", "--sync", str(x), str(y))
        self.xdotool("click", "1")

    def accept_destination(self, timeout=45):
        """Takes the proposed directory in the destination dialog: Return on
        "Installation Directory...", then Yes in the box of the same caption
        that asks whether to create it."""
        dialog = self.find_window("Installation Directory...", timeout=timeout)
        self.press(dialog, "Return")
        end = time.time() + timeout
        while time.time() < end:
            boxes = [w for w in self.windows_titled("^Installation Directory...$") if w != dialog]
            if boxes:
                self.key_until_gone(boxes[0], "y")
                return
            time.sleep(0.2)
        raise AssertionError("the destination was not confirmed")

    def drive_c(self, windows_path):
        """The unix path of a path on the prefix's drive C. As on Windows,
        letter case does not matter: an existing file or folder is found in
        whatever case it was made."""
        assert windows_path[:3].upper() == "C:\\", windows_path
        path = os.path.join(self.prefix, "drive_c")
        for part in [p for p in windows_path[3:].split("\\") if p]:
            here = os.listdir(path) if os.path.isdir(path) else []
            match = [name for name in here if name.lower() == part.lower()]
            path = os.path.join(path, match[0] if match else part)
        return path

    def temp_dir(self):
        """The unix path of the prefix's temporary folder (%TEMP%)."""
        if not getattr(self, "_temp", None):
            r = self.wine(["cmd", "/c", "echo", "%TEMP%"])
            self._temp = self.drive_c(r.stdout.decode(errors="replace").strip())
        return self._temp

    def windows_titled(self, pattern):
        """Ids of the visible windows whose title matches pattern (a regular
        expression) now, without waiting."""
        ids = self.xdotool("search", "--onlyvisible", "--name", pattern)
        return ids.split()

    def window_title(self, window):
        return self.xdotool("getwindowname", window)

    def window_geometry(self, window):
        """(x, y, width, height) of the window on the screen."""
        out = self.xdotool("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def wait_gone(self, window, timeout=30):
        """Waits until the window is no longer visible."""
        end = time.time() + timeout
        while time.time() < end:
            if window not in self.windows_titled("."):
                return
            time.sleep(0.2)
        raise AssertionError("window %s is still there" % window)

    def close_window(self, window):
        """Asks the window to close as a user would: Alt+F4 (the system
        turns it into WM_CLOSE), typed as real key presses, since Wine takes
        its modifier keys from those and not from sent events."""
        self.press(window, "alt+F4")

    def close_folder_windows(self, name):
        """Closes Wine's folder windows titled name (the shell opens one for
        a new Program Manager group, at times late): Alt+F4 first; a window
        still there a second later is ended with the explorer process that
        shows that folder, as one that keeps the keyboard would block every
        window below it."""
        for window in self.windows_titled("^%s$" % re.escape(name)):
            self.close_window(window)
            for _ in range(10):
                if window not in self.windows_titled("."):
                    break
                time.sleep(0.1)
            else:
                self.end_folder_explorers(name)

    def end_folder_explorers(self, name=None):
        """Ends the explorer processes that show the folder name, or every
        folder when name is None (never the desktop's)."""
        ps = subprocess.run(["ps", "-eo", "pid,args"], stdout=subprocess.PIPE).stdout.decode(errors="replace")
        for line in ps.splitlines():
            pid, _, args = line.strip().partition(" ")
            folder = args.rstrip().endswith("\\" + name) if name else ":\\" in args.partition("explorer.exe")[2]
            if "explorer.exe" in args and "/desktop" not in args and folder:
                try:
                    os.kill(int(pid), 9)
                except (ValueError, OSError):
                    pass

    def grab(self, name, settle=0.5):
        """A screenshot of the whole screen saved as screenshots/NAME.png
        (after settle seconds, so that painting has finished); returns a Shot."""
        time.sleep(settle)
        return Shot(self.screenshot(name), self.env)

    # ---- what the installer left behind ---------------------------------------
    def start_menu_dirs(self):
        """The prefix's Program Manager folders: every user's and the common
        "Programs" folder of the Start Menu."""
        found = []
        for base, _dirs, _files in os.walk(os.path.join(self.prefix, "drive_c")):
            if base.endswith(os.path.join("Start Menu", "Programs")):
                found.append(base)
        return found

    def find_start_menu(self, *parts):
        """The path of a group (folder) or item (parts: group, caption +
        ".lnk") below any Start Menu Programs folder, or None."""
        for base in self.start_menu_dirs():
            path = os.path.join(base, *parts)
            if os.path.exists(path):
                return path
        return None

    def reg_query(self, key, value, *view):
        """The data of a registry value as `wine reg query` shows it, or None;
        view: "/reg:64" or "/reg:32" for that view of the registry."""
        r = self.wine(["reg", "query", key, "/v", value] + list(view))
        if r.returncode != 0:
            return None
        for line in r.stdout.decode(errors="replace").splitlines():
            m = re.match(r"\s+%s\s+REG_\w+\s*(.*)$" % re.escape(value), line)
            if m:
                return m.group(1).strip()
        return None


def pe_machine(path):
    """The machine field of a PE file's header (0x14C for i686)."""
    with open(path, "rb") as f:
        data = f.read(4096)
    at = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[at + 4:at + 6], "little")


def read_log(path):
    with open(path, "rb") as f:
        return f.read()
