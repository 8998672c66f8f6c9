"""The vendor's icon and version block in the installer: the example built
with --icon and --version, read back by wrestool and icotool (icoutils),
unsigned and signed; under Wine the installer still installs and its main
window carries the vendor's icon (the pixels of _NET_WM_ICON)."""
import os
import re
import shutil
import struct
import subprocess
import time

import example
import harness
import test_signing

VERSION = "3.1.4.15"
TEXTS = {"CompanyName": "Acme Software", "ProductName": "Widget 2000", "FileDescription": "Widget 2000 Setup",
         "LegalCopyright": "\u00a9 2026 Acme Software", "OriginalFilename": "setup-vendor.exe",
         "FileVersion": VERSION, "ProductVersion": VERSION}


def run(args, **kw):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kw)


def vendor_icon(h):
    """A 32 x 32 and a 16 x 16 icon of its own, drawn by ImageMagick."""
    path = os.path.join(h.out, "resources", "vendor.ico")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    r = run(["convert", "-size", "32x32", "xc:#E02020", "-fill", "#20C040", "-draw", "rectangle 8,4 23,27",
             "(", "+clone", "-sample", "16x16", ")", path])
    assert r.returncode == 0, r.stdout
    return path


def build(h, signed):
    """The example built with the vendor's resources, signed or not."""
    built = example.build(h)
    out = os.path.join(h.out, "resources", "signed" if signed else "unsigned", TEXTS["OriginalFilename"])
    os.makedirs(os.path.dirname(out), exist_ok=True)
    args = [h.ffsbuild, "build", "-o", out, "--stub", h.install_exe, "--icon", vendor_icon(h), "--version", VERSION,
            "--copyright", TEXTS["LegalCopyright"]]
    if signed:
        pfx, password, _ = test_signing.certificate(h)
        args += ["--sign", pfx, "--sign-password-file", password]
    r = run(args + [os.path.join(harness.ROOT, "examples", "setup.txt"), os.path.join(built, "payload")])
    assert r.returncode == 0, r.stdout.decode(errors="replace")
    return out


def version_block(data):
    """(file version, product version, {key: text}) of a VS_VERSIONINFO."""
    def node(at):
        length, value_length, kind = struct.unpack_from("<HHH", data, at)
        end = data.index(b"\0\0", at + 6)
        while (end - at - 6) % 2:
            end = data.index(b"\0\0", end + 1)
        key = data[at + 6:end].decode("utf-16-le")
        value_at = (end + 2 + 3) & ~3
        size = value_length * 2 if kind == 1 else value_length
        return key, at + length, value_at, data[value_at:value_at + size], (value_at + size + 3) & ~3
    key, end, _, fixed, child = node(0)
    assert key == "VS_VERSION_INFO" and struct.unpack_from("<I", fixed)[0] == 0xFEEF04BD
    numbers = struct.unpack_from("<IIII", fixed, 8)
    texts = {}

    def walk(at, end):
        while at < end:
            key, stop, _, value, first = node(at)
            if value and key not in ("Translation",):
                texts[key] = value.decode("utf-16-le").rstrip("\0")
            elif not value:
                walk(first, stop)
            at = (stop + 3) & ~3
    walk(child, end)
    version = lambda hi, lo: "%d.%d.%d.%d" % (hi >> 16, hi & 0xFFFF, lo >> 16, lo & 0xFFFF)
    return version(*numbers[:2]), version(*numbers[2:]), texts


def rgba(path, index):
    """Size and RGBA pixels of one image of an icon file."""
    r = subprocess.run(["convert", "%s[%d]" % (path, index), "-depth", "8", "rgba:-"], stdout=subprocess.PIPE,
                       check=True)
    size = subprocess.run(["identify", "-format", "%w", "%s[%d]" % (path, index)], stdout=subprocess.PIPE,
                          check=True)
    return int(size.stdout), r.stdout


def test_icon_and_version_read_back_by_icoutils_and_survive_signing(h):
    icon = vendor_icon(h)
    for signed in (False, True):
        path = build(h, signed)
        listed = run(["wrestool", "-l", path]).stdout.decode()
        assert re.search(r"--type=14 --name=104 --language=1033 \[type=group_icon", listed), listed
        assert re.search(r"--type=16 --name=1 --language=1033 \[type=version", listed), listed
        assert len(re.findall(r"--type=3 ", listed)) == 2, listed  # the stub's own two sizes are gone
        extracted = os.path.join(h.out, "resources", "extracted.ico")
        assert run(["wrestool", "-x", "-t14", "-n104", "-o", extracted, path]).returncode == 0
        assert [rgba(extracted, i) for i in (0, 1)] == [rgba(icon, i) for i in (0, 1)]
        block = run(["wrestool", "-x", "--raw", "-t16", path]).stdout
        assert version_block(block) == (VERSION, VERSION, TEXTS), version_block(block)
        r = run([h.ffsbuild, "verify", "--ca", test_signing.certificate(h)[2], path])
        assert r.returncode == 0 and "integrity record matches" in r.stdout.decode(), r.stdout
        if signed:
            assert test_signing.signature_accepted(h, path)


def window_icon(h, window, size):
    """RGBA pixels of the size x size image in the window's _NET_WM_ICON."""
    r = subprocess.run(["xprop", "-id", window, "-f", "_NET_WM_ICON", "32c", "=$0+", "_NET_WM_ICON"], env=h.env,
                       stdout=subprocess.PIPE, text=True)
    numbers = [int(n) for n in re.findall(r"\d+", r.stdout.split("=", 1)[-1])]
    at = 0
    while at + 2 <= len(numbers):
        w, hh = numbers[at], numbers[at + 1]
        if w == size and hh == size:
            argb = numbers[at + 2:at + 2 + w * hh]
            return b"".join(bytes(((p >> 16) & 255, (p >> 8) & 255, p & 255, p >> 24)) for p in argb)
        at += 2 + w * hh
    raise AssertionError("no %d x %d icon on the window: %s" % (size, size, r.stdout[:200]))


def test_installer_with_the_vendor_icon_installs_and_its_window_shows_it(h):
    path = build(h, signed=False)
    example.forget(h)
    inst = harness.Installer(*h.case_dir("resources-vendor-icon"))
    shutil.copyfile(path, inst.exe)
    proc = h.run_installer(inst, "-debug")
    window = h.find_window_like(re.escape(example.PRODUCT) + ".* Installation$", timeout=60)
    size, pixels = rgba(vendor_icon(h), 0)
    end = time.time() + 20  # Wine sets the icon soon after the window appears
    while True:
        try:
            shown = window_icon(h, window, size)
            break
        except AssertionError:
            if time.time() > end:
                raise
            time.sleep(0.2)
    assert shown == pixels, "the window's %d x %d icon is not the vendor's" % (size, size)
    example.accept_pages(h)
    assert example.finish(h, proc) == 0
    for name, data in example.installed(h, example.DEFAULT_DIR, example.FILES).items():
        assert data == example.payload(h, name), name
