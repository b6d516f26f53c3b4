#!/usr/bin/env python3
"""The scanner's default and thorough searches on networks with real faults, each case in a
sandbox of its own (scripts/lan-sandbox --link): printers behind a router, datagrams lost by the
kernel at random, printers slow to answer their details."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SANDBOX, SIMULATOR, SCANNER = map(os.path.abspath, sys.argv[1:4])
SKIPPED = 77
TIMEOUT = 1
# Runs the scanner once per line of the working directory's "searches" file, timing each.
TIMED_SEARCHES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                              "timed-searches")


def addresses(network, count, step=1, first=10):
    return [f"{network}.{first + i * step}" for i in range(count)]


class FaultyLanTest(unittest.TestCase):
    def setUp(self):
        self.workdir = tempfile.mkdtemp(prefix="vindle-faulty-")

    def tearDown(self):
        shutil.rmtree(self.workdir)

    def path(self, name):
        return os.path.join(self.workdir, name)

    def read(self, name):
        with open(self.path(name)) as f:
            return f.read()

    def search(self, sandbox_arguments, printers, searches, settings=None):
        """Runs `searches` ({name: scanner arguments}) in one sandbox whose single link holds
        `printers` (lines of a simulator configuration)."""
        with open(self.path("printers.conf"), "w") as f:
            f.write("".join(line + "\n" for line in printers))
        with open(self.path("searches"), "w") as f:
            f.write("".join(f"{name} {arguments}\n" for name, arguments in searches.items()))
        if settings:
            with open(self.path("QarvVindle.ini"), "w") as f:
                f.write(settings)
        command = [SANDBOX, "--quiet"] + sandbox_arguments + [
            "--printers-conf", self.path("printers.conf"), "--default-route", "1",
            "--simulator", SIMULATOR, "--", TIMED_SEARCHES, SCANNER]
        result = subprocess.run(command, cwd=self.workdir, capture_output=True, timeout=240)
        if result.returncode == SKIPPED:
            self.skipTest(result.stderr.decode())
        self.assertEqual(result.returncode, 0, result.stderr.decode())

    def listed(self, name):
        """Addresses the search listed, in order; the search must have ended with status 0."""
        self.assertEqual(self.read(f"{name}.status").strip(), "0", self.read(f"{name}.err"))
        return [row["ip"] for row in json.loads(self.read(f"{name}.json"))]

    def seconds(self, name):
        return int(self.read(f"{name}.ms")) / 1000

    def test_subnet_behind_a_router(self):
        printers = ["203.0.113.9", "203.0.113.40", "203.0.113.130", "203.0.113.254"]
        settings = ("[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n"
                    "IPAddress=203.0.113.0\nSubnet=255.255.255.0\n[TimeOut]\nTimeVal=1\n")
        self.search(["--link", "198.51.100.2/24", "--router", "203.0.113.1/24"], printers, {
            "default": "",
            "thorough": f"--thorough --timeout {TIMEOUT} 203.0.113.0/24",
            "one_address": f"--timeout {TIMEOUT} 203.0.113.40",
        }, settings=settings)
        # The router drops the subnet's broadcast: the default search lists nothing and says why.
        self.assertEqual(self.listed("default"), [])
        hints = self.read("default.err")
        self.assertIn("203.0.113.0", hints)
        self.assertIn("thorough", hints.lower())
        self.assertEqual(self.listed("thorough"), printers)
        self.assertLessEqual(self.seconds("thorough"), TIMEOUT + 2 + 1)
        self.assertEqual(self.listed("one_address"), ["203.0.113.40"])

    def test_subnet_behind_a_router_thorough_from_the_settings_file(self):
        printers = ["203.0.113.9", "203.0.113.254"]
        settings = ("[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n"
                    "IPAddress=203.0.113.0\nSubnet=255.255.255.0\n[TimeOut]\nTimeVal=1\n"
                    "[Search]\nThorough=Enabled\n")
        self.search(["--link", "198.51.100.2/24", "--router", "203.0.113.1/24"], printers,
                    {"thorough_setting": ""}, settings=settings)
        self.assertEqual(self.listed("thorough_setting"), printers)
        self.assertNotIn("thorough", self.read("thorough_setting.err").lower())

    def test_targets_leave_the_settings_file_alone(self):
        self.search(["--link", "198.51.100.2/24"], ["198.51.100.10"],
                    {"target": f"--timeout {TIMEOUT} 198.51.100.10"})
        self.assertEqual(self.listed("target"), ["198.51.100.10"])
        self.assertFalse(os.path.exists(self.path("QarvVindle.ini")))

    def test_lossy_link(self):
        # 5 % of datagrams lost each way: the thorough search still lists every printer.
        printers = addresses("198.51.100", 20)
        self.search(["--link", "198.51.100.2/24", "--loss", "5"], printers, {
            "default": f"--timeout {TIMEOUT} 198.51.100.0/24",
            "thorough": f"--thorough --timeout {TIMEOUT} 198.51.100.0/24",
        })
        self.assertLessEqual(set(self.listed("default")), set(printers))
        self.assertEqual(self.listed("thorough"), printers)
        self.assertLessEqual(self.seconds("thorough"), TIMEOUT + 2 + 1)

    def test_printers_slow_to_answer_their_details(self):
        # Half a second for each detail: the default search asks one printer after another.
        printers = addresses("198.51.100", 6)
        self.search(["--link", "198.51.100.2/24"],
                    [address + " detail-delay=500" for address in printers], {
                        "default": f"--timeout {TIMEOUT} 198.51.100.0/24",
                        "thorough": f"--thorough --timeout {TIMEOUT} 198.51.100.0/24",
                    })
        self.assertEqual(self.listed("default"), printers)
        self.assertEqual(self.listed("thorough"), printers)
        self.assertGreaterEqual(self.seconds("default"), TIMEOUT + 6 * 2 * 0.5)
        self.assertLessEqual(self.seconds("thorough"), TIMEOUT + 1.5 + 1)


if __name__ == "__main__":
    result = unittest.main(argv=sys.argv[:1], verbosity=2, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    # Skipped whole where the sandbox cannot be made, so that CTest shows a skip.
    sys.exit(SKIPPED if len(result.skipped) == result.testsRun else 0)
