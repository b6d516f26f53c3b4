#!/usr/bin/env python3
"""Inside a faulty sandbox (a router in front of the printers, or a lossy link): the Windows
scanner's thorough search under Wine lists every printer of PRINTERS_CONF, with its serial number
and MAC address.

Usage: faulty_scan.py PRINTERS_CONF WINDOWS_SCANNER_EXE SCANNER_ARGUMENT...
Environment: WINEPREFIX (the prefix to use), WINE (default /usr/lib/wine/wine64)."""

import json
import os
import sys
import tempfile

from linked_scan import numeric, printers
from wine_sandbox import WINE, fail, run_to_files, start_own_wineserver, stop_wineserver

PRINTERS_CONF, WINDOWS_SCANNER = map(os.path.abspath, sys.argv[1:3])
ARGUMENTS = sys.argv[3:]


def main():
    expected = sorted(printers(PRINTERS_CONF), key=numeric)
    server = start_own_wineserver()
    try:
        # Targets on the command line: no settings file is read or made.
        with tempfile.TemporaryDirectory(prefix="vindle-winfaulty-") as workdir:
            status, output, errors = run_to_files(
                [WINE, WINDOWS_SCANNER, "--format", "json"] + ARGUMENTS, workdir)
            made = os.listdir(workdir)
    finally:
        stop_wineserver(server)
    if status != 0:
        fail(f"the Windows scanner exited {status}: " + errors.decode(errors="replace"))
    if "QarvVindle.ini" in made:
        fail("the Windows scanner made a settings file although it was given targets")
    if json.loads(output) != expected:
        fail(f"the Windows scanner listed {output.decode(errors='replace')}, expected {expected}")
    print(f"faulty_scan: {' '.join(ARGUMENTS)}: the Windows scanner lists all {len(expected)} "
          "printers")


if __name__ == "__main__":
    main()
