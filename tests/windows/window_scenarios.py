#!/usr/bin/env python3
"""Inside scripts/lan-sandbox, on an X display: the Windows window program under Wine, driven by
window_driver.exe, against the Linux printer simulator. Checks the driver's scenarios and what
only the Linux side can tell: the rows equal the Linux scanner's, and the configuration dialog's
save equals the Linux dialog logic's for the same steps. With --msi, also installs the MSI
package, starts the installed window once and uninstalls it.

Usage: window_scenarios.py --simulator SIM --printers-conf CONF --linux-scanner SCAN
           --conset-reference REF --driver DRIVER_EXE --app APP_EXE --browser-record FILE
           [--screenshot PNG] [--msi MSI]
Environment: WINEPREFIX (the prefix to use), WINE (default /usr/lib/wine/wine64)."""

import argparse
import csv
import glob
import io
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from lan_e2e_settings import BROADCAST_INI  # noqa: E402
from wine_sandbox import WINE, fail, run_to_files, start_own_wineserver, stop_wineserver

# The configuration dialog's steps: the pairs added and the time-out typed.
CONFIG_PAIRS = ["203.0.113.0/255.255.255.0", "198.18.0.7/255.255.255.255"]
CONFIG_TIMEOUT = "45"
# A search that runs long enough to be stopped or closed.
LONG_SEARCH_INI = BROADCAST_INI.replace("TimeVal=3", "TimeVal=30")
INSTALL_FOLDER = os.path.join("drive_c", "Program Files", "Qarv Vindle")
# Wine puts a package's Start menu entries in the user's menu, Windows in every user's.
SHORTCUTS = [os.path.join("drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu",
                          "Programs", "Qarv Vindle.lnk"),
             os.path.join("drive_c", "users", "*", "AppData", "Roaming", "Microsoft", "Windows",
                          "Start Menu", "Programs", "Qarv Vindle.lnk")]

failures = []


def check(condition, message):
    print(("ok   " if condition else "FAIL ") + message)
    if not condition:
        failures.append(message)
    return condition


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def settings_folder(settings):
    """A working folder with the settings file, or (settings None) with a folder in its place,
    so that the file can be neither opened nor created there."""
    folder = tempfile.mkdtemp(prefix="vindle-winwin-")
    if settings is None:
        os.mkdir(os.path.join(folder, "QarvVindle.ini"))
        return folder
    with open(os.path.join(folder, "QarvVindle.ini"), "w", newline="\n") as f:
        f.write(settings)
    return folder


def run_driver(args, settings, scenarios, extra=()):
    """Runs the driver on one start of the window program; returns its output lines and the
    folder the program ran in."""
    folder = settings_folder(settings)
    command = [WINE, args.driver, "--app", windows_path(args.app), *extra, *scenarios]
    # Non-ASCII arguments reach Wine as UTF-8.
    env = dict(os.environ, LC_ALL="C.UTF-8")
    status, output, errors = run_to_files(command, folder, env=env)
    lines = output.decode("latin-1").splitlines()
    for line in lines:
        if line.startswith(("PASS ", "FAIL ")):
            check(line.startswith("PASS "), line[5:])
    if status != 0 and not any(line.startswith("FAIL ") for line in lines):
        check(False, f"the driver exited {status}: " + errors.decode(errors="replace")[-2000:])
    return lines, folder


def linux_scanner_rows(args):
    folder = settings_folder(BROADCAST_INI)
    try:
        status, output, errors = run_to_files([args.linux_scanner, "--format", "csv"], folder)
    finally:
        shutil.rmtree(folder)
    if status != 0:
        fail(f"the Linux scanner exited {status}: " + errors.decode(errors="replace"))
    return list(csv.reader(io.StringIO(output.decode("latin-1"))))[1:]


def reference_settings(args):
    """The settings file the Linux configuration dialog's logic writes for the same steps."""
    folder = settings_folder(BROADCAST_INI)
    try:
        subprocess.run([args.conset_reference, folder, CONFIG_TIMEOUT, *CONFIG_PAIRS], check=True,
                       timeout=30)
        with open(os.path.join(folder, "QarvVindle.ini"), "rb") as f:
            return f.read()
    finally:
        shutil.rmtree(folder)


def main_window(args):
    expected_rows = linux_scanner_rows(args)
    check(len(expected_rows) > 1, f"the Linux scanner lists {len(expected_rows)} printers")
    scratch = tempfile.mkdtemp(prefix="vindle-winshot-")
    bmp = os.path.join(scratch, "window.bmp")
    extra = ["--browser-record", windows_path(args.browser_record), "--screenshot",
             windows_path(bmp), "--config-timeout", CONFIG_TIMEOUT]
    for pair in CONFIG_PAIRS:
        extra += ["--config-pair", pair]
    lines, folder = run_driver(
        args, BROADCAST_INI,
        ["controls", "search", "screenshot", "browse", "sort", "row-menu", "dpi", "about",
         "config"], extra)
    try:
        rows = [line.split("\t")[1:] for line in lines if line.startswith("ROW\t")]
        if rows:
            same = check(rows == expected_rows,
                         f"the window's {len(rows)} rows equal the Linux scanner's "
                         f"{len(expected_rows)} rows, in order")
            if not same:
                print("--- Linux scanner\n" + "\n".join("\t".join(r) for r in expected_rows))
                print("--- window\n" + "\n".join("\t".join(r) for r in rows))
        if any(line.startswith("PASS config") for line in lines):
            with open(os.path.join(folder, "QarvVindle.ini"), "rb") as f:
                saved = f.read()
            reference = reference_settings(args)
            lines_crlf = saved.count(b"\r\n") == saved.count(b"\n") > 0
            check(lines_crlf, "the Windows save ends every line with CRLF")
            same = check(saved.replace(b"\r\n", b"\n") == reference,
                         f"the Windows save ({len(saved)} bytes) equals the Linux dialog "
                         f"logic's ({len(reference)} bytes) up to line ends")
            if not same:
                print("--- Linux\n" + reference.decode("latin-1") + "--- Windows\n"
                      + saved.decode("latin-1"))
        if args.screenshot and os.path.exists(bmp):
            subprocess.run(["convert", bmp, args.screenshot], check=True, timeout=60)
            print(f"     screenshot: {args.screenshot}")
    finally:
        shutil.rmtree(folder)
        shutil.rmtree(scratch)


def thorough_check_box(args):
    _, folder = run_driver(args, LONG_SEARCH_INI, ["config-thorough"])
    shutil.rmtree(folder)


def stop_and_close(args):
    _, folder = run_driver(args, LONG_SEARCH_INI, ["stop", "close-searching"])
    shutil.rmtree(folder)
    _, folder = run_driver(args, BROADCAST_INI, ["escape", "close-dialogs"])
    with open(os.path.join(folder, "QarvVindle.ini")) as f:
        check(f.read() == BROADCAST_INI, "closing with the configuration dialog open saved nothing")
    shutil.rmtree(folder)


def user_settings(args):
    """Settings that cannot be kept in the working folder go to the user's application data
    folder, here under a profile whose name needs more than one code page."""
    users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
    profiles = set(os.listdir(users))
    roaming = "C:\\users\\Renée Weiß-Łukasz\\AppData\\Roaming"
    _, folder = run_driver(args, None, ["user-settings"],
                           ["--app-data", roaming,
                            "--settings-file", roaming + "\\Qarv Vindle\\QarvVindle.ini"])
    check(sorted(os.listdir(folder)) == ["QarvVindle.ini", "stderr", "stdout"]
          and not os.listdir(os.path.join(folder, "QarvVindle.ini")),
          "nothing was written in the working folder")
    shutil.rmtree(folder)
    for profile in set(os.listdir(users)) - profiles:
        shutil.rmtree(os.path.join(users, profile))


def msiexec(*arguments):
    folder = tempfile.mkdtemp(prefix="vindle-msi-")
    try:
        return run_to_files([WINE, "msiexec", *arguments], folder)[0]
    finally:
        shutil.rmtree(folder)


def installer(args):
    prefix = os.environ["WINEPREFIX"]
    installed = [os.path.join(prefix, INSTALL_FOLDER, name)
                 for name in ("qarv-vindle.exe", "qarv-vindle-scan.exe")]

    def shortcuts():
        return [path for pattern in SHORTCUTS for path in glob.glob(os.path.join(prefix, pattern))]

    status = msiexec("/i", windows_path(args.msi), "/qn")
    check(status == 0, f"msiexec /i {os.path.basename(args.msi)} /qn exits {status}")
    check(all(map(os.path.exists, installed)), "both programs are in Program Files\\Qarv Vindle")
    links = shortcuts()
    if check(len(links) == 1, "the Start menu holds Qarv Vindle.lnk: "
             + ", ".join(path[len(prefix) + 1:] for path in links)):
        with open(links[0], "rb") as f:
            link = f.read()
        check("--user-settings".encode("utf-16-le") in link
              and "qarv-vindle.exe".encode("utf-16-le") in link,
              "the shortcut starts qarv-vindle.exe with --user-settings")
    if os.path.exists(installed[0]):
        app = "C:\\Program Files\\Qarv Vindle\\qarv-vindle.exe"
        folder = settings_folder("")
        os.remove(os.path.join(folder, "QarvVindle.ini"))
        status, output, errors = run_to_files(
            [WINE, args.driver, "--app", app, "--app-arg", "--user-settings", "controls"], folder)
        for line in output.decode("latin-1").splitlines():
            check(line.startswith("PASS "), "installed window: " + line[5:])
        check(status == 0, f"the driver on the installed window exits {status}")
        check(not os.path.exists(os.path.join(folder, "QarvVindle.ini")),
              "with --user-settings the window writes no settings in its working folder")
        shutil.rmtree(folder)
        roaming = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming",
                                         "**", "QarvVindle.ini"), recursive=True)
        check(len(roaming) == 1, "with --user-settings the settings file is under %APPDATA%: "
              + ", ".join(path[len(prefix) + 1:] for path in roaming))
    status = msiexec("/x", windows_path(args.msi), "/qn")
    check(status == 0, f"msiexec /x {os.path.basename(args.msi)} /qn exits {status}")
    check(not any(map(os.path.exists, installed)) and not shortcuts(),
          "the uninstall removed both programs and the shortcut")


def main():
    parser = argparse.ArgumentParser()
    for name in ("--simulator", "--printers-conf", "--linux-scanner", "--conset-reference",
                 "--driver", "--app", "--browser-record"):
        parser.add_argument(name, required=True)
    parser.add_argument("--screenshot")
    parser.add_argument("--msi")
    args = parser.parse_args()
    for name in ("simulator", "printers_conf", "linux_scanner", "conset_reference", "driver",
                 "app", "browser_record", "screenshot", "msi"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))

    server = start_own_wineserver()
    simulator = subprocess.Popen([args.simulator, "--config", args.printers_conf],
                                 stderr=subprocess.DEVNULL)
    time.sleep(0.3)
    started = time.monotonic()
    try:
        main_window(args)
        thorough_check_box(args)
        stop_and_close(args)
        user_settings(args)
        if args.msi:
            installer(args)
    finally:
        simulator.terminate()
        simulator.wait(timeout=10)
        stop_wineserver(server)
    seconds = time.monotonic() - started
    if failures:
        fail(f"{len(failures)} checks failed")
    print(f"window_scenarios: every check passed in {seconds:.0f} s")


if __name__ == "__main__":
    main()
