"""A product of about a thousand files in nested folders, listed by the one
pattern "FILE LIST: **", installs under Wine byte for byte."""
import os
import random
import shutil

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


def installed(root):
    """{name below root, with "/": content} of every file there."""
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                found[os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")] = f.read()
    return found


def test_the_whole_payload_from_one_pattern_installs_byte_identical(h):
    """Built as ffsbuild build packs by default and with its smallest
    settings."""
    files = payload()
    expected = {name.upper(): data for name, data in files.items()}
    root = h.drive_c(DEST)
    for case, method, options in (("patterns-all", None, ()), ("patterns-smallest", "smallest", ("--solid",))):
        shutil.rmtree(root, ignore_errors=True)
        inst = h.build_installer(case, b"PRODUCT NAME: Patterns\nINSTALL SIZE: auto\nINSTALL DIR: Vantor Patterns\n"
                                 b"INSTALL PATH: Where?\nFILE LIST: **\nINSTALL\n", files, method, options)
        proc = h.run_installer(inst, "-debug", "-silent", "-dir=" + DEST.rstrip("\\"))
        code = h.wait_exit(proc, timeout=240)
        with open(h.stderr_of(inst), "rb") as f:
            assert code == 0, (case, code, inst.log()[-2000:], f.read()[-2000:])
        found = {name.upper(): data for name, data in installed(root).items()}
        assert sorted(found) == sorted(expected), (case, sorted(set(found) ^ set(expected))[:10])
        assert all(found[name] == expected[name] for name in expected), case


def test_names_of_any_script_in_another_letter_case_install_as_the_payload_spells_them(h):
    """The list names Latin, Cyrillic and Greek files in another letter case
    and a pattern takes a Japanese folder; every file arrives under the
    payload's own spelling, byte for byte (the installer finds an entry by
    its name with ASCII letters alone folded)."""
    files = {"\u00dcbersicht.txt": b"de", "\u0414\u0430\u043d\u043d\u044b\u0435/\u0444\u0430\u0439\u043b.txt": b"ru",
             "\u03b1\u03c1\u03c7\u03b5\u03af\u03bf.dat": b"el", "\u65e5\u672c\u8a9e/\u8aac\u660e.txt": b"ja"}
    listed = ",".join(["\u00dcBERSICHT.TXT", "\u0434\u0430\u043d\u043d\u044b\u0435\\\u0424\u0410\u0419\u041b.TXT",
                       "\u0391\u03a1\u03a7\u0395\u038a\u039f.DAT", "\u65e5\u672c\u8a9e\\*"])
    dest = "C:\\Vantor Scripts\\"
    script = "INSTALL DIR: Vantor Scripts\nINSTALL PATH: Where?\nFILE LIST: %s\nINSTALL\n" % listed
    inst = h.build_installer("patterns-scripts", script.encode("utf-8"), files)
    proc = h.run_installer(inst, "-debug", "-silent", "-dir=" + dest.rstrip("\\"))
    code = h.wait_exit(proc, timeout=120)
    assert code == 0, (code, inst.log()[-2000:])
    found = installed(h.drive_c(dest))
    assert found == files, sorted(found)
