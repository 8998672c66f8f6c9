"""A full drive under Wine: a 5 MB tmpfs mounted below the case's folder and
mapped as drive S: of the prefix. The free-space check counts whole
clusters and the uninstaller, so it refuses what would not fit; files
written where no check is made (a script without INSTALL PATH, run from
S:\\) meet the full drive, and the run fails with the system's reason and
leaves no empty or partial file."""
import contextlib
import os
import subprocess

import harness

SMALL = {"f%04d.txt" % i: b"x" * 121 for i in range(1400)}  # 166k of bytes, 5,600k of clusters
LIST = b",".join(name.encode() for name in sorted(SMALL))


@contextlib.contextmanager
def small_drive(h, case):
    """A 5 MB tmpfs as drive S: for the case; unmounted and unmapped at the end."""
    unix, _ = h.case_dir(case)
    mount = os.path.join(unix, "s")
    os.makedirs(mount)
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=5m", "tmpfs", mount], stderr=subprocess.PIPE)
    if r.returncode != 0:
        raise harness.Skip("no tmpfs can be mounted here: %s" % r.stderr.decode().strip())
    link = os.path.join(h.prefix, "dosdevices", "s:")
    try:
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(mount, link)
        yield mount
    finally:
        h.end_case()
        if os.path.lexists(link):
            os.remove(link)
        if subprocess.run(["umount", mount], stderr=subprocess.DEVNULL).returncode != 0:
            subprocess.run(["umount", "-l", mount])


def run_from(h, inst, cwd, *args):
    """Runs the installer with -silent -debug in the unix folder cwd (Wine's
    current directory there); returns its exit code."""
    proc = subprocess.Popen(["wine", inst.exe_win, "-silent", "-debug"] + list(args), cwd=cwd, env=h.env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    h.started.append(proc)
    return h.wait_exit(proc, timeout=180)


def fill(mount):
    """Writes one file until the drive has no room left."""
    with open(os.path.join(mount, "filler"), "wb", buffering=0) as f:
        try:
            while True:
                f.write(b"\0" * 4096)
        except OSError:
            pass


def written_files(mount):
    return {name: os.path.getsize(os.path.join(mount, name)) for name in os.listdir(mount) if name != "filler"}


def test_files_with_room_for_their_bytes_but_not_their_clusters(h):
    with small_drive(h, "fulldisk-clusters-drive") as mount:
        # Asked for a destination: refused before anything is written.
        inst = h.build_installer("fulldisk-clusters", b"INSTALL SIZE: auto\nUNINSTALL: uninstall.exe\nINSTALL PATH: Where?\n"
                                 b"FILE LIST: " + LIST + b"\nINSTALL\n", SMALL)
        assert run_from(h, inst, inst.unix, "-dir=S:\\Many") == 4
        log = inst.log()
        assert b"1400 files in clusters of 4096 bytes" in log, log
        assert b"does not have enough free space" in log, log
        assert os.listdir(mount) == []
        # Written where no check is made: the drive fills, the run fails with
        # the system's reason, and every file left is whole.
        inst = h.build_installer("fulldisk-clusters-here", b"FILE LIST: " + LIST + b"\nINSTALL\n", SMALL)
        assert run_from(h, inst, mount) == 2
        log = inst.log()
        assert b"Write failed (112): " in log, log
        assert b"Unable to write to file '" in log and b"Command Failed 'INSTALL'" in log, log
        files = written_files(mount)
        assert 1000 < len(files) < 1400, len(files)
        assert set(files.values()) == {121}, sorted(n for n, s in files.items() if s != 121)[:5]


def test_a_drive_already_full_leaves_no_empty_file(h):
    with small_drive(h, "fulldisk-full-drive") as mount:
        fill(mount)
        inst = h.build_installer("fulldisk-full", b"FILE LIST: a.bin,b.bin,c.bin\nINSTALL\n",
                                 {n: os.urandom(3000) for n in ("a.bin", "b.bin", "c.bin")})
        assert run_from(h, inst, mount) == 2
        log = inst.log()
        assert b"Write failed (112): " in log and b"Unable to write to file 'a.bin'" in log, log
        assert written_files(mount) == {}
