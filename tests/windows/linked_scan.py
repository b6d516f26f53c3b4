#!/usr/bin/env python3
"""Inside the network contract's linked sandbox (two operator links, the default route on the
first; printers of LINK1_CONF on link 1, of LINK2_CONF behind link 2 on a factory address outside
every operator subnet): the Windows scanner under Wine lists every printer with its serial number
and MAC address, byte for byte as the Linux scanner does. The detail requests to the factory
printer only reach it by the link its answer came in on.

Usage: linked_scan.py LINK1_CONF LINK2_CONF LINUX_SCANNER WINDOWS_SCANNER_EXE
Environment: WINEPREFIX (the prefix to use), WINE (default /usr/lib/wine/wine64)."""

import json
import os
import shlex
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from lan_e2e_settings import BROADCAST_INI  # noqa: E402
from wine_sandbox import WINE, fail, run_to_files, start_own_wineserver, stop_wineserver

LINK1_CONF, LINK2_CONF, LINUX_SCANNER, WINDOWS_SCANNER = map(os.path.abspath, sys.argv[1:5])


def printers(conf):
    """The rows a search lists for the printers of a simulator configuration."""
    rows = []
    with open(conf) as f:
        for line in f:
            words = shlex.split(line, comments=True)
            if words:
                keys = dict(word.split("=", 1) for word in words[1:])
                rows.append({"ip": words[0].split("/")[0], "mac": keys["mac"],
                             "model": keys["model"], "serial": keys["serial"]})
    return rows


def numeric(row):
    return tuple(int(part) for part in row["ip"].split("."))


def scan(command):
    with tempfile.TemporaryDirectory(prefix="vindle-winlinked-") as workdir:
        with open(os.path.join(workdir, "QarvVindle.ini"), "w", newline="\n") as f:
            f.write(BROADCAST_INI)
        status, output, errors = run_to_files(command + ["--format", "json"], workdir)
    if status != 0:
        fail(f"{command[-1]} exited {status}: " + errors.decode(errors="replace"))
    return output


def main():
    expected = sorted(printers(LINK1_CONF) + printers(LINK2_CONF), key=numeric)
    server = start_own_wineserver()
    try:
        linux = scan([LINUX_SCANNER])
        windows = scan([WINE, WINDOWS_SCANNER])
    finally:
        stop_wineserver(server)
    if json.loads(linux) != expected:
        fail(f"the Linux scanner listed {linux.decode(errors='replace')}, expected {expected}")
    if windows != linux:
        fail("the Windows scanner's rows differ from the Linux scanner's:\n--- Linux\n"
             + linux.decode(errors="replace") + "--- Windows\n"
             + windows.decode(errors="replace"))
    factory = printers(LINK2_CONF)
    print("linked_scan: the Windows scanner lists "
          + ", ".join(f"{row['ip']} ({row['serial']}, {row['mac']})" for row in factory)
          + " behind the second link, as the Linux scanner does")


if __name__ == "__main__":
    main()
