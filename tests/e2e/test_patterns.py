"""A product of about a thousand files in nested folders, listed by the one
pattern "FILE LIST: **", installs under Wine byte for byte."""
import os
import random

DEST = "C:\\Vantor Patterns\\"


def payload():
    """1,000 files of varied sizes in a three-level tree, names with blanks
    and mixed letter case among them; the same every run."""
    rng = random.Random(19)
    files = {}
    for i in range(1000):
        folder = "/".join("Dir %d" % rng.randrange(4) if level == 0 else "sub%d" % rng.randrange(3)
                          for level in range(i % 4))
        name = ("%sFile %04d.%s" % (folder + "/" if folder else "", i, rng.choice(["txt", "BIN", "Dat"])))
        files[name] = bytes(rng.randrange(256) for _ in range(rng.choice([1, 37, 700, 5000])))
    return files


def test_the_whole_payload_from_one_pattern_installs_byte_identical(h):
    files = payload()
    inst = h.build_installer("patterns-all", b"PRODUCT NAME: Patterns\nINSTALL SIZE: auto\nINSTALL DIR: Vantor Patterns\n"
                             b"INSTALL PATH: Where?\nFILE LIST: **\nINSTALL\n", files)
    proc = h.run_installer(inst, "-debug", "-silent", "-dir=" + DEST.rstrip("\\"))
    code = h.wait_exit(proc, timeout=240)
    with open(h.stderr_of(inst), "rb") as f:
        assert code == 0, (code, inst.log()[-2000:], f.read()[-2000:])
    root = h.drive_c(DEST)
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, root).upper()] = f.read()
    expected = {name.upper(): data for name, data in files.items()}
    assert sorted(found) == sorted(expected), sorted(set(found) ^ set(expected))[:10]
    assert all(found[name] == expected[name] for name in expected)
