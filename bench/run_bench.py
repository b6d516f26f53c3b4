#!/usr/bin/env python3
"""Runs every benchmark and prints one table of figures beside their goals.

Started by scripts/bench inside the LAN sandbox (which it checks) under a virtual X display:
the in-process benchmarks, timed broadcast searches against qarv-printer-sim, and the start-up
of the main window beside a bare Qt dialog.
"""

import argparse
import ipaddress
import json
import os
import platform
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

TIMEOUT_SECONDS = 6
# The search modes each search case runs in: name and bench-search's arguments.
SEARCH_MODES = (("default", []), ("thorough", ["--thorough"]))
# Cases with printers the simulator generates itself (198.51.100.10 upwards, addresses the sandbox
# carries); the largest case's printers come from the configuration scripts/bench writes
# (--large-printers-conf), in a range of their own, and are given their addresses for that case.
GENERATED_PRINTER_COUNTS = (1, 20, 100, 200)
LARGE_CASE_RANGE = ipaddress.ip_network("198.18.0.0/15")
OPERATOR_ADDRESS = "198.51.100.2/24"
# Window search overhead beyond the protocol's floor, and its bound against the in-memory path.
WINDOW_GOALS_MS = {20: 30.0, 100: 60.0, 200: 120.0, 1000: 300.0}
WINDOW_TO_MEMORY_LIMIT = 3.0
# Calls a search may queue to the GUI thread: per accepted reply, and once per search.
QUEUED_CALLS_PER_REPLY = 2
QUEUED_CALLS_PER_SEARCH = 3
STALL_GOAL_MS = 16.0
STALL_GOAL_PRINTERS = 200
# Start-up of the main window against the bare dialog at the main window's size (time), and
# against the small bare dialog (memory).
STARTUP_RATIO_GOAL = 1.10
STARTUP_RSS_GOAL_MIB = 3.0
MIB = 1024.0


class Bench:
    def __init__(self, build_dir, runs, startup_runs, log, large_printers_conf=None):
        self.build = build_dir
        self.large_printers_conf = large_printers_conf
        self.runs = runs
        self.startup_runs = startup_runs
        self.log = log
        self.rows = []  # (section, figure, measured text, goal text, verdict)
        self.workdir = tempfile.mkdtemp(prefix="vindle-bench-")
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.workdir)
        self.env.pop("QT_QPA_PLATFORM", None)

    def tool(self, name):
        if name == "qarv-vindle":
            return os.path.join(self.build, "app", "qt", name)
        if name == "qarv-printer-sim":
            return os.path.join(self.build, "tools", "printer-sim", name)
        return os.path.join(self.build, "bench", name)

    def run(self, command, env=None, cwd=None, timeout=240):
        self.log.write("$ " + " ".join(command) + "\n")
        self.log.flush()
        result = subprocess.run(command, env=env or self.env, cwd=cwd or self.workdir,
                                stdout=subprocess.PIPE, stderr=self.log, timeout=timeout)
        if result.returncode != 0:
            raise RuntimeError("%s failed with status %d (see the log)"
                               % (os.path.basename(command[0]), result.returncode))
        return result.stdout.decode()

    def add(self, section, figure, measured, goal="", verdict=""):
        self.rows.append((section, figure, measured, goal, verdict))

    # --- In-process benchmarks (Google Benchmark, medians of repetitions) ---

    def google_benchmark(self, name, env=None):
        output = self.run([self.tool(name), "--benchmark_format=json",
                           "--benchmark_repetitions=5", "--benchmark_min_time=0.2",
                           "--benchmark_report_aggregates_only=true"], env=env)
        scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
        medians = {}
        for entry in json.loads(output)["benchmarks"]:
            if entry.get("error_occurred"):
                raise RuntimeError("%s: %s" % (entry["name"], entry.get("error_message")))
            if entry.get("aggregate_name") == "median":
                medians[entry["run_name"]] = entry["real_time"] * scale[entry["time_unit"]]
        return medians  # microseconds

    def in_process(self):
        reply = self.google_benchmark("bench-reply-handling")
        for rows in (20, 200, 2000):
            us = reply["BM_AcceptedReply/%d" % rows]
            goal = 50.0 if rows <= 200 else None
            self.add("in process", "one accepted reply, list of %d rows" % rows,
                     "%.1f us" % us, "< 50 us" if goal else "(no goal)",
                     verdict(us < goal) if goal else "")
        self.add("in process", "  of which: settings read (BroadCast/Status)",
                 "%.1f us" % reply["BM_ReadBroadcastStatus"])

        qt_env = dict(self.env, QT_QPA_PLATFORM="offscreen")
        qt = self.google_benchmark("bench-qt-list", env=qt_env)
        for name, label, rows in (("BM_SortByAddress", "sort by address", 20),
                                  ("BM_SortByAddress", "sort by address", 200),
                                  ("BM_SortByAddress", "sort by address", 2000),
                                  ("BM_SortBySerial", "sort by serial number", 2000),
                                  ("BM_SortByAddressAndRepaint", "sort by address + repaint",
                                   2000)):
            ms = qt["%s/%d/manual_time" % (name, rows)] / 1e3
            goal = rows == 2000
            self.add("in process", "%s, %d rows (replayed on a QTreeWidget)" % (label, rows),
                     "%.2f ms" % ms, "< 100 ms" if goal else "(no goal)",
                     verdict(ms < 100) if goal else "")
        for rows in (20, 200, 2000):
            us = qt["BM_ReplayOneReply/%d/iterations:200/manual_time" % rows]
            self.add("in process", "one reply's row replayed on the widget, %d rows (GUI thread)"
                     % rows, "%.1f us" % us, "(no goal)")

    # --- Broadcast searches over real sockets, in the sandbox ---

    def search_cases(self):
        """(printer count, simulator arguments) of every search case, smallest first."""
        cases = [(printers, ["--printers", str(printers)])
                 for printers in GENERATED_PRINTER_COUNTS]
        if self.large_printers_conf:
            cases.append((len(self.large_case_addresses()),
                          ["--config", self.large_printers_conf]))
        return cases

    def large_case_addresses(self):
        """The largest case's printer addresses (ADDRESS/PREFIX), each checked to lie in its range."""
        addresses = []
        with open(self.large_printers_conf) as conf:
            for line in conf:
                words = line.split("#", 1)[0].split()
                if not words:
                    continue
                address = ipaddress.ip_interface(words[0] if "/" in words[0] else words[0] + "/24")
                if not address.network.subnet_of(LARGE_CASE_RANGE):
                    raise RuntimeError("%s lies outside %s" % (address, LARGE_CASE_RANGE))
                addresses.append(str(address))
        return addresses

    def printer_addresses(self, action):
        """Adds ("add") or removes ("del") the largest case's printer addresses on the sandbox's
        operator interface, in one batch. Only for that case: with a thousand addresses on the
        interface, listing the interfaces (as every broadcast search does) costs about 10 ms,
        which an operator's machine on a real LAN does not pay."""
        listing = subprocess.run(["ip", "-o", "-4", "address", "show"], check=True,
                                 stdout=subprocess.PIPE, universal_newlines=True).stdout
        interfaces = [line.split()[1] for line in listing.splitlines()
                      if OPERATOR_ADDRESS in line.split()]
        if len(interfaces) != 1:
            raise RuntimeError("the sandbox's operator interface (%s) was not found"
                               % OPERATOR_ADDRESS)
        addresses = self.large_case_addresses()
        brd = " brd +"
        if action == "del":
            # The first address of a subnet is its primary one, whose removal takes the others
            # with it: the others go first.
            addresses.reverse()
            brd = ""
        batch = "".join("address %s %s%s dev %s\n" % (action, address, brd, interfaces[0])
                        for address in addresses)
        done = subprocess.run(["ip", "-batch", "-"], input=batch, universal_newlines=True,
                              stdout=self.log, stderr=self.log)
        if done.returncode != 0:
            raise RuntimeError("ip -batch could not %s the printers' addresses (see the log)"
                               % action)

    def searches(self):
        for printers, simulator_arguments in self.search_cases():
            large = "--config" in simulator_arguments
            if large:
                self.printer_addresses("add")
            simulator = subprocess.Popen(
                [self.tool("qarv-printer-sim")] + simulator_arguments,
                stdout=subprocess.DEVNULL, stderr=self.log)
            try:
                time.sleep(0.3)
                if simulator.poll() is not None:
                    raise RuntimeError("qarv-printer-sim did not start")
                # The window's overhead goals hold for the default and the thorough search.
                for mode in SEARCH_MODES:
                    medians = {}
                    for list_kind in ("memory", "window"):
                        results = []
                        for _ in range(self.runs):
                            output = self.run([self.tool("bench-search"), "--list", list_kind,
                                               "--timeout", str(TIMEOUT_SECONDS)] + mode[1],
                                              env=dict(self.env, QT_QPA_PLATFORM="offscreen"))
                            results.append(json.loads(output))
                        medians[list_kind] = self.add_search(printers, mode[0], list_kind,
                                                             results, medians.get("memory"))
            finally:
                simulator.send_signal(signal.SIGTERM)
                simulator.wait(timeout=10)
                if large:
                    self.printer_addresses("del")

    def add_search(self, printers, mode, list_kind, results, memory_ms):
        """Adds one case's rows; returns its median overhead in milliseconds."""
        overhead = statistics.median(r["overhead_ms"] for r in results)
        floor = statistics.median(r["floor_ms"] for r in results)
        quiet_excess = statistics.median(r["last_quiet_wait_ms"] - TIMEOUT_SECONDS * 1000
                                         for r in results)
        complete = all(r["rows"] == printers and r["probe_timeouts"] == 0 for r in results)
        where = "main window" if list_kind == "window" else "in-memory list"
        noun = "printer" if printers == 1 else "printers"
        case = "%d %s, T=%d, %s, %s" % (printers, noun, TIMEOUT_SECONDS, mode, where)
        measured = "%.1f ms (%.2f%% of %.0f ms)" % (overhead, 100 * overhead / floor, floor)
        if not complete:
            rows = sorted({r["rows"] for r in results})
            self.add("search", case, measured, "%d rows" % printers,
                     "WRONG: rows %s" % ",".join(map(str, rows)))
            return overhead
        goal_ms = WINDOW_GOALS_MS.get(printers) if list_kind == "window" else None
        if goal_ms is None:
            self.add("search", case, measured, "(no goal)")
        else:
            self.add("search", case, measured, "< %.0f ms" % goal_ms, verdict(overhead < goal_ms))
        self.add("search", "  of which: last quiet wait beyond T", "%.1f ms" % quiet_excess)
        cpu = statistics.median(r["search_thread_cpu_ms"] for r in results)
        system = statistics.median(r["search_thread_system_cpu_ms"] for r in results)
        self.add("search", "  CPU time of the search's thread (in the kernel)",
                 "%.1f ms (%.1f), %.0f us per printer" % (cpu, system, 1000 * cpu / printers))
        if list_kind != "window":
            return overhead
        if memory_ms is not None and printers > 1:
            ratio = overhead / max(memory_ms, 0.001)
            self.add("search", "  window / in-memory list", "x%.2f" % ratio,
                     "<= x%.0f" % WINDOW_TO_MEMORY_LIMIT, verdict(ratio <= WINDOW_TO_MEMORY_LIMIT))
        calls = max(r["queued_gui_calls"] for r in results)
        bound = QUEUED_CALLS_PER_REPLY * printers + QUEUED_CALLS_PER_SEARCH
        self.add("search", "  calls queued to the GUI thread (most of %d runs)" % len(results),
                 "%d (%.2f per reply)" % (calls, calls / printers),
                 "<= %d per reply + %d" % (QUEUED_CALLS_PER_REPLY, QUEUED_CALLS_PER_SEARCH),
                 verdict(calls <= bound))
        stall = max(r["longest_gui_stall_ms"] for r in results)
        if printers == STALL_GOAL_PRINTERS:
            self.add("search", "  longest GUI stall during the search (worst run)",
                     "%.1f ms" % stall, "< %.0f ms" % STALL_GOAL_MS, verdict(stall < STALL_GOAL_MS))
        else:
            self.add("search", "  longest GUI stall during the search (worst run)",
                     "%.1f ms" % stall)
        # The worst stalls while replies came in and in the final quiet wait, each with the CPU
        # time the GUI thread had in it: for the rest of it the thread did not run (it waited
        # for a processor).
        busy = max(results, key=lambda r: r["longest_gui_stall_busy_ms"])
        quiet = max(results, key=lambda r: r["longest_gui_stall_quiet_ms"])
        self.add("search", "    while replies come in / in the quiet wait (GUI thread ran)",
                 "%.1f (%.1f) / %.1f (%.1f) ms"
                 % (busy["longest_gui_stall_busy_ms"], busy["longest_gui_stall_busy_cpu_ms"],
                    quiet["longest_gui_stall_quiet_ms"], quiet["longest_gui_stall_quiet_cpu_ms"]))
        return overhead

    # --- Start-up under the virtual display ---

    def start_once(self, arguments):
        directory = tempfile.mkdtemp(dir=self.workdir)
        output = self.run([self.tool("startup-probe")] + arguments, cwd=directory)
        shutil.rmtree(directory)
        return json.loads(output)

    def startup(self):
        bare = ["--title", "Bare Dialog", "--", self.tool("bench-bare-dialog")]
        app = ["--title", "Qarv Vindle", "--", self.tool("qarv-vindle")]
        # The main window's size on this display, from a start of its own.
        first = self.start_once(app)
        size = (first["width"], first["height"])
        cases = {
            "app": app,
            # The same bare dialog at the main window's size: the window's area costs the same
            # to draw and to send to the X server, so what remains is the window's content.
            "bare_sized": bare + ["--size", "%dx%d" % size],
            "bare": bare,
        }
        samples = {name: [] for name in cases}
        # One unrecorded start of each warms the file cache and the font configuration cache.
        for index in range(self.startup_runs + 1):
            for name, arguments in cases.items():
                sample = self.start_once(arguments)
                if name != "bare" and (sample["width"], sample["height"]) != size:
                    raise RuntimeError("%s was drawn at %dx%d, not at the main window's %dx%d"
                                       % (name, sample["width"], sample["height"], *size))
                if index > 0:
                    samples[name].append(sample)

        def median(name, key):
            return statistics.median(sample[key] for sample in samples[name])

        small = samples["bare"][0]
        for key, label in (("shown_ms", "exec to window mapped"),
                           ("painted_ms", "exec to window drawn")):
            bare_ms, app_ms = median("bare", key), median("app", key)
            sized_ms = median("bare_sized", key)
            self.add("start-up", "bare dialog at the main window's size (%dx%d): %s"
                     % (size[0], size[1], label), "%.1f ms" % sized_ms, "(baseline)")
            self.add("start-up", "main window: %s" % label,
                     "%.1f ms (x%.3f)" % (app_ms, app_ms / sized_ms),
                     "<= x%.2f of the bare dialog at its size" % STARTUP_RATIO_GOAL,
                     verdict(app_ms / sized_ms <= STARTUP_RATIO_GOAL))
            self.add("start-up", "  small bare dialog (%dx%d), for comparison"
                     % (small["width"], small["height"]),
                     "%.1f ms (main window x%.2f)" % (bare_ms, app_ms / bare_ms))
        bare_mib, app_mib = (median("bare", "peak_rss_kib") / MIB,
                             median("app", "peak_rss_kib") / MIB)
        sized_mib = median("bare_sized", "peak_rss_kib") / MIB
        self.add("start-up", "small bare dialog: peak RSS", "%.1f MiB" % bare_mib, "(baseline)")
        self.add("start-up", "main window: peak RSS",
                 "%.1f MiB (+%.1f)" % (app_mib, app_mib - bare_mib),
                 "<= +%.0f MiB" % STARTUP_RSS_GOAL_MIB,
                 verdict(app_mib - bare_mib <= STARTUP_RSS_GOAL_MIB))
        self.add("start-up", "  bare dialog at the main window's size: peak RSS",
                 "%.1f MiB (main window %+.1f)" % (sized_mib, app_mib - sized_mib))

    def table(self):
        headers = ("Figure", "Measured (median)", "Goal", "")
        rows = [(f, m, g, v) for _, f, m, g, v in self.rows]
        widths = [max(len(h), *(len(r[i]) for r in rows)) for i, h in enumerate(headers)]
        lines = []
        section = None
        for (sec, *_), row in zip(self.rows, rows):
            if sec != section:
                section = sec
                lines.append("")
                lines.append("[%s]" % sec)
            lines.append("  ".join(c.ljust(w) for c, w in zip(row, widths)).rstrip())
        header = "  ".join(h.ljust(w) for h, w in zip(headers, widths)).rstrip()
        return "\n".join([header, "-" * len(header)] + lines[1:])

    def markdown(self):
        lines = ["| Figure | Measured (median) | Goal | |", "|---|---|---|---|"]
        for section, figure, measured, goal, result in self.rows:
            lines.append("| %s: %s | %s | %s | %s |" % (section, figure.strip(), measured,
                                                       goal, result))
        return "\n".join(lines) + "\n"


def verdict(met):
    return "met" if met else "MISSED"


def machine():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as cpuinfo:
            for line in cpuinfo:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return "%d CPU(s), %s, Linux %s" % (os.cpu_count(), model, platform.release())


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--runs", type=int, default=3, help="timed searches per case")
    parser.add_argument("--startup-runs", type=int, default=21)
    parser.add_argument("--log", required=True)
    parser.add_argument("--markdown", help="also write the table as Markdown to this file")
    parser.add_argument("--large-printers-conf",
                        help="qarv-printer-sim configuration of the largest search case "
                             "(its addresses must be in the sandbox)")
    parser.add_argument("--only", choices=("in_process", "searches", "startup"),
                        help="run one group of benchmarks only")
    arguments = parser.parse_args()
    if os.environ.get("VINDLE_LAN_SANDBOX") != "1":
        sys.exit("run_bench.py runs real searches: start it through scripts/bench, "
                 "which runs it inside scripts/lan-sandbox")
    if not os.environ.get("DISPLAY"):
        sys.exit("run_bench.py needs a (virtual) X display: start it through scripts/bench")

    # Linux lets a niced process's poll time-outs end 0.5 % late instead of 0.1 %: 30 ms instead of
    # 6 ms at the end of every search.
    if os.nice(0) > 0:
        print("bench: warning: running at niceness %d; every search's final wait ends up to "
              "%.0f ms late" % (os.nice(0), TIMEOUT_SECONDS * 5), file=sys.stderr)
    started = time.monotonic()
    with open(arguments.log, "w") as log:
        bench = Bench(os.path.abspath(arguments.build), arguments.runs, arguments.startup_runs,
                      log, arguments.large_printers_conf)
        host = machine()
        load_at_start = os.getloadavg()[0]
        try:
            steps = (bench.in_process, bench.searches, bench.startup)
            for step in steps:
                if arguments.only and step.__name__ != arguments.only:
                    continue
                print("bench: %s ..." % step.__name__.replace("_", " "), file=sys.stderr,
                      flush=True)
                step()
        except (RuntimeError, subprocess.TimeoutExpired, KeyError) as error:
            print("bench: %s" % error, file=sys.stderr)
            print("bench: log: %s" % arguments.log, file=sys.stderr)
            return 1
        finally:
            shutil.rmtree(bench.workdir, ignore_errors=True)
    elapsed = time.monotonic() - started
    print()
    print("Machine: %s; load average %.2f at start, %.2f at end (other work skews the figures)"
          % (host, load_at_start, os.getloadavg()[0]))
    print("Searches: medians of %d per case; start-up: medians of %d starts each"
          % (arguments.runs, arguments.startup_runs))
    print()
    print(bench.table())
    print()
    print("(measured in %.0f s; log: %s)" % (elapsed, arguments.log))
    if arguments.markdown:
        with open(arguments.markdown, "w") as out:
            out.write("Machine: %s; load average %.2f at start, %.2f at end\n\n"
                      % (host, load_at_start, os.getloadavg()[0]))
            out.write(bench.markdown())
    return 0 if all(row[4] != "MISSED" and not row[4].startswith("WRONG")
                    for row in bench.rows) else 3


if __name__ == "__main__":
    sys.exit(main())
