#!/usr/bin/env python3
"""Inside scripts/lan-sandbox: a second operator interface is added, and one limited broadcast of
the Winsock network under Wine must leave once on each interface (counted by the kernel) and be
reported for both.

Usage: broadcast_interfaces.py BROADCAST_PROBE_EXE
Environment: WINEPREFIX (the prefix to use), WINE (default /usr/lib/wine/wine64)."""

import json
import os
import subprocess
import sys
import tempfile

from wine_sandbox import WINE, fail, run_to_files, start_own_wineserver, stop_wineserver

PROBE = os.path.abspath(sys.argv[1])
INTERFACES = ("vindle-op", "vindle-x0")


def sent_packets(interface):
    links = json.loads(subprocess.run(["ip", "-s", "-j", "link", "show", interface],
                                      capture_output=True, check=True).stdout)
    return links[0]["stats64"]["tx"]["packets"]


def add_second_interface():
    subprocess.run(["sysctl", "-qw", "net.ipv6.conf.default.disable_ipv6=1"], check=False)
    for command in (["link", "add", "vindle-x0", "type", "veth", "peer", "name", "vindle-x1"],
                    ["address", "add", "203.0.113.250/24", "brd", "+", "dev", "vindle-x0"],
                    ["link", "set", "vindle-x0", "up"], ["link", "set", "vindle-x1", "up"]):
        subprocess.run(["ip"] + command, check=True)


def main():
    if os.environ.get("VINDLE_LAN_SANDBOX") != "1":
        fail("run me inside scripts/lan-sandbox")
    add_second_interface()
    server = start_own_wineserver()
    try:
        before = {name: sent_packets(name) for name in INTERFACES}
        with tempfile.TemporaryDirectory(prefix="vindle-winbc-") as workdir:
            status, output, errors = run_to_files([WINE, PROBE], workdir)
        after = {name: sent_packets(name) for name in INTERFACES}
    finally:
        stop_wineserver(server)
    report = output.decode(errors="replace")
    if status != 0:
        fail(f"the probe exited {status}: {report}{errors.decode(errors='replace')}")
    lines = report.splitlines()
    expected = ["tried 2"] + [f"sent {name}" for name in INTERFACES]
    if sorted(lines) != sorted(expected):
        fail(f"send report {lines}, expected {expected}")
    for name in INTERFACES:
        if after[name] <= before[name]:
            fail(f"nothing left on {name}")
    print("broadcast_interfaces: one limited broadcast left on "
          + " and ".join(f"{name} (+{after[name] - before[name]})" for name in INTERFACES))


if __name__ == "__main__":
    main()
