#!/usr/bin/python3
"""Reads the real program's accessible tree through AT-SPI, as a screen reader does.

Usage: atspi_check.py PATH/TO/qarv-vindle

Runs the program in a private D-Bus session on a virtual X display (Xvfb), in a temporary working
directory, with Qt's accessibility bridge switched on. Checks the name of the main window's device
list, then opens "Configuration Settings" with the keyboard (Alt+T, C) and checks that every
editable field and the address list have a name and that each label is tied to its field.
Inside the LAN sandbox (scripts/lan-sandbox, as CTest runs it) it then presses "Retrieve", checks
the name of "Stop", which exists only while a search runs, and presses it through AT-SPI; outside
the sandbox it never searches.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

MAIN_WINDOW = "Qarv Vindle"
MAIN_LIST_NAME = "Printers found"
STOP_NAME = "Stop the search"
CONSET_WINDOW = "Configuration Settings"
# Start of each label text and how many editable fields its field holds.
CONSET_LABELS = {"IP Address": 4, "Subnet Mask": 4, "Timeout": 1}
EDITABLE_FIELDS = sum(CONSET_LABELS.values())
TIMEOUT_S = 30

failures = []


def check(condition, message):
    print(("ok      " if condition else "FAILED  ") + message)
    if not condition:
        failures.append(message)
    return condition


def wait_for(find, what):
    deadline = time.monotonic() + TIMEOUT_S
    while time.monotonic() < deadline:
        found = find()
        if found is not None:
            return found
        time.sleep(0.2)
    raise SystemExit(f"atspi_check: {what} did not appear within {TIMEOUT_S} s")


def start_xvfb():
    """Starts Xvfb on a free display and returns (process, display)."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        raise SystemExit("atspi_check: Xvfb did not start")
    return xvfb, ":" + number


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    program = os.path.abspath(sys.argv[1])
    # A session bus of our own: the accessibility bus and its registry are started on it.
    if os.environ.get("VINDLE_ATSPI_SESSION") != "1":
        os.environ["VINDLE_ATSPI_SESSION"] = "1"
        os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable,
                                       os.path.abspath(__file__), program])

    xvfb, display = start_xvfb()
    os.environ["DISPLAY"] = display
    os.environ.pop("WAYLAND_DISPLAY", None)
    workdir = tempfile.mkdtemp(prefix="qarv-vindle-a11y-")
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_ACCESSIBILITY="1")
    app_process = subprocess.Popen([program], cwd=workdir, env=env)
    try:
        run_checks(app_process)
    finally:
        app_process.terminate()
        try:
            app_process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            app_process.kill()
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(workdir, ignore_errors=True)
    if failures:
        print(f"atspi_check: {len(failures)} check(s) failed")
        return 1
    print("atspi_check: all checks passed")
    return 0


def run_checks(app_process):
    # Imported here: pyatspi connects to the accessibility bus of the session bus set above.
    import pyatspi

    def application():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == app_process.pid:
                return app
        return None

    def window(title):
        app = application()
        if app is None:
            return None
        for child in app:
            if child is not None and child.name == title:
                return child
        return None

    def descendants(root):
        return pyatspi.findAllDescendants(root, lambda node: node is not None)

    table_roles = {pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE,
                   pyatspi.ROLE_LIST}

    def is_editable(node):
        return node.getState().contains(pyatspi.STATE_EDITABLE) and node.getRole() in {
            pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_SPIN_BUTTON}

    main = wait_for(lambda: window(MAIN_WINDOW), "the main window")
    lists = [node for node in descendants(main) if node.getRole() in table_roles]
    if check(len(lists) == 1, f"main window: one device list (found {len(lists)})"):
        check(lists[0].name == MAIN_LIST_NAME,
              f"main window: device list named {MAIN_LIST_NAME!r} (is {lists[0].name!r})")

    # The keyboard, as a user opens it: Tool, Configuration.
    subprocess.run(["xdotool", "search", "--sync", "--name", f"^{MAIN_WINDOW}$",
                    "windowfocus", "--sync"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["xdotool", "key", "--delay", "200", "alt+t", "c"], check=True)
    conset = wait_for(lambda: window(CONSET_WINDOW), f'"{CONSET_WINDOW}"')

    nodes = descendants(conset)
    fields = [node for node in nodes if is_editable(node)]
    check(len(fields) == EDITABLE_FIELDS,
          f"{CONSET_WINDOW}: {EDITABLE_FIELDS} editable fields (found {len(fields)})")
    for field in fields:
        check(field.name.strip() != "",
              f"{CONSET_WINDOW}: editable field named {field.name!r}")
    # The parts of an address field are told apart by their names.
    names = [field.name for field in fields]
    check(len(set(names)) == len(names), f"{CONSET_WINDOW}: field names differ: {names}")
    lists = [node for node in nodes if node.getRole() in table_roles]
    if check(len(lists) == 1, f"{CONSET_WINDOW}: one address list (found {len(lists)})"):
        check(lists[0].name.strip() != "",
              f"{CONSET_WINDOW}: address list named {lists[0].name!r}")

    # Each label names the field it stands beside: its targets are that field or hold its parts.
    labels = [node for node in nodes if node.getRole() == pyatspi.ROLE_LABEL]
    for start, parts in CONSET_LABELS.items():
        label = next((node for node in labels if node.name.startswith(start)), None)
        if not check(label is not None, f"{CONSET_WINDOW}: label {start!r} present"):
            continue
        targets = [target for relation in label.getRelationSet()
                   if relation.getRelationType() == pyatspi.RELATION_LABEL_FOR
                   for target in (relation.getTarget(i) for i in range(relation.getNTargets()))]
        tied = [node for target in targets
                for node in [target] + descendants(target) if is_editable(node)]
        check(len(tied) == parts,
              f"{CONSET_WINDOW}: label {label.name!r} tied to {parts} editable field(s) "
              f"(tied to {len(tied)})")

    # Escape closes the dialog without saving.
    subprocess.run(["xdotool", "key", "Escape"], check=True)

    if os.environ.get("VINDLE_LAN_SANDBOX") != "1":
        print("atspi_check: outside the LAN sandbox: no search, so no Stop to check")
        return

    def stop_button():
        main_window = window(MAIN_WINDOW)
        if main_window is None:
            return None
        return next((node for node in descendants(main_window)
                     if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and
                     node.getState().contains(pyatspi.STATE_SHOWING) and
                     node.name == STOP_NAME), None)

    check(stop_button() is None, "main window: no Stop before a search")
    # Enter presses "Retrieve"; the search runs for the settings' time-out.
    subprocess.run(["xdotool", "search", "--sync", "--name", f"^{MAIN_WINDOW}$",
                    "windowfocus", "--sync"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["xdotool", "key", "Return"], check=True)
    stop = wait_for(stop_button, f"a button named {STOP_NAME!r} during the search")
    action = stop.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if check("press" in names or "Press" in names, f"main window: Stop can be pressed ({names})"):
        action.doAction(names.index("press") if "press" in names else names.index("Press"))
        # The search ends at once: Stop goes and the status line, read as a screen reader
        # reads it, says so.
        wait_for(lambda: True if stop_button() is None else None, "Stop to go once pressed")
        status = [node.name for node in descendants(window(MAIN_WINDOW))
                  if node.getRole() == pyatspi.ROLE_LABEL and node.name.startswith("Stopped")]
        check(len(status) == 1, f"main window: the status line says the search stopped ({status})")


if __name__ == "__main__":
    sys.exit(main())
