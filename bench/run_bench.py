#!/usr/bin/env python3
"""Runs every benchmark and prints one table of figures beside their goals.

Started by scripts/bench inside the LAN sandbox (which it checks) under a virtual X display:
the in-process benchmarks, timed broadcast searches against qarv-printer-sim, and the start-up
of the main window beside a bare Qt dialog.
"""

import argparse
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
PRINTER_COUNTS = (1, 20, 100, 200)
# Window search overhead beyond the protocol's floor, and its bound against the in-memory path.
WINDOW_GOALS_MS = {20: 30.0, 100: 60.0, 200: 120.0}
WINDOW_TO_MEMORY_LIMIT = 3.0
# Calls a search may queue to the GUI thread: per accepted reply, and once per search.
QUEUED_CALLS_PER_REPLY = 2
QUEUED_CALLS_PER_SEARCH = 3
STALL_GOAL_MS = 16.0
STARTUP_RATIO_GOAL = 1.10
STARTUP_RSS_GOAL_MIB = 3.0
# The main window's size on the benchmark's display (template font, 96 dpi).
MAIN_WINDOW_SIZE = "477x556"
MIB = 1024.0


class Bench:
    def __init__(self, build_dir, runs, startup_runs, log):
        self.build = build_dir
        self.runs = runs
        self.startup_runs = startup_runs
        self.log = log
        self.rows = []  # (section, figure, measured text, goal text, verdict)
        self.workdir = tempfile.mkdtemp(prefix="vindle-bench-")
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.workdir)
        self.env.pop("QT_QPA_PLATFORM", None)

    def tool(self, name):
        if name in ("qarv-vindle",):
            return os.path.join(self.build, "app", name)
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
            self.add("in process", "%s, %d rows (QTreeWidget)" % (label, rows),
                     "%.2f ms" % ms, "< 100 ms" if goal else "(no goal)",
                     verdict(ms < 100) if goal else "")
        for name, label in (("BM_WorkerToGuiItemCount", "ItemCount"),
                            ("BM_WorkerToGuiItemText", "ItemText")):
            us = qt[name + "/real_time"]
            self.add("in process", "worker-to-GUI list call (%s)" % label, "%.1f us" % us,
                     "< 100 us", verdict(us < 100))

    # --- Broadcast searches over real sockets, in the sandbox ---

    def searches(self):
        for printers in PRINTER_COUNTS:
            simulator = subprocess.Popen(
                [self.tool("qarv-printer-sim"), "--printers", str(printers)],
                stdout=subprocess.DEVNULL, stderr=self.log)
            try:
                time.sleep(0.3)
                if simulator.poll() is not None:
                    raise RuntimeError("qarv-printer-sim did not start")
                medians = {}
                for list_kind in ("memory", "window"):
                    results = []
                    for _ in range(self.runs):
                        output = self.run([self.tool("bench-search"), "--list", list_kind,
                                           "--timeout", str(TIMEOUT_SECONDS)],
                                          env=dict(self.env, QT_QPA_PLATFORM="offscreen"))
                        results.append(json.loads(output))
                    medians[list_kind] = self.add_search(printers, list_kind, results,
                                                         medians.get("memory"))
            finally:
                simulator.send_signal(signal.SIGTERM)
                simulator.wait(timeout=10)

    def add_search(self, printers, list_kind, results, memory_ms):
        """Adds one case's rows; returns its median overhead in milliseconds."""
        overhead = statistics.median(r["overhead_ms"] for r in results)
        floor = statistics.median(r["floor_ms"] for r in results)
        quiet_excess = statistics.median(r["last_quiet_wait_ms"] - TIMEOUT_SECONDS * 1000
                                         for r in results)
        complete = all(r["rows"] == printers and r["probe_timeouts"] == 0 for r in results)
        where = "main window" if list_kind == "window" else "in-memory list"
        noun = "printer" if printers == 1 else "printers"
        case = "%d %s, T=%d, %s" % (printers, noun, TIMEOUT_SECONDS, where)
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
        if printers == max(PRINTER_COUNTS):
            self.add("search", "  longest GUI stall during the search (worst run)",
                     "%.1f ms" % stall, "< %.0f ms" % STALL_GOAL_MS, verdict(stall < STALL_GOAL_MS))
        else:
            self.add("search", "  longest GUI stall during the search (worst run)",
                     "%.1f ms" % stall)
        return overhead

    # --- Start-up under the virtual display ---

    def startup(self):
        cases = {
            "bare": (["--title", "Bare Dialog", "--", self.tool("bench-bare-dialog")]),
            "app": (["--title", "Qarv Vindle", "--", self.tool("qarv-vindle")]),
            # The same bare dialog at the main window's size: the part of the difference that is
            # only the larger area to draw and send to the X server.
            "bare_sized": (["--title", "Bare Dialog", "--", self.tool("bench-bare-dialog"),
                            "--size", MAIN_WINDOW_SIZE]),
        }
        samples = {name: [] for name in cases}
        # One unrecorded start of each warms the file cache and the font configuration cache.
        for index in range(self.startup_runs + 1):
            for name, arguments in cases.items():
                directory = tempfile.mkdtemp(dir=self.workdir)
                output = self.run([self.tool("startup-probe")] + arguments, cwd=directory)
                shutil.rmtree(directory)
                if index > 0:
                    samples[name].append(json.loads(output))
        def median(name, key):
            return statistics.median(sample[key] for sample in samples[name])

        for key, label in (("shown_ms", "exec to window mapped"),
                           ("painted_ms", "exec to window drawn")):
            bare, app = median("bare", key), median("app", key)
            sized = median("bare_sized", key)
            self.add("start-up", "bare dialog: %s" % label, "%.1f ms" % bare, "(baseline)")
            self.add("start-up", "main window: %s" % label,
                     "%.1f ms (x%.2f)" % (app, app / bare),
                     "<= x%.2f of the bare dialog" % STARTUP_RATIO_GOAL,
                     verdict(app / bare <= STARTUP_RATIO_GOAL))
            self.add("start-up", "  beside the bare dialog at the window's size",
                     "%.1f ms (x%.2f)" % (sized, app / sized))
        bare, app = median("bare", "peak_rss_kib") / MIB, median("app", "peak_rss_kib") / MIB
        self.add("start-up", "bare dialog: peak RSS", "%.1f MiB" % bare, "(baseline)")
        self.add("start-up", "main window: peak RSS", "%.1f MiB (+%.1f)" % (app, app - bare),
                 "<= +%.0f MiB" % STARTUP_RSS_GOAL_MIB, verdict(app - bare <= STARTUP_RSS_GOAL_MIB))

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
    parser.add_argument("--only", choices=("in_process", "searches", "startup"),
                        help="run one group of benchmarks only")
    arguments = parser.parse_args()
    if os.environ.get("VINDLE_LAN_SANDBOX") != "1":
        sys.exit("run_bench.py runs real searches: start it through scripts/bench, "
                 "which runs it inside scripts/lan-sandbox")
    if not os.environ.get("DISPLAY"):
        sys.exit("run_bench.py needs a (virtual) X display: start it through scripts/bench")

    started = time.monotonic()
    with open(arguments.log, "w") as log:
        bench = Bench(os.path.abspath(arguments.build), arguments.runs, arguments.startup_runs,
                      log)
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
