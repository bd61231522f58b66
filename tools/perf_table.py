#!/usr/bin/python3
"""Writes the performance table of docs/performance.md from benchmark results.

Reads the Google Benchmark JSON files that tools/perf-table.sh left in a
directory (one per program, medians of repetitions) and replaces the text
between the table markers of the page. Times are CPU times: on a machine
shared with other work they move much less than wall-clock times, and every
ratio divides by a memcpy timed in the same program run.
"""

import json
import platform
import sys
from pathlib import Path

BEGIN = "<!-- performance table: begin -->"
END = "<!-- performance table: end -->"


class Row:
    def __init__(self, label, before, program, case, goal="", input_copy=None, output_copy=None,
                 rate=None):
        self.label = label
        self.before = before
        self.program = program
        self.case = case
        self.goal = goal
        self.input_copy = input_copy
        self.output_copy = output_copy
        self.rate = rate


ROWS = [
    Row("Direct 8-bit (extract + fill)", "48 µs, 2.6 ×", "extraction_bench", "BM_DirectByte",
        "2.0 × input", "BM_Memcpy/1", "BM_Memcpy/1"),
    Row("Direct 16-bit (extract + fill)", "166 µs, 1.7 ×", "extraction_bench", "BM_DirectWord",
        "1.5 × input", "BM_Memcpy/2", "BM_Memcpy/1"),
    Row("Direct 16-bit, fill alone", "", "extraction_bench", "BM_DirectWordFill", "",
        "BM_Memcpy/2", "BM_Memcpy/1"),
    Row("COG (extract + fill)", "642 µs, 3.0 ×", "extraction_bench", "BM_Cog", "1.8 × input",
        "BM_Memcpy/4", "BM_Memcpy/1"),
    Row("COG, fill alone", "", "extraction_bench", "BM_CogFill", "0.8 × input", "BM_Memcpy/4",
        "BM_Memcpy/1"),
    Row("`getCVLGrabRow`, one 1536-byte row", "158 ns (memcpy 23 ns)", "driver_bench",
        "BM_GrabRow", "2 × output", None, "BM_MemcpyRow"),
    Row("a log call filtered out by level", "1.8 ns", "log_bench", "BM_LogFilteredOut"),
    Row("a log line written to the file", "", "log_bench", "BM_LogWrittenToFile"),
    Row("3D XYZ cloud, calibrated + rectified", "79 M points/s", "pointcloud_bench",
        "BM_CloudXyz", "1.3 × 10^8 points/s", None, "BM_MemcpyXyz", "points/s"),
    Row("3D XYZCI cloud, calibrated + rectified", "", "pointcloud_bench", "BM_CloudXyzci", "",
        None, "BM_MemcpyXyzci", "points/s"),
    Row("simulation, one 1536-column COG scan", "35 µs", "iconsim_bench", "BM_RenderCogScan",
        "10 µs (100,000 scans/s)", None, None, "scans/s"),
]

UNITS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load_medians(directory):
    """Maps (program, case) to (CPU nanoseconds, items per second) of the median."""
    medians = {}
    context = {}
    for path in sorted(Path(directory).glob("*.json")):
        data = json.loads(path.read_text())
        context = data.get("context", context)
        for result in data["benchmarks"]:
            if result.get("aggregate_name") != "median":
                continue
            ns = result["cpu_time"] * UNITS[result["time_unit"]]
            medians[(path.stem, result["run_name"])] = (ns, result.get("items_per_second"))
    return medians, context


def duration(ns):
    if ns < 1e3:
        return f"{ns:.1f} ns"
    if ns < 1e6:
        return f"{ns / 1e3:.1f} µs"
    return f"{ns / 1e6:.2f} ms"


def ratio(medians, program, ns, copy):
    if copy is None or (program, copy) not in medians:
        return ""
    return f"{ns / medians[(program, copy)][0]:.2f}"


def now(row, ns, items):
    if row.rate == "points/s" and items:
        return f"{duration(ns)} ({items / 1e6:.0f} M points/s)"
    if row.rate == "scans/s":
        return f"{duration(ns)} ({1e9 / ns:,.0f} scans/s)"
    return duration(ns)


def table(medians):
    lines = [
        "| Path | Issue's figure | Now | × memcpy of input | × memcpy of output | Goal |",
        "|---|---|---|---|---|---|",
    ]
    missing = []
    for row in ROWS:
        key = (row.program, row.case)
        if key not in medians:
            missing.append(f"{row.program} {row.case}")
            continue
        ns, items = medians[key]
        lines.append(
            f"| {row.label} | {row.before} | {now(row, ns, items)} | "
            f"{ratio(medians, row.program, ns, row.input_copy)} | "
            f"{ratio(medians, row.program, ns, row.output_copy)} | {row.goal} |")
    return lines, missing


def describe(context, load):
    cpus = context.get("num_cpus", "?")
    mhz = context.get("mhz_per_cpu", "?")
    return (f"Written by `bash tools/perf-table.sh` on {context.get('date', '?')[:10]}: "
            f"{platform.machine()}, {cpus} CPUs at {mhz} MHz, load average {load} "
            f"when it started. CPU times, medians of the repetitions.")


def replace_table(page, block):
    text = page.read_text()
    start = text.index(BEGIN) + len(BEGIN)
    end = text.index(END)
    page.write_text(text[:start] + "\n" + "\n".join(block) + "\n" + text[end:])


def main():
    directory, page, load = sys.argv[1], Path(sys.argv[2]), sys.argv[3]
    medians, context = load_medians(directory)
    lines, missing = table(medians)
    block = [describe(context, load), ""] + lines
    if missing:
        block += ["", "Not measured (benchmark missing): " + ", ".join(missing) + "."]
    replace_table(page, block)
    for case in missing:
        print(f"perf-table: no result for {case}", file=sys.stderr)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
