"""The application manifest: read back by wrestool from the example's
setup.exe as ffsbuild builds it, unsigned and signed, and from a user
install's, and printed by
ffsbuild verify; under Wine the installer runs with what it asks for, as its
debug log's "System" line records: the Windows version the prefix is set to,
the UTF-8 code page and Common Controls 6 from the side-by-side store."""
import os
import re
import shutil
import subprocess

import example
import test_signing
from harness import read_log

SUPPORTED_OS = ["e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"]
SUMMARY = ("supportedOS Vista..10, Common Controls 6, DPI PerMonitorV2, code page UTF-8, long paths")


def check_manifest(path, level):
    r = subprocess.run(["wrestool", "-x", "--raw", "--type=24", "--name=1", path], stdout=subprocess.PIPE)
    assert r.returncode == 0 and r.stdout, r
    text = r.stdout.decode()
    assert '<requestedExecutionLevel level="%s" uiAccess="false"/>' % level in text, text
    assert re.findall(r'<supportedOS Id="\{([0-9a-f-]+)\}"/>', text) == SUPPORTED_OS, text
    assert re.search(r'<assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" '
                     r'processorArchitecture="\*" publicKeyToken="6595b64144ccf1df"', text), text
    for element, value in (("dpiAware", "true/pm"), ("dpiAwareness", "PerMonitorV2"), ("activeCodePage", "UTF-8"),
                           ("longPathAware", "true")):
        assert re.search(r"<%s [^>]*>%s</%s>" % (element, re.escape(value), element), text), (element, text)


def test_manifest_reads_back_unsigned_and_signed(h):
    for signed in (False, True):
        path = test_signing.example_installer(h, signed)
        check_manifest(path, "requireAdministrator")
        r = subprocess.run([h.ffsbuild, "verify", "--ca", test_signing.certificate(h)[2], path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        assert ("manifest: requireAdministrator, " + SUMMARY).encode() in r.stdout, r.stdout
    check_manifest(h.install_exe, "requireAdministrator")  # the stub itself, without the builder
    # A user install asks for no elevation; the rest stays.
    inst = h.build_installer("manifest-user", b"PRODUCT NAME: Widget\nINSTALL SCOPE: user\nFILE LIST: a.txt\n"
                             b"INSTALL\n", {"a.txt": b"a"})
    path = os.path.join(inst.unix, "install.exe")
    check_manifest(path, "asInvoker")
    r = subprocess.run([h.ffsbuild, "verify", path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    assert ("manifest: asInvoker, " + SUMMARY).encode() in r.stdout, r.stdout


def test_installer_runs_with_what_its_manifest_asks(h):
    unix, win = h.case_dir("manifest-system")
    shutil.copy(h.install_exe, os.path.join(unix, "install.exe"))
    rc = h.wine_answering([win + "\\install.exe", "-debug"], "Installation Problem...", cwd=unix)
    assert rc == 3, rc  # a bare stub: no archive
    log = read_log(os.path.join(unix, "debug.log"))
    m = re.search(rb"\r\nSystem (\d+)\.(\d+)\.(\d+), code page (\d+), common controls '([^']*)'\r\n", log)
    assert m, log[:600]
    major = h.reg_query("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion", "CurrentMajorVersionNumber")
    if major is not None:  # a prefix set to Windows 10 or later: the true version, not 6.2
        assert int(m.group(1)) == int(major, 0), (m.group(0), major)
    else:
        current = h.reg_query("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion")
        assert current is None or b"%s.%s" % (m.group(1), m.group(2)) == current.encode(), (m.group(0), current)
    assert m.group(4) == b"65001", m.group(0)
    controls = m.group(5).lower()
    assert b"\\winsxs\\" in controls and b"common-controls_6595b64144ccf1df_6.0" in controls, m.group(0)


def test_the_true_windows_version_in_a_windows_10_prefix(h):
    """Without supportedOS a program hears 6.2 from Windows 10 and later;
    the installer hears 10.0."""
    unix, win = h.case_dir("manifest-win10")
    shutil.copy(h.install_exe, os.path.join(unix, "install.exe"))
    earlier = h.wine(["winecfg", "-v"]).stdout.decode(errors="replace").strip() or "win7"
    assert h.wine(["winecfg", "-v", "win10"]).returncode == 0
    try:
        rc = h.wine_answering([win + "\\install.exe", "-debug"], "Installation Problem...", cwd=unix)
    finally:
        h.wine(["winecfg", "-v", earlier])
    assert rc == 3, rc
    log = read_log(os.path.join(unix, "debug.log"))
    assert re.search(rb"\r\nSystem 10\.0\.\d+, code page 65001, ", log), log[:600]

