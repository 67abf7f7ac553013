#!/usr/bin/env python3
"""A panel of 20,000 SNPs from genotypes to estimates: a two-column table of
50 populations (500 reference fish) and a mixture of 100 fish in two
collections is generated (into --data, once; every number from a fixed seed),
imported with `velk import`, and each collection's control file run as the
import wrote it. Prints, per step, the wall time, the CPU time and the peak
resident set size (GNU time).

  bench/wide_panel.py --velk build/velk --data build-bench/wide
"""
import argparse
import os
import random
import subprocess
import sys
import time


def write_table(path, loci, populations, reference, mixture, seed=1):
    rng = random.Random(seed)
    ancestral = [rng.uniform(0.05, 0.95) for _ in range(loci)]
    freq = [[min(0.99, max(0.01, rng.betavariate(a * 10, (1 - a) * 10))) for a in ancestral]
            for _ in range(populations)]
    with open(path + ".part", "w") as f:
        header = ["sample_type", "repunit", "collection", "indiv"]
        for l in range(loci):
            header += [f"snp{l}", f"snp{l}.1"]
        f.write(",".join(header) + "\n")

        def fish(p):
            out = []
            for q in freq[p]:
                out.append("A" if rng.random() < q else "G")
                out.append("A" if rng.random() < q else "G")
            return out

        for i in range(reference):
            p = i % populations
            f.write(",".join(["reference", f"reg{p // 5}", f"pop{p}", f"r{i}"] + fish(p)) + "\n")
        for i in range(mixture):
            p = rng.randrange(populations)
            f.write(",".join(["mixture", "", f"catch{i % 2}", f"m{i}"] + fish(p)) + "\n")
    os.replace(path + ".part", path)


def timed(cmd, cwd):
    memfile = os.path.join(cwd, "rss.txt")
    start = time.perf_counter()
    p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", memfile] + cmd, cwd=cwd,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, ru = os.wait4(p.pid, 0)
    wall = time.perf_counter() - start
    err = p.stderr.read().decode(errors="replace")
    with open(memfile) as f:
        peak = int(f.read().split()[-1]) / 1024.0
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        sys.exit(f"{' '.join(cmd)} exited {code}\n{err}")
    return wall, ru.ru_utime + ru.ru_stime, peak


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--velk", default=os.path.join("build", "velk"))
    ap.add_argument("--data", default=os.path.join("build-bench", "wide"))
    ap.add_argument("--loci", type=int, default=20000)
    a = ap.parse_args()
    velk = os.path.abspath(a.velk)
    os.makedirs(a.data, exist_ok=True)
    table = os.path.join(a.data, f"snp{a.loci}.csv")
    if not os.path.exists(table):
        write_table(table, a.loci, 50, 500, 100)
    print("step,wall_s,cpu_s,peak_rss_mb")
    w, c, m = timed([velk, "import", "--out", "run/wide", os.path.abspath(table)], a.data)
    print(f"import,{w:.2f},{c:.2f},{m:.0f}")
    for collection in ("catch0", "catch1"):
        w, c, m = timed([velk, "--quiet", f"run/wide-{collection}.ctl"], a.data)
        print(f"estimate {collection},{w:.2f},{c:.2f},{m:.0f}")


if __name__ == "__main__":
    main()
