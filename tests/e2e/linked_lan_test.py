#!/usr/bin/env python3
"""End-to-end tests on real links: each case builds a linked sandbox (scripts/lan-sandbox --link),
with printers in namespaces of their own behind veth links, and runs the real main window
(offscreen) and the command-line scanner in the operator's namespace. The simulators' logs tell
which link each request came in on."""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

SANDBOX, SIMULATOR, GUI_DUMP, SCANNER = map(os.path.abspath, sys.argv[1:5])
SKIPPED = 77

SETTINGS = """[BroadCast]
Status=Enabled
[SearchSpecifiedAddress]
Status=Disabled
[TimeOut]
TimeVal=3
"""

P10 = {"ip": "198.51.100.10", "mac": "02:1a:2b:0c:4d:5e", "model": "QV-2200",
       "serial": "QV22A000117"}
Q20 = {"ip": "203.0.113.20", "mac": "02:1a:2b:0c:71:14", "model": "QV-9000",
       "serial": "QV90E000020"}
# On its factory address: in no subnet of the operator's.
FACTORY = {"ip": "198.18.0.50", "mac": "02:1a:2b:0c:12:32", "model": "QV-1200",
           "serial": "QV12F000050"}


def conf_line(printer, prefix=24):
    return (f'{printer["ip"]}/{prefix} model={printer["model"]} serial={printer["serial"]} '
            f'mac={printer["mac"]}\n')


# Runs in the operator's namespace: the window's search, then the scanner's, each from the work
# directory, with their outputs and exit statuses left there.
SEARCHES = """
QT_QPA_PLATFORM=offscreen "$1" >gui.json 2>gui.err; echo $? >gui.status
"$2" --format json >scan.json 2>scan.err; echo $? >scan.status
"""


class LinkedLanTest(unittest.TestCase):
    def setUp(self):
        self.workdir = tempfile.mkdtemp(prefix="vindle-linked-")
        self.logs = os.path.join(self.workdir, "logs")
        os.mkdir(self.logs)
        with open(self.path("QarvVindle.ini"), "w") as f:
            f.write(SETTINGS)

    def tearDown(self):
        shutil.rmtree(self.workdir)

    def path(self, name):
        return os.path.join(self.workdir, name)

    def read(self, name):
        with open(self.path(name)) as f:
            return f.read()

    def search(self, links, default_route="none", searches=SEARCHES):
        """Runs both searches in a sandbox with `links`: (operator address, printers' lines)."""
        arguments = [SANDBOX, "--quiet"]
        for number, (address, printers) in enumerate(links, 1):
            conf = self.path(f"link{number}.conf")
            with open(conf, "w") as f:
                f.write("".join(printers))
            arguments += ["--link", address, "--printers-conf", conf]
        arguments += ["--default-route", default_route, "--simulator", SIMULATOR,
                      "--sim-log", self.logs, "--", "bash", "-c", searches, "searches",
                      GUI_DUMP, SCANNER]
        result = subprocess.run(arguments, cwd=self.workdir, capture_output=True, timeout=240)
        if result.returncode == SKIPPED:
            self.skipTest(result.stderr.decode())
        self.assertEqual(result.returncode, 0, result.stderr.decode())

    def rows(self, program):
        self.assertEqual(self.read(f"{program}.status").strip(), "0",
                         self.read(f"{program}.err"))
        return json.loads(self.read(f"{program}.json"))

    def assert_listed(self, expected):
        self.assertEqual(self.rows("gui"), expected)
        self.assertEqual(self.rows("scan"), expected)

    def probes(self, link):
        """(kind, requester, destination, interface) of every kind-2 and kind-3 request that
        reached link `link`'s printers."""
        with open(os.path.join(self.logs, f"vindle-p{link}.log")) as f:
            return re.findall(r"^kind ([23]) seq \w+ from ([\d.]+):\d+ to ([\d.]+) on (\S+)$",
                              f.read(), re.MULTILINE)

    def assert_probed_on_link(self, link, operator, printers):
        probes = self.probes(link)
        # Each printer: two searches, each with one kind-2 and one kind-3 request.
        self.assertEqual(sorted(probes), sorted(
            (kind, operator, printer["ip"], f"vindle-p{link}")
            for printer in printers for kind in "23" for _ in range(2)))

    def test_printer_on_a_link_without_gateway_is_listed(self):
        self.search([("198.51.100.2/24", [conf_line(P10)])])
        self.assert_listed([P10])
        self.assertRegex(self.read("gui.err"), r"status line: 1 printer found in \d+\.\d s")

    def test_every_link_is_searched_and_probes_leave_by_the_reply_link(self):
        # The default route leads out of the first link; the second holds a printer in the
        # operator's subnet there and one on an address in no operator subnet.
        self.search([("198.51.100.2/24", [conf_line(P10)]),
                     ("203.0.113.2/24", [conf_line(Q20), conf_line(FACTORY)])],
                    default_route="1")
        self.assert_listed([FACTORY, P10, Q20])
        self.assert_probed_on_link(1, "198.51.100.2", [P10])
        self.assert_probed_on_link(2, "203.0.113.2", [Q20, FACTORY])

    def test_only_loopback_up_nothing_is_sent_and_the_scanner_says_why(self):
        # A namespace of its own inside the sandbox, with nothing but loopback up.
        only_loopback = "exec unshare -n bash -c 'ip link set lo up; " + \
            SEARCHES.replace("$1", "$0").replace("$2", "$1").replace("'", "") + "' \"$1\" \"$2\""
        self.search([("198.51.100.2/24", [conf_line(P10)])], searches=only_loopback)
        self.assertEqual(self.rows("gui"), [])
        # The window does not look like "no printer here": it says why nothing was searched.
        self.assertIn("status line: The search request could not be sent: Network is unreachable",
                      self.read("gui.err"))
        self.assertEqual(self.read("scan.status").strip(), "4")
        self.assertEqual(self.read("scan.json"), "")
        self.assertIn("the network cannot be used: The search request could not be sent: "
                      "Network is unreachable", self.read("scan.err"))
        self.assertEqual(self.probes(1), [])


if __name__ == "__main__":
    result = unittest.main(argv=sys.argv[:1], verbosity=2, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    # Skipped whole where the sandbox cannot be made, so that CTest shows a skip.
    sys.exit(SKIPPED if len(result.skipped) == result.testsRun else 0)
