"""A wineserver of the test's own inside scripts/lan-sandbox. Wine opens its sockets in the
wineserver, so a server started outside the sandbox would send on the machine's own network."""

import os
import subprocess
import sys
import time

WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
WINESERVER = os.path.join(os.path.dirname(WINE), "wineserver")


def fail(message):
    print(f"{os.path.basename(sys.argv[0])}: {message}", file=sys.stderr)
    sys.exit(1)


def net_namespace(pid):
    return os.readlink(f"/proc/{pid}/ns/net")


def start_own_wineserver():
    if os.environ.get("VINDLE_LAN_SANDBOX") != "1":
        fail("run me inside scripts/lan-sandbox")
    server = subprocess.Popen([WINESERVER, "--foreground", "--persistent"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    if server.poll() is not None:
        fail("a wineserver for this prefix runs already (outside the sandbox?)")
    if net_namespace(server.pid) != net_namespace("self"):
        server.kill()
        fail("the wineserver is not in the sandbox's network namespace")
    return server


def stop_wineserver(server):
    subprocess.run([WINESERVER, "-k"], check=False)
    server.wait(timeout=30)


def run_to_files(command, workdir, **kwargs):
    """Runs a Wine program with its output in files, not pipes: Wine's helper processes inherit
    the descriptors and keep a pipe open long after the program has ended. Returns (status,
    stdout bytes, stderr bytes)."""
    stdout_path = os.path.join(workdir, "stdout")
    stderr_path = os.path.join(workdir, "stderr")
    with open(stdout_path, "wb") as stdout, open(stderr_path, "wb") as stderr:
        status = subprocess.run(command, cwd=workdir, stdin=subprocess.DEVNULL, stdout=stdout,
                                stderr=stderr, timeout=300, **kwargs).returncode
    with open(stdout_path, "rb") as f:
        output = f.read()
    with open(stderr_path, "rb") as f:
        errors = f.read()
    return status, output, errors
