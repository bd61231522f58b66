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


def duration(ns):
    if ns < 1e3:
        return f"{ns:.1f} ns"
    if ns < 1e6:
        return f"{ns / 1e3:.1f} µs"
    return f"{ns / 1e6:.2f} ms"


def plain(result):
    return duration(result["ns"])


def points(result):
    return f"{plain(result)} ({result['items_per_second'] / 1e6:.0f} M points/s)"


def scans(result):
    return f"{plain(result)} ({1e9 / result['ns']:,.0f} scans/s)"


def streamed(result):
    return (f"{result['scans_per_s']:,.0f} scans/s on {result['cpu_per_wall']:.2f} "
            f"of a core")


def ten_cameras(result):
    return (f"{result['core_share']:.2f} of a core, {result['scans_per_s']:,.0f} scans/s, "
            f"{result['late_scans']:.0f} late")


class Row:
    def __init__(self, label, before, program, case, goal="", show=plain, input_copy=None,
                 output_copy=None, cold_copy=None):
        self.label = label
        self.before = before
        self.program = program
        self.case = case
        self.goal = goal
        self.show = show
        self.input_copy = input_copy
        self.output_copy = output_copy
        self.cold_copy = cold_copy


def grayscale(label, before, case, goal, plane, ring=1):
    """A grayscale case against the copies of its bytes: ring 1 copies one
    buffer over and over, ring 4 the next of four, as the case takes its
    delivered buffers and images."""
    return Row(label, before, "extraction_bench", case, goal, plain,
               f"BM_Memcpy/{plane}/{ring}", f"BM_Memcpy/1/{ring}", f"BM_MemcpyCold/{plane}")


RING = 4

ROWS = [
    grayscale("Direct 8-bit (extract + fill)", "48 µs, 2.6 ×", "BM_DirectByte/1",
              "2.0 × input", 1),
    grayscale(f"Direct 8-bit, {RING} buffers and images in turn", "", f"BM_DirectByte/{RING}",
              "2.0 × input", 1, RING),
    grayscale("Direct 16-bit (extract + fill)", "166 µs, 1.7 ×", "BM_DirectWord/1",
              "1.5 × input", 2),
    grayscale(f"Direct 16-bit, {RING} in turn", "", f"BM_DirectWord/{RING}", "1.5 × input", 2,
              RING),
    grayscale("Direct 16-bit, fill alone", "", "BM_DirectWordFill", "", 2),
    grayscale("COG (extract + fill)", "642 µs, 3.0 ×", "BM_Cog/1", "1.8 × input", 4),
    grayscale(f"COG, {RING} in turn", "", f"BM_Cog/{RING}", "1.8 × input", 4, RING),
    grayscale("COG, fill alone", "", "BM_CogFill", "0.8 × input", 4),
    Row("`getCVLGrabRow`, one 1536-byte row", "158 ns, 6.8 ×", "driver_bench", "BM_GrabRow",
        "2 × output", output_copy="BM_MemcpyRow"),
    Row("a log call filtered out by level", "1.8 ns", "log_bench", "BM_LogFilteredOut"),
    Row("a log line written to the file", "", "log_bench", "BM_LogWrittenToFile"),
    Row("3D XYZ cloud, calibrated + rectified", "79 M points/s", "pointcloud_bench",
        "BM_CloudXyz", "130 M points/s", points, output_copy="BM_MemcpyXyz"),
    Row("3D XYZCI cloud, calibrated + rectified", "", "pointcloud_bench", "BM_CloudXyzci", "",
        points, output_copy="BM_MemcpyXyzci"),
    Row("simulation, one 1536-column COG scan", "35 µs", "iconsim_bench", "BM_RenderCogScan",
        "", scans, output_copy="BM_MemcpyCogScan"),
    Row("simulation, the same scan rendered afresh", "35 µs", "iconsim_bench",
        "BM_RenderCogScanUncached", "", scans, output_copy="BM_MemcpyCogScan"),
    Row("simulation, one camera streaming flat out", "27,000–30,000 scans/s", "iconsim_bench",
        "BM_StreamOneCameraFlatOut", "100,000 scans/s on one core", streamed),
    Row("simulation, ten cameras at 5000 scans/s", "both cores", "iconsim_bench",
        "BM_TenCamerasAt5000", "under half a core", ten_cameras),
]

UNITS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def case_name(run_name):
    """The case as registered: without the suffixes of its run options."""
    parts = run_name.split("/")
    kept = [p for p in parts if p != "real_time" and not p.startswith("iterations:")]
    return "/".join(kept)


def load_medians(directory):
    """Maps (program, case) to the median's fields, with its CPU time as "ns"."""
    medians = {}
    context = {}
    for path in sorted(Path(directory).glob("*.json")):
        data = json.loads(path.read_text())
        context = data.get("context", context)
        for result in data["benchmarks"]:
            if result.get("aggregate_name") != "median":
                continue
            result["ns"] = result["cpu_time"] * UNITS[result["time_unit"]]
            medians[(path.stem, case_name(result["run_name"]))] = result
    return medians, context


def ratio(medians, program, ns, copy):
    if copy is None or (program, copy) not in medians:
        return ""
    return f"{ns / medians[(program, copy)]['ns']:.2f}"


def table(medians):
    lines = [
        "| Path | Earlier figure | Now | × memcpy of input | × memcpy of input, out of cache "
        "| × memcpy of output | Goal |",
        "|---|---|---|---|---|---|---|",
    ]
    missing = []
    for row in ROWS:
        key = (row.program, row.case)
        if key not in medians:
            missing.append(f"{row.program} {row.case}")
            continue
        result = medians[key]
        ns = result["ns"]
        lines.append(
            f"| {row.label} | {row.before} | {row.show(result)} | "
            f"{ratio(medians, row.program, ns, row.input_copy)} | "
            f"{ratio(medians, row.program, ns, row.cold_copy)} | "
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


def scale_block(path):
    """The scale run's summary: what it delivered against the line rate, CPU, memory."""
    text = Path(path).read_text().splitlines()
    per_port = [line for line in text if line.startswith("port ") or line[:4].strip().isdigit()]
    summary = [line for line in text if line.strip() and line not in per_port]
    return ["", "`scale_bench` (the whole driver, through its entry points):", "", "```"] + \
        summary + ["```"]


def main():
    directory, page, load = sys.argv[1], Path(sys.argv[2]), sys.argv[3]
    medians, context = load_medians(directory)
    lines, missing = table(medians)
    block = [describe(context, load), ""] + lines
    scale = Path(directory) / "scale_bench.txt"
    if scale.exists():
        block += scale_block(scale)
    if missing:
        block += ["", "Not measured (benchmark missing): " + ", ".join(missing) + "."]
    replace_table(page, block)
    for case in missing:
        print(f"perf-table: no result for {case}", file=sys.stderr)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
