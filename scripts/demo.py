#!/usr/bin/env python3
"""The main job's demonstration: builds the example product's installer
(examples/) and runs it under Wine.

    python3 scripts/demo.py [BUILD]     (BUILD defaults to build)

With a display ($DISPLAY set) the installer opens in a window there and you
answer its pages yourself. Without one it runs on a virtual display (Xvfb)
and the pages are answered for you with xdotool. Either way the demo then
prints where the files landed, the registry values and the Start Menu
shortcuts the installation made, and where it saved a screenshot of the
backdrop.
"""
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import example  # noqa: E402
import harness  # noqa: E402


class Demo(harness.Harness):
    def attach(self, display):
        """Uses the display that is there instead of a virtual one, with the
        window manager placing the windows."""
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)
        self.display = display
        self.env["DISPLAY"] = display
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            os.makedirs(self.prefix, exist_ok=True)
            print("demo: preparing the Wine prefix (once)...", flush=True)
            subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=self.env)
        subprocess.run(["wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/t", "REG_SZ",
                        "/d", "Y", "/f"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env)


def main():
    build_root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    os.environ.setdefault("VANTOR_E2E_PREFIX", os.path.join(build_root, "wineprefix"))
    # The product of the Windows build Wine runs here (scripts/wine-mode.sh).
    win = os.environ.get("WIN_BUILD", "win32")
    h = Demo(os.path.join(build_root, "native"), os.path.join(build_root, win), "x64" if win == "win64" else "x86")
    display = os.environ.get("DISPLAY")
    out = os.path.join(build_root, "demo")
    os.makedirs(out, exist_ok=True)
    shot = os.path.join(out, "backdrop.png")
    if os.path.exists(shot):
        os.remove(shot)

    print("demo: building the example installers (examples/build.sh)...", flush=True)
    example.build(h)
    if display:
        h.attach(display)
    else:
        print("demo: no display: running on a virtual one, the pages answered automatically", flush=True)
        h.start()
    try:
        example.forget(h)  # a fresh machine: no earlier installation
        inst = example.place(h, "demo")
        print("demo: running %s under Wine%s" % (inst.exe_win, " - answer its pages in the window" if display
                                                 else ""), flush=True)
        proc = h.run_installer(inst, "-debug")

        def snap(h):
            time.sleep(1)  # let the backdrop finish painting
            shutil.copy(h.screenshot("demo-backdrop"), shot)

        if display:
            h.find_window(example.WELCOME, timeout=60)
            snap(h)
            code = proc.wait()
        else:
            example.accept_pages(h, on_welcome=snap)
            code = example.finish(h, proc)
        h.end_case()
        print()
        print("The installer ended with exit code %d; its log: %s" % (code, inst.log_path))
        for line in example.summary(h, example.DEFAULT_DIR if not display else installed_dir(h),
                                    shot if os.path.exists(shot) else None):
            print(line)
    finally:
        if not display:
            h.stop()
    return 0


def installed_dir(h):
    """The directory the user chose, as the installation recorded it."""
    return h.reg_query(example.KEY, "Install Path") or example.DEFAULT_DIR


if __name__ == "__main__":
    sys.exit(main())
