"""Signed installers, and damage found before anything is written: the
example product signed by ffsbuild with a test certificate that openssl
makes for this run, installed end to end; single bytes flipped in the stub,
the directory, a record head and packed data, and files cut short, each in
an unsigned and a signed installer, give the damaged box and leave no file
and no registry value behind."""
import os
import re
import subprocess

import example
import harness

DAMAGED = "Installation Problem..."
DAMAGED_TEXT = "The installation file has been damaged, please download a new copy."

_made = {}


def run(args, **kw):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kw)


def certificate(h):
    """A self-signed certificate and key for code signing, made with openssl
    once per run: (PKCS#12 file, its password file, the certificate)."""
    if "pfx" not in _made:
        folder = os.path.join(h.out, "signing")
        os.makedirs(folder, exist_ok=True)
        key, pem = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
        pfx, password = os.path.join(folder, "test.pfx"), os.path.join(folder, "password.txt")
        with open(password, "w") as f:
            f.write("widget test password\n")
        r = run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", pem, "-days", "2",
                 "-subj", "/CN=Widget Test Signer", "-addext", "extendedKeyUsage=codeSigning"])
        assert r.returncode == 0, r.stdout
        r = run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", pem, "-out", pfx,
                 "-passout", "file:" + password])
        assert r.returncode == 0, r.stdout
        _made.update(pfx=pfx, password=password, pem=pem)
    return _made["pfx"], _made["password"], _made["pem"]


def example_installer(h, signed):
    """The example's setup.exe as ffsbuild builds it, signed or not; its path."""
    built = example.build(h)
    if not signed:
        return os.path.join(built, "setup.exe")
    out = os.path.join(h.out, "signing", "setup-signed.exe")
    if "signed" not in _made:  # signed with this run's certificate
        pfx, password, _ = certificate(h)
        r = run([h.ffsbuild, "build", "-o", out, "--stub", h.install_exe, "--sign", pfx, "--sign-password-file",
                 password, os.path.join(harness.ROOT, "examples", "setup.txt"), os.path.join(built, "payload")])
        assert r.returncode == 0, r.stdout.decode(errors="replace")
        assert b", signed\n" in r.stdout, r.stdout
        _made["signed"] = out
    return out


def signature_accepted(h, path):
    _, _, pem = certificate(h)
    r = run(["osslsigncode", "verify", "-CAfile", pem, "-in", path])
    return r.returncode == 0


def places(h, path):
    """Offsets to damage: {what: offset} in the stub (MS-DOS text, a section
    name, its last byte), the directory, a record head and packed data."""
    with open(path, "rb") as f:
        data = f.read()
    r = run([h.ffsbuild, "list", path])
    assert r.returncode == 0, r.stdout
    lines = r.stdout.decode().splitlines()
    start = int(re.match(r"installer archive at offset (\d+), ", lines[0]).group(1))
    rows = [line.split() for line in lines[2:]]
    packed = [row for row in rows if row[3] not in ("raw", "solid")]
    assert packed, lines
    pe = int.from_bytes(data[0x3C:0x40], "little")
    sections = pe + 24 + int.from_bytes(data[pe + 20:pe + 22], "little")
    return {
        "stub-dos-text": 0x50,
        "stub-section-name": sections + 2,
        "stub-last-byte": start - 1,
        "directory": start + 16 + 8 + 4,
        "record-head": int(rows[1][1]) + 5,
        "packed-data": int(packed[0][1]) + 8 + int(packed[0][2]) // 2,
    }


def expect_damaged_box(h, case, data):
    """Runs data as install.exe: the damaged box, exit code 3, and nothing
    written: no product folder, no registry value, no font in the temporary
    folder. Returns the debug log."""
    example.forget(h)
    unix, win = h.case_dir(case)
    inst = harness.Installer(unix, win)
    with open(inst.exe, "wb") as f:
        f.write(data)
    proc = h.run_installer(inst, "-debug")
    assert example.box_text(h, DAMAGED) == DAMAGED_TEXT, case
    h.key_until_gone(h.find_window(DAMAGED), "Return")
    assert h.wait_exit(proc) == 3, case
    log = inst.log()
    assert log.endswith(b"Exit with code 3...\r\n"), log[-300:]
    assert b"Command" not in log, log  # the script never ran
    assert not os.path.exists(h.drive_c(example.DEFAULT_DIR)), case
    assert h.reg_query(example.KEY, "Install Path") is None, case
    assert not os.path.exists(os.path.join(h.temp_dir(), "WIDGET.TTF")), case
    return log


def test_signed_example_installs_end_to_end(h):
    path = example_installer(h, signed=True)
    assert os.path.getsize(example_installer(h, signed=False)) % 8 == 0
    assert signature_accepted(h, path)
    r = run([h.ffsbuild, "verify", "--ca", certificate(h)[2], path])
    out = r.stdout.decode()
    assert r.returncode == 0, out
    assert re.search(r": signed: a certificate table of \d+ bytes at offset %d; the signature holds " % os.path.getsize(
        example_installer(h, signed=False)), out), out
    assert "integrity record matches" in out and re.search(r": \d+ entries verified", out), out

    example.forget(h)
    inst = harness.Installer(*h.case_dir("signing-signed-setup"))
    with open(path, "rb") as f, open(inst.exe, "wb") as copy:
        copy.write(f.read())
    proc = h.run_installer(inst, "-debug")
    example.accept_pages(h)
    assert example.finish(h, proc) == 0
    log = inst.log()
    assert log.endswith(b"Successful Exit...\r\n") and b"Command Failed" not in log, log[-400:]
    for name, data in example.installed(h, example.DEFAULT_DIR, example.FILES).items():
        assert data == example.payload(h, name), name
    assert h.reg_query(example.KEY, "Install Path") == example.DEFAULT_DIR


def test_single_damaged_bytes_stop_the_installer_before_it_writes(h):
    for signed in (False, True):
        path = example_installer(h, signed)
        with open(path, "rb") as f:
            intact = f.read()
        for what, at in places(h, path).items():
            data = bytearray(intact)
            data[at] ^= 0x20
            case = "signing-%s-%s" % ("signed" if signed else "unsigned", what)
            if signed:
                # Altered after signing: the signature no longer holds either.
                altered = os.path.join(h.out, "signing", "altered.exe")
                with open(altered, "wb") as f:
                    f.write(data)
                assert not signature_accepted(h, altered), what
            log = expect_damaged_box(h, case, bytes(data))
            assert re.search(rb"FFS: Integrity check failed: bytes 0 to \d+ give CRC-32 [0-9A-F]{8}, "
                             rb"the record holds [0-9A-F]{8}\r\n", log) or b"CMatch" in log, (case, log)


def test_installer_cut_short_is_damaged(h):
    for signed in (False, True):
        with open(example_installer(h, signed), "rb") as f:
            intact = f.read()
        # cut inside the archive: a program cut inside its own image is one
        # that the system refuses to start
        stub = os.path.getsize(h.install_exe)
        for cut in (stub + (len(intact) - stub) // 2, len(intact) - 100):
            log = expect_damaged_box(h, "signing-cut-%d-%d" % (signed, cut), intact[:cut])
            assert b"doesn't contain FFS data" in log or b"proper tag" in log, log
