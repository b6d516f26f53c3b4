#!/usr/bin/env python3
"""Inside the network contract's linked sandbox (tests/contract/network_contract.h): the LAN cases
of the contract against the Winsock network under Wine, with a wineserver of their own. Every
case must pass; a skipped one (not seeing the sandbox) is a failure here.

Usage: network_contract_lan.py WIN_NETWORK_CONTRACT_TEST_EXE
Environment: WINEPREFIX (the prefix to use), WINE (default /usr/lib/wine/wine64)."""

import os
import re
import sys
import tempfile

from wine_sandbox import WINE, fail, run_to_files, start_own_wineserver, stop_wineserver

TEST = os.path.abspath(sys.argv[1])
FILTER = "WinLan/*"


def main():
    server = start_own_wineserver()
    try:
        with tempfile.TemporaryDirectory(prefix="vindle-wincontract-") as workdir:
            status, output, errors = run_to_files([WINE, TEST, f"--gtest_filter={FILTER}"],
                                                  workdir)
    finally:
        stop_wineserver(server)
    report = output.decode(errors="replace")
    passed = re.findall(r"^\[       OK \] (\S+)", report, re.MULTILINE)
    ran = re.search(r"^\[==========\] (\d+) tests? from", report, re.MULTILINE)
    if status != 0 or ran is None or len(passed) != int(ran.group(1)) or not passed:
        fail(f"the contract's LAN cases under Wine exited {status}:\n{report}"
             + errors.decode(errors="replace"))
    for name in passed:
        print(f"passed {name}")
    print(f"network_contract_lan: {len(passed)} LAN cases passed on the Winsock network")


if __name__ == "__main__":
    main()
