#!/usr/bin/env python3
"""Measures the thorough search against its goals, beside the default search, on faulty
networks: each case builds its own sandbox (scripts/lan-sandbox --link, with --router or
--loss) with the printers it needs, runs the scanner in both modes (TimeVal=3) in the operator's
namespace, and prints one table of what each mode listed and how long it took, beside the goal.

Started by scripts/bench (outside any sandbox: each case makes its own)."""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

T = 3
# Runs the scanner once per line of the working directory's "searches" file, timing each.
TIMED_SEARCHES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts",
                              "timed-searches")


def spread(prefix_base, count, span):
    """`count` host addresses spread evenly over a subnet of `span` addresses from
    `prefix_base` (a number), skipping the router's first address."""
    step = (span - 4) // count
    return [prefix_base + 2 + i * step + (i * 37) % max(step - 2, 1) for i in range(count)]


def dotted(value):
    return ".".join(str((value >> shift) & 255) for shift in (24, 16, 8, 0))


def numbered(first, count):
    return [dotted(first + i) for i in range(count)]


BASE_198_51_100 = 0xC6336400
BASE_198_18 = 0xC6120000
BASE_203_0_113 = 0xCB007100


class Case:
    def __init__(self, name, goal, sandbox, printers, target, goal_listed, goal_seconds,
                 searches=None, compare_rows=False, listed_share=None):
        self.name = name
        self.goal = goal
        self.sandbox = sandbox          # lan-sandbox arguments before --printers-conf
        self.printers = printers        # simulator configuration lines
        self.target = target            # the scanner's TARGET, or None for a broadcast search
        self.goal_listed = goal_listed  # printers each search must list (or None)
        self.goal_seconds = goal_seconds
        self.searches = searches        # searches per mode (None: --runs)
        self.compare_rows = compare_rows
        self.listed_share = listed_share  # goal share of printer-searches listed (or None)


def cases(sweep16, loss_searches):
    link24 = ["--link", "198.51.100.2/24"]
    routed = ["--link", "198.51.100.2/24", "--router"]
    big = numbered(BASE_198_18 + 1, 1000)
    result = [
        Case("50 printers, 5 % loss each way", ">= 99.5 % listed, each <= T + 2 s",
             link24 + ["--loss", "5"], numbered(BASE_198_51_100 + 10, 50), None, None, T + 2,
             searches=loss_searches, listed_share=0.995),
        Case("1000 printers, 1 % loss each way", ">= 999 listed, <= T + 3 s",
             ["--link", "198.18.255.254/15", "--loss", "1"], [a + "/15" for a in big], None,
             999, T + 3),
        Case("20 printers answering details after 0.5 s", "<= T + 1.5 s", link24,
             [a + " detail-delay=500" for a in numbered(BASE_198_51_100 + 10, 20)], None, 20,
             T + 1.5),
        Case("1000 printers, no loss", "<= T + 1 s, rows equal to default",
             ["--link", "198.18.255.254/15"], [a + "/15" for a in big], None, 1000, T + 1,
             compare_rows=True),
        Case("/24 behind a router, 4 printers", "4 of 4, <= T + 2 s", routed + ["203.0.113.1/24"],
             [dotted(a) for a in spread(BASE_203_0_113, 4, 256)], "203.0.113.0/24", 4, T + 2),
        Case("/20 behind a router, 4 printers", "4 of 4, <= T + 30 s",
             routed + ["198.18.0.1/20"], [dotted(a) + "/20" for a in spread(BASE_198_18, 4, 4096)],
             "198.18.0.0/20", 4, T + 30),
    ]
    if sweep16:
        result.append(Case("/16 behind a router, 5 printers", "5 of 5 (time: README)",
                           routed + ["198.18.0.1/16"],
                           [dotted(a) + "/16" for a in spread(BASE_198_18, 5, 65536)],
                           "198.18.0.0/16", 5, None, searches=1))
    return result


class Goals:
    def __init__(self, sandbox, simulator, scanner, runs, log):
        # Each case runs in a directory of its own.
        self.sandbox, self.simulator, self.scanner = map(os.path.abspath,
                                                         (sandbox, simulator, scanner))
        self.runs = runs
        self.log = log
        self.rows = []  # (case, mode, listed, time, goal, verdict)

    def run_case(self, case):
        workdir = tempfile.mkdtemp(prefix="vindle-goals-")
        try:
            conf = os.path.join(workdir, "printers.conf")
            with open(conf, "w") as f:
                f.write("".join(line + "\n" for line in case.printers))
            with open(os.path.join(workdir, "QarvVindle.ini"), "w") as f:
                f.write("[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
                        "[TimeOut]\nTimeVal=%d\n" % T)
            count = case.searches or self.runs
            target = "--timeout %d %s" % (T, case.target) if case.target else ""
            names = [("%s%d" % (mode, i), mode) for i in range(count)
                     for mode in ("default", "thorough")]
            with open(os.path.join(workdir, "searches"), "w") as f:
                for name, mode in names:
                    f.write("%s %s %s\n" % (name, "--thorough" if mode == "thorough" else "",
                                            target))
            command = [self.sandbox, "--quiet"] + case.sandbox + [
                "--printers-conf", conf, "--default-route", "1", "--simulator", self.simulator,
                "--", TIMED_SEARCHES, self.scanner]
            self.log.write("$ %s\n" % " ".join(command))
            self.log.flush()
            done = subprocess.run(command, cwd=workdir, stdout=self.log, stderr=self.log,
                                  timeout=3600)
            if done.returncode != 0:
                raise RuntimeError("%s: the sandbox ended with status %d (see the log)"
                                   % (case.name, done.returncode))
            results = {"default": [], "thorough": []}
            for name, mode in names:
                read = lambda suffix: open(os.path.join(workdir, name + suffix)).read()
                status = read(".status").strip()
                self.log.write("%s %s: status %s, %s ms\n%s" % (case.name, name, status,
                                                                read(".ms").strip(), read(".err")))
                if status != "0":
                    raise RuntimeError("%s: the %s search ended with status %s (see the log)"
                                       % (case.name, mode, status))
                results[mode].append((json.loads(read(".json")), int(read(".ms")) / 1000))
            for mode in ("default", "thorough"):
                self.add(case, mode, results[mode], results["default"])
        finally:
            shutil.rmtree(workdir, ignore_errors=True)

    def add(self, case, mode, results, default_results):
        counts = [len(rows) for rows, _ in results]
        seconds = [s for _, s in results]
        total = len(case.printers)
        if len(results) == 1:
            listed = "%d of %d" % (counts[0], total)
            timing = "%.1f s" % seconds[0]
        else:
            listed = "%d-%d of %d (%.1f %%)" % (min(counts), max(counts), total,
                                               100.0 * sum(counts) / (total * len(counts)))
            timing = "%.1f-%.1f s (median %.1f)" % (min(seconds), max(seconds),
                                                    statistics.median(seconds))
        if mode == "default":
            self.rows.append((case.name, mode, listed, timing, "(today)", ""))
            return
        met = max(seconds) <= case.goal_seconds if case.goal_seconds else True
        if case.listed_share is not None:
            met = met and sum(counts) >= case.listed_share * total * len(counts)
        elif case.goal_listed is not None:
            met = met and min(counts) >= case.goal_listed
        if case.compare_rows:
            same = all(rows == default_results[0][0] for rows, _ in results) and \
                len(default_results[0][0]) == total
            met = met and same
            listed += ", rows %s default" % ("equal to" if same else "DIFFERENT from")
        verdict = "met" if met else "MISSED"
        if not case.goal_seconds and case.goal_listed is None:
            verdict = ""
        self.rows.append((case.name, mode, listed, timing, case.goal, verdict))

    def table(self):
        headers = ("Case (T = %d s)" % T, "Search", "Listed", "Time", "Goal (thorough)", "")
        widths = [max(len(h), *(len(r[i]) for r in self.rows)) for i, h in enumerate(headers)]
        line = lambda row: "  ".join(c.ljust(w) for c, w in zip(row, widths)).rstrip()
        return "\n".join([line(headers), "-" * len(line(headers))] + [line(r) for r in self.rows])

    def markdown(self):
        lines = ["| Case (T = %d s) | Search | Listed | Time | Goal (thorough) | |" % T,
                 "|---|---|---|---|---|---|"]
        lines += ["| %s |" % " | ".join(row) for row in self.rows]
        return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--sandbox", required=True)
    parser.add_argument("--simulator", required=True)
    parser.add_argument("--scanner", required=True)
    parser.add_argument("--runs", type=int, default=3,
                        help="searches per mode and case (the 50-printer loss case: 20)")
    parser.add_argument("--loss-searches", type=int, default=20,
                        help="searches per mode of the 50-printer loss case")
    parser.add_argument("--sweep-16", action="store_true", help="also the /16 behind a router")
    parser.add_argument("--log", required=True)
    parser.add_argument("--markdown")
    parser.add_argument("--append", action="store_true",
                        help="append to the Markdown file instead of writing it anew")
    arguments = parser.parse_args()
    started = time.monotonic()
    with open(arguments.log, "w") as log:
        goals = Goals(arguments.sandbox, arguments.simulator, arguments.scanner, arguments.runs,
                      log)
        try:
            for case in cases(arguments.sweep_16, arguments.loss_searches):
                print("bench: %s ..." % case.name, file=sys.stderr, flush=True)
                goals.run_case(case)
        except (RuntimeError, subprocess.TimeoutExpired) as error:
            print("bench: %s" % error, file=sys.stderr)
            print("bench: log: %s" % arguments.log, file=sys.stderr)
            if not goals.rows:
                return 1
    print()
    print("Thorough search against its goals, beside the default search (scanner, each case in "
          "its own sandbox)")
    print()
    print(goals.table())
    print()
    print("(measured in %.0f s; log: %s)" % (time.monotonic() - started, arguments.log))
    if arguments.markdown:
        with open(arguments.markdown, "a" if arguments.append else "w") as out:
            out.write("\n" + goals.markdown())
    return 0 if all(row[5] != "MISSED" for row in goals.rows) else 3


if __name__ == "__main__":
    sys.exit(main())
