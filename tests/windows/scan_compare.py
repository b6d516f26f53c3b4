#!/usr/bin/env python3
"""Inside scripts/lan-sandbox: the Windows scanner under Wine and the Linux scanner search the
simulated printers of tests/e2e/lan_e2e.conf, in broadcast and in specified mode, in every output
format; their outputs must be the same bytes.

Usage: scan_compare.py SIMULATOR PRINTERS_CONF LINUX_SCANNER WINDOWS_SCANNER_EXE
Environment: WINEPREFIX (the prefix to use), WINE (default /usr/lib/wine/wine64)."""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from lan_e2e_settings import BROADCAST_INI, SPECIFIED_INI  # noqa: E402
from wine_sandbox import WINE, fail, run_to_files, start_own_wineserver, stop_wineserver

SIMULATOR, PRINTERS_CONF, LINUX_SCANNER, WINDOWS_SCANNER = map(os.path.abspath, sys.argv[1:5])

SETTINGS = {"broadcast": BROADCAST_INI, "specified": SPECIFIED_INI}
# The complete printers of lan_e2e.conf: each search lists all of them.
EXPECTED_ROWS = 8


def run_scanner(command, settings, output_format):
    with tempfile.TemporaryDirectory(prefix="vindle-wincmp-") as workdir:
        with open(os.path.join(workdir, "QarvVindle.ini"), "w", newline="\n") as f:
            f.write(settings)
        status, output, errors = run_to_files(command + ["--format", output_format], workdir)
    if status != 0:
        fail(f"{command[-1]} --format {output_format} exited {status}: "
             + errors.decode(errors="replace"))
    return output


def main():
    server = start_own_wineserver()
    simulator = subprocess.Popen([SIMULATOR, "--config", PRINTERS_CONF],
                                 stderr=subprocess.DEVNULL)
    time.sleep(0.3)
    differences = 0
    try:
        for mode, settings in SETTINGS.items():
            for output_format in ("table", "csv", "json"):
                linux = run_scanner([LINUX_SCANNER], settings, output_format)
                windows = run_scanner([WINE, WINDOWS_SCANNER], settings, output_format)
                listed = linux.count(b"\n") - 1
                if output_format == "csv" and listed != EXPECTED_ROWS:
                    fail(f"the Linux scanner listed {listed} printers in {mode} mode, "
                         f"not {EXPECTED_ROWS}")
                same = linux == windows
                differences += not same
                print(f"{mode:9} {output_format:5} {len(linux):5} bytes: "
                      + ("same" if same else "DIFFERENT"))
                if not same:
                    print("--- Linux\n" + linux.decode(errors="replace")
                          + "--- Windows\n" + windows.decode(errors="replace"))
    finally:
        simulator.terminate()
        simulator.wait(timeout=10)
        stop_wineserver(server)
    if differences:
        fail(f"{differences} of 6 outputs differ")
    print("scan_compare: the Windows scanner's rows equal the Linux scanner's in 6 of 6 runs")


if __name__ == "__main__":
    main()
