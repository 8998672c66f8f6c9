"""Libraries that someone else left beside the installer (a web page's file
in the Downloads folder) or beside the uninstaller's copy (the temporary
folder) are never loaded: a silent install and uninstall run as usual and
none of the planted libraries runs. Under Wine a library set to "native,
builtin" is searched for as Windows searches for one that is not among its
known libraries: the program's own folder first."""
import os
import shutil
import subprocess
import time

SCRIPT = b"""PRODUCT NAME: Planted Test
UNINSTALL: uninstall.exe
BREAK
REGISTRY PATH: Software\\Acme Test\\Planted
INSTALL DIR: planted-e2e\\Tool
INSTALL PATH: Where?
FILE LIST: tool.txt
INSTALL
DONE: Installed.
"""
DEST = "C:\\planted-e2e\\Tool"
MARKER = "C:\\planted-marker.txt"
# Windows Sockets 1.1, as WSOCK32 exports it: forwarded to WS2_32.
WINSOCK = ("accept bind closesocket connect getpeername getsockname getsockopt htonl htons inet_addr inet_ntoa "
           "ioctlsocket listen ntohl ntohs recv recvfrom select send sendto setsockopt shutdown socket "
           "gethostbyaddr gethostbyname getprotobyname getprotobynumber getservbyname getservbyport gethostname "
           "WSAAsyncSelect WSAAsyncGetHostByAddr WSAAsyncGetHostByName WSAAsyncGetProtoByNumber "
           "WSAAsyncGetProtoByName WSAAsyncGetServByPort WSAAsyncGetServByName WSACancelAsyncRequest "
           "WSASetBlockingHook WSAUnhookBlockingHook WSAGetLastError WSASetLastError WSACancelBlockingCall "
           "WSAIsBlocking WSAStartup WSACleanup __WSAFDIsSet").split()
# The two libraries install.exe once imported, and libraries that the
# system's libraries load by name once the program runs (Wine's WS2_32
# loads the first two as WSOCK32 comes in, the window code the others);
# each planted one writes the marker when loaded. (Not VERSION: Wine loads
# it with its own system libraries before the program's first instruction,
# where Windows takes a known library's dependencies from the system
# directory.)
PLANTED = {
    "wsock32": ["%s = ws2_32.%s" % (name, name) for name in WINSOCK],
    "comctl32": ["InitCommonControls = PlantedNothing"],
    "iphlpapi": [], "dnsapi": [], "uxtheme": [], "dwmapi": [],
}


def build_planted(h, folder):
    """The planted libraries, cross-built into folder."""
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tools", "planted.c")
    for name, exports in PLANTED.items():
        definition = os.path.join(folder, name + ".def")
        with open(definition, "w") as f:
            f.write("LIBRARY %s\nEXPORTS\n%s\n" % (name, "\n".join(exports)))
        r = subprocess.run([h.cc, "-shared", "-s", "-Os", "-o", os.path.join(folder, name + ".dll"), source, definition],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        assert r.returncode == 0, r.stdout.decode(errors="replace")
        os.remove(definition)


def remove_planted(folder):
    for name in PLANTED:
        path = os.path.join(folder, name + ".dll")
        if os.path.exists(path):
            os.remove(path)


def wait_gone(path, timeout=60):
    end = time.time() + timeout
    while os.path.exists(path) and time.time() < end:
        time.sleep(0.3)
    return not os.path.exists(path)


def test_libraries_beside_the_installer_or_the_uninstaller_are_not_loaded(h):
    marker = h.drive_c(MARKER)
    dest = h.drive_c(DEST)
    overrides = h.env["WINEDLLOVERRIDES"]
    for path in (marker, os.path.join(dest, "uninstall.exe")):
        if os.path.exists(path):
            os.remove(path)
    inst = h.build_installer("planted", SCRIPT, {"tool.txt": b"tool\r\n"})
    build_planted(h, inst.unix)
    temp = h.temp_dir()
    try:
        h.env["WINEDLLOVERRIDES"] = overrides + ";" + ",".join(PLANTED) + "=n,b"
        code = h.wait_exit(h.run_installer(inst, "-silent", "-debug", "-dir=" + DEST), timeout=90)
        planted = open(marker, "rb").read() if os.path.exists(marker) else b""
        assert planted == b"", "planted libraries loaded by the installer:\n" + planted.decode(errors="replace")
        assert code == 0, inst.log()
        with open(os.path.join(dest, "tool.txt"), "rb") as f:
            assert f.read() == b"tool\r\n"

        # The uninstaller, with the same libraries beside it and in the
        # temporary folder, where it starts its copy.
        build_planted(h, dest)
        build_planted(h, temp)
        proc = h.wine([DEST + "\\uninstall.exe", "-uninstall", "-silent"], wait=False)
        h.started.append(proc)
        assert h.wait_exit(proc, timeout=90) == 0
        remove_planted(dest)  # what is left for the last step to remove
        assert wait_gone(os.path.join(dest, "tool.txt")) and wait_gone(os.path.join(dest, "uninstall.exe"))
        planted = open(marker, "rb").read() if os.path.exists(marker) else b""
        assert planted == b"", "planted libraries loaded by the uninstaller:\n" + planted.decode(errors="replace")
    finally:
        h.env["WINEDLLOVERRIDES"] = overrides
        remove_planted(temp)
        shutil.rmtree(os.path.dirname(dest), ignore_errors=True)
        if os.path.exists(marker):
            os.remove(marker)
