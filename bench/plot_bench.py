#!/usr/bin/env python3
"""Draws the whole-run timings of run_bench.py: time (median wall and median
CPU) and peak memory against populations, loci and individuals, each series
with the other two sizes at the chinook data's 69 populations, 91 loci and
2,256 fish, and a dotted line through the series' first point for time
growing in proportion to the size.

  bench/plot_bench.py build-bench/results/bench.csv build-bench/results/bench.png

Needs matplotlib (Debian python3-matplotlib; tools/bench-deps.sh installs it).
When the python that runs this has no matplotlib it tries /usr/bin/python3.
"""
import csv
import os
import sys

try:
    import matplotlib
except ImportError:
    system = "/usr/bin/python3"
    if os.path.realpath(sys.executable) != os.path.realpath(system) and os.path.exists(system):
        os.execv(system, [system] + sys.argv)
    sys.exit("plot_bench: matplotlib is missing; run tools/bench-deps.sh")
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

SERIES = [("populations", "populations"), ("loci", "loci"), ("individuals", "mixture individuals")]


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: plot_bench.py BENCH.csv OUT.png")
    with open(sys.argv[1]) as f:
        rows = [r for r in csv.DictReader(f) if r["status"] == "ok"]
    fig, axes = plt.subplots(2, 3, figsize=(13, 8), constrained_layout=True)
    for col, (series, label) in enumerate(SERIES):
        pts = sorted((int(r[series]), float(r["wall_median_s"]), float(r["cpu_median_s"]),
                      float(r["peak_rss_mb"])) for r in rows if r["series"] == series)
        ax, mem = axes[0][col], axes[1][col]
        if pts:
            x = [p[0] for p in pts]
            ax.plot(x, [p[1] for p in pts], "o-", label="wall (median)")
            ax.plot(x, [p[2] for p in pts], "s--", label="CPU user+sys (median)")
            ax.plot(x, [pts[0][2] * v / x[0] for v in x], ":", color="grey",
                    label="linear in size")
            mem.plot(x, [p[3] for p in pts], "o-", color="tab:green")
            for a in (ax, mem):
                a.set_xscale("log")
                a.set_xticks(x)
                a.set_xticklabels([str(v) for v in x], rotation=45)
                a.minorticks_off()
                a.grid(True, alpha=0.3)
            ax.set_yscale("log")
        ax.set_title(f"time against {label}")
        ax.set_ylabel("seconds")
        if pts:
            ax.legend(fontsize=8)
        mem.set_title(f"peak memory against {label}")
        mem.set_xlabel(label)
        mem.set_ylabel("MB")
        mem.set_ylim(bottom=0)
    real = {r["case"]: r for r in rows if r["series"] == "real"}
    notes = []
    if "chinook" in real:
        notes.append(f"chinook estimation: {float(real['chinook']['wall_median_s']) * 1000:.0f} ms "
                     "wall")
    for case, r in real.items():
        if case.startswith("bootstrap"):
            threads = f", {r['threads']} thread(s)" if r.get("threads") else ""
            notes.append(f"chinook {r['resamples']}-resample bootstrap{threads}: "
                         f"{float(r['wall_median_s']):.1f} s wall")
    big = [r for r in rows if r["series"] == "largest"]
    if big:
        b = big[0]
        notes.append(f"{b['populations']} x {b['loci']} x {int(b['individuals']):,}: "
                     f"{float(b['wall_median_s']):.1f} s wall, "
                     f"{float(b['peak_rss_mb']):.0f} MB peak")
    if notes:
        fig.suptitle("\n".join(notes), fontsize=10)
    fig.savefig(sys.argv[2], dpi=90)
    print(f"wrote {sys.argv[2]}")


if __name__ == "__main__":
    main()
