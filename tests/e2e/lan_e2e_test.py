#!/usr/bin/env python3
"""End-to-end tests inside the LAN sandbox: the real main window (offscreen) and the
command-line scanner search the simulated printers of lan_e2e.conf over real sockets."""

import csv
import io
import json
import os
import pty
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from lan_e2e_settings import BROADCAST_INI, SPECIFIED_INI

SIMULATOR, GUI_DUMP, SCANNER, PRINTERS_CONF = sys.argv[1:5]

UNDEFINED_INI = BROADCAST_INI.replace("Status=Disabled", "Status=Enabled")


def row(ip, mac, model, serial):
    return {"ip": ip, "mac": mac, "model": model, "serial": serial}


P9 = row("198.51.100.9", "02:1a:2b:0c:4d:09", "QV-1100 Mono", "QV11A000009")
P10 = row("198.51.100.10", "02:1a:2b:0c:4d:5e", "QV-2200", "QV22A000117")
P12 = row("198.51.100.12", "00:00:00:00:00:00", "QV-5500DN", "QV55C000007")
P14 = row("198.51.100.14", "02:1a:2b:0c:4d:0e", "QV-7100", "QV71D000300")
P100 = row("198.51.100.100", "02:1a:2b:0c:4d:64", "QV-3300", "QV33B000042")
Q5 = row("203.0.113.5", "02:1a:2b:0c:71:05", "QV-9000", "QV90E000005")
Q20 = row("203.0.113.20", "02:1a:2b:0c:71:14", "QV-9000", "QV90E000020")
LONE = row("198.18.0.7", "02:1a:2b:0c:12:07", "QV-1200", "QV12F000007")

# A broadcast search lists every complete printer once, in numeric address order.
BROADCAST_ROWS = [LONE, P9, P10, P12, P14, P100, Q5, Q20]
# The specified search lists the local subnet's block, then the other subnet's, then the lone
# address at the end although it is the lowest.
SPECIFIED_ROWS = [P9, P10, P12, P14, P100, Q5, Q20, LONE]


class LanEndToEndTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.simulator = subprocess.Popen(
            [SIMULATOR, "--config", PRINTERS_CONF], stderr=subprocess.DEVNULL)
        time.sleep(0.3)

    @classmethod
    def tearDownClass(cls):
        cls.simulator.terminate()
        cls.simulator.wait(timeout=10)

    def setUp(self):
        self.workdir = tempfile.mkdtemp(prefix="vindle-e2e-")
        # The user's own settings folder, where the settings go when the working directory's
        # file is unusable: never the real one.
        self.config_home = os.path.join(self.workdir, "config")

    def tearDown(self):
        shutil.rmtree(self.workdir)

    def write_settings(self, text):
        with open(os.path.join(self.workdir, "QarvVindle.ini"), "w") as f:
            f.write(text)

    def run_in_workdir(self, command, env=None, **kwargs):
        env = dict(os.environ if env is None else env, XDG_CONFIG_HOME=self.config_home)
        return subprocess.run(command, cwd=self.workdir, capture_output=True, timeout=180,
                              env=env, **kwargs)

    def gui_rows(self):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        result = self.run_in_workdir([GUI_DUMP], env=env)
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        return json.loads(result.stdout)

    def scanner_rows(self, output_format):
        result = self.run_in_workdir([SCANNER, "--format", output_format])
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        self.assertEqual(result.stderr, b"", "no progress text when standard error is piped")
        text = result.stdout.decode("utf-8")
        if output_format == "json":
            return json.loads(text)
        if output_format == "csv":
            records = list(csv.reader(io.StringIO(text, newline="")))
            self.assertEqual(records[0],
                             ["IP Address", "MAC Address", "Model number", "Serial number"])
            return [row(*record) for record in records[1:]]
        lines = text.splitlines()
        self.assertTrue(lines[0].startswith("IP Address"))
        # Columns start where the headings start.
        starts = [lines[0].index(h) for h in ("MAC Address", "Model number", "Serial number")]
        bounds = list(zip([0] + starts, starts + [None]))
        return [row(*(line[a:b].strip() for a, b in bounds)) for line in lines[1:]]

    def check_search(self, settings, expected):
        self.write_settings(settings)
        self.assertEqual(self.gui_rows(), expected)
        for output_format in ("table", "csv", "json"):
            with self.subTest(output_format=output_format):
                self.assertEqual(self.scanner_rows(output_format), expected)

    def test_broadcast_search_lists_every_printer_in_address_order(self):
        self.check_search(BROADCAST_INI, BROADCAST_ROWS)

    def test_specified_search_lists_one_block_per_destination(self):
        self.check_search(SPECIFIED_INI, SPECIFIED_ROWS)

    def test_scanner_creates_default_settings_when_missing(self):
        result = self.run_in_workdir([SCANNER, "--format", "json"])
        self.assertEqual(result.returncode, 0)
        with open(os.path.join(self.workdir, "QarvVindle.ini")) as f:
            self.assertIn("Status=Enabled", f.read())

    def test_scanner_usage_errors_exit_2(self):
        for arguments in (["--format", "xml"], ["--bogus"], ["--format"]):
            with self.subTest(arguments=arguments):
                result = self.run_in_workdir([SCANNER] + arguments)
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stdout, b"")

    def test_scanner_without_search_mode_exits_3_and_names_the_keys(self):
        self.write_settings(UNDEFINED_INI)
        result = self.run_in_workdir([SCANNER])
        self.assertEqual(result.returncode, 3)
        self.assertIn(b"[BroadCast] Status", result.stderr)
        self.assertIn(b"[SearchSpecifiedAddress] Status", result.stderr)

    def test_scanner_without_usable_network_exits_4(self):
        # A fresh namespace inside the sandbox has no interface up: nothing can be sent.
        self.write_settings(BROADCAST_INI)
        result = self.run_in_workdir(["unshare", "-n", SCANNER])
        self.assertEqual(result.returncode, 4, result.stderr.decode())

    def test_scanner_unusable_settings_file_exits_5_with_path_and_reason(self):
        # A folder where the file should be, and a folder only root may write (run as nobody):
        # both refused by the system itself.
        # The user's own folder takes over; where it cannot be made either, the scanner gives up.
        settings = os.path.join(self.workdir, "QarvVindle.ini")
        os.mkdir(settings)
        result = self.run_in_workdir([SCANNER])
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        self.assertIn(f"using {self.config_home}/qarv-vindle/QarvVindle.ini".encode(),
                      result.stderr)
        self.config_home = os.path.join(settings, "not-a-folder")
        open(self.config_home, "w").close()
        result = self.run_in_workdir([SCANNER])
        self.assertEqual(result.returncode, 5, result.stderr.decode())
        self.assertIn(f"{settings} cannot be read: Is a directory".encode(), result.stderr)
        os.remove(self.config_home)
        os.rmdir(settings)
        os.chmod(self.workdir, 0o755)
        result = self.run_in_workdir(
            ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", SCANNER])
        self.assertEqual(result.returncode, 5, result.stderr.decode())
        self.assertIn(f"{settings} is missing and cannot be created: Permission denied".encode(),
                      result.stderr)
        self.assertNotIn(b"search mode", result.stderr)
        self.assertEqual(result.stdout, b"")

    def test_scanner_output_that_cannot_be_written_exits_6(self):
        self.write_settings(BROADCAST_INI)
        with open("/dev/full", "wb") as full:
            result = subprocess.run([SCANNER], cwd=self.workdir, stdout=full,
                                    stderr=subprocess.PIPE, timeout=180)
        self.assertEqual(result.returncode, 6)
        self.assertIn(b"No space left on device", result.stderr)
        result = subprocess.run(["sh", "-c", f'exec "{SCANNER}" --version >&-'],
                                cwd=self.workdir, capture_output=True, timeout=60)
        self.assertEqual(result.returncode, 6)
        self.assertIn(b"Bad file descriptor", result.stderr)

    def test_scanner_interrupted_prints_the_printers_found_and_exits_130(self):
        self.write_settings(BROADCAST_INI.replace("TimeVal=3", "TimeVal=120"))
        started = time.monotonic()
        process = subprocess.Popen([SCANNER, "--format", "json"], cwd=self.workdir,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(3)
        process.send_signal(signal.SIGINT)
        output, errors = process.communicate(timeout=60)
        self.assertEqual(process.returncode, 130, errors.decode())
        self.assertLess(time.monotonic() - started, 60, "the quiet time did not end the search")
        rows = json.loads(output)
        self.assertTrue(rows)
        self.assertEqual(rows, [r for r in BROADCAST_ROWS if r in rows])
        self.assertIn(b"interrupted", errors)

    def test_scanner_shows_progress_on_a_terminal(self):
        self.write_settings(BROADCAST_INI)
        controller, terminal = pty.openpty()
        process = subprocess.Popen([SCANNER, "--format", "csv"], cwd=self.workdir,
                                   stdout=subprocess.PIPE, stderr=terminal)
        os.close(terminal)
        seen = b""
        while True:
            ready, _, _ = select.select([controller], [], [], 30)
            if not ready:
                break
            try:
                chunk = os.read(controller, 4096)
            except OSError:
                break
            if not chunk:
                break
            seen += chunk
        process.stdout.read()
        self.assertEqual(process.wait(timeout=60), 0)
        os.close(controller)
        self.assertIn(b"printer(s) found", seen)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
