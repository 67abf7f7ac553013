#!/usr/bin/env python3
"""Times the velk command end to end and writes a CSV and a plot.

Cases:
  chinook     the estimation of ../shared/data/chinook/chinook_mix_rm.ctl
              (69 populations, 91 loci, 2,256 fish; jackknife on)
  bootstrap   the same with a 1,000-resample mixture-and-baseline bootstrap
              (recorded as "no-report" while velk writes no .bot report)
  intervals   chinook_rec1.ctl (69 populations, 39 regions, 743 fish; jackknife
              on) as it is, with likelihood intervals by the default rule, for
              every region, and with the tables
  populations synthetic series growing in populations, loci and individuals
  loci        (tools/make_synthetic.py; the others held at 69 populations,
  individuals 91 loci and 2,256 fish, as in the chinook data)
  largest     one run of 400 populations x 400 loci x 20,000 fish (peak memory)
  many        one run of 5,000 populations x 100 loci x 500 fish: the
              jackknife of many populations (populations x populations matrices)
  import      velk import of chinook_genotypes.csv (9,557 fish, 91 loci) and of
              a generated 97 MB table (40,000 SNPs, 50 populations, 600 fish,
              written once into --data): wall time and peak memory
  wide        20,000 SNPs from genotypes to estimates: a generated table of 50
              populations, 500 reference and 100 mixture fish imported, then
              each of its two collections estimated from the control file the
              import wrote

Every case runs --repeat times; the CSV holds the median and the smallest wall
time, the median CPU time (user + system) and the largest peak resident set
size (GNU time's, or wait4's when /usr/bin/time is missing). The control file of the real
data is copied into a temporary folder with absolute data paths; the data stay
where they are. Synthetic data are written once into --data and reused.

  bench/run_bench.py --velk build-bench/velk --out build-bench/results
  bench/run_bench.py --quick              # fewer, smaller points
  bench/run_bench.py --cases chinook --repeat 11 --cpu 1
"""
import argparse
import csv
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

BASE = dict(populations=69, loci=91, individuals=2256)
SERIES = {
    "populations": [25, 50, 100, 200, 400],
    "loci": [10, 25, 50, 100, 200, 400],
    "individuals": [500, 1000, 2000, 5000, 10000, 20000],
}
QUICK = {
    "populations": [25, 100, 400],
    "loci": [10, 50, 200],
    "individuals": [500, 2000, 10000],
}
LARGEST = dict(populations=400, loci=400, individuals=20000)
MANY = dict(populations=5000, loci=100, individuals=500)
GNU_TIME = "/usr/bin/time"
FIELDS = ["case", "series", "populations", "loci", "individuals", "resamples", "threads", "runs",
          "wall_median_s", "wall_min_s", "cpu_median_s", "peak_rss_mb", "status"]


def run_once(velk, ctl, cpu, threads=None, args=None):
    """One run of velk in the control file's folder (on the control file, or
    with `args` instead): wall seconds, CPU seconds, peak resident set size in
    MB and the exit status.

    The peak memory comes from GNU time when it is installed: Linux carries a
    process's peak over exec, so velk started straight from this (larger)
    python would report python's peak when that is higher than its own."""
    cmd = [velk, "--quiet"] + (["--threads", str(threads)] if threads else [])
    cmd.append(os.path.basename(ctl))
    if args:
        cmd = [velk] + args
    memfile = None
    if os.access(GNU_TIME, os.X_OK):
        fd, memfile = tempfile.mkstemp(prefix="velk_rss_")
        os.close(fd)
        cmd = [GNU_TIME, "-f", "%M", "-o", memfile] + cmd
    if cpu is not None:
        cmd = ["taskset", "-c", str(cpu)] + cmd
    start = time.perf_counter()
    p = subprocess.Popen(cmd, cwd=os.path.dirname(ctl), stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE)
    _, status, ru = os.wait4(p.pid, 0)
    wall = time.perf_counter() - start
    p.returncode = os.waitstatus_to_exitcode(status)
    err = p.stderr.read().decode(errors="replace")
    p.stderr.close()
    peak = ru.ru_maxrss / 1024.0
    if memfile:
        with open(memfile) as f:
            text = f.read().split()
        os.unlink(memfile)
        if text and text[-1].isdigit():
            peak = int(text[-1]) / 1024.0
    if p.returncode != 0:
        sys.stderr.write(f"velk exited {p.returncode} on {ctl}\n{err}")
    return wall, ru.ru_utime + ru.ru_stime, peak, p.returncode


def measure(velk, ctl, repeat, cpu, expect=None, threads=None, args=None):
    walls, cpus, peak, rc = [], [], 0.0, 0
    for _ in range(repeat):
        w, c, m, rc = run_once(velk, ctl, cpu, threads, args)
        walls.append(w)
        cpus.append(c)
        peak = max(peak, m)
        if rc != 0:
            break
    status = "ok" if rc == 0 else f"exit {rc}"
    if rc == 0 and expect:
        out = os.path.join(os.path.dirname(ctl), expect)
        if not os.path.exists(out):
            status = "no-report"
    return dict(runs=len(walls), wall_median_s=f"{statistics.median(walls):.4f}",
                wall_min_s=f"{min(walls):.4f}", cpu_median_s=f"{statistics.median(cpus):.4f}",
                peak_rss_mb=f"{peak:.1f}", status=status)


def chinook_control(shared, tmp, bootstrap, resamples):
    """The real data's control file in tmp, pointed at the data by absolute
    paths; with bootstrap, mixture and baseline resampling with fixed seeds."""
    src = os.path.join(shared, "chinook", "chinook_mix_rm.ctl")
    data = os.path.join(shared, "chinook")
    lines = []
    with open(src) as f:
        for line in f:
            low = line.lower()
            if low.startswith("baseline file:"):
                line = f"Baseline file: {os.path.join(data, 'chinook.bse')}\n"
            elif low.startswith("mixture file:"):
                line = f"Mixture file: {os.path.join(data, 'chinook_mix.mix')}\n"
            elif low.startswith("output file:") and bootstrap:
                line = "Output file: chinook_boot\n"
            lines.append(line)
            if bootstrap and low.startswith("* options"):
                lines += ["Resample mixture: yes\n", "Resample baseline: yes\n"]
            if bootstrap and low.startswith("* parameters"):
                lines += [f"Number of resamples: {resamples}\n", "Random seed: 12345\n",
                          "Second random seed: 54321\n"]
    name = "chinook_boot.ctl" if bootstrap else "chinook_mix_rm.ctl"
    path = os.path.join(tmp, name)
    with open(path, "w") as f:
        f.writelines(lines)
    return path


def chinook_options(shared, tmp, name, options):
    """chinook_rec1.ctl (69 populations, 39 regions, 743 fish) in tmp as NAME.ctl,
    pointed at the data by absolute paths, with extra option lines."""
    data = os.path.join(shared, "chinook")
    lines = []
    with open(os.path.join(data, "chinook_rec1.ctl")) as f:
        for line in f:
            low = line.lower()
            if low.startswith("baseline file:"):
                line = f"Baseline file: {os.path.join(data, 'chinook.bse')}\n"
            elif low.startswith("mixture file:"):
                line = f"Mixture file: {os.path.join(data, 'chinook_rec1.mix')}\n"
            elif low.startswith("output file:"):
                line = f"Output file: {name}\n"
            lines.append(line)
            if low.startswith("* options"):
                lines += [o + "\n" for o in options]
    path = os.path.join(tmp, name + ".ctl")
    with open(path, "w") as f:
        f.writelines(lines)
    return path


# The likelihood intervals and the tables on chinook rec1: the default rule (4
# of the 39 regions at 1 % or more), every region, and the tables.
INTERVAL_CASES = [
    ("rec1_jackknife", []),
    ("rec1_intervals", ["Compute confidence intervals: yes"]),
    ("rec1_all_intervals", ["Compute all likelihood intervals: yes"]),
    ("rec1_tables", ["Print tables: yes"]),
]


def synthetic(data, populations, loci, individuals):
    name = f"syn_P{populations}_L{loci}_N{individuals}"
    ctl = os.path.join(data, name + ".ctl")
    if not os.path.exists(ctl):
        # In a process of its own, so that this one stays small (see run_once).
        subprocess.check_call([sys.executable, os.path.join(ROOT, "tools", "make_synthetic.py"),
                               "--out", data, "--populations", str(populations), "--loci",
                               str(loci), "--individuals", str(individuals), "--name", name],
                              stdout=subprocess.DEVNULL)
    return ctl


# The generated table of the import case: SNPs x populations x reference and
# mixture fish (two columns a SNP, 97 MB).
IMPORT_TABLE = dict(loci=40000, populations=50, reference=500, mixture=100)
WIDE_TABLE = dict(loci=20000, populations=50, reference=500, mixture=100)


def snp_table(data, loci, populations, reference, mixture):
    """A two-column SNP table of the field's layout in data/, written once
    (deterministic): each population's allele frequencies drawn around a
    shared one, half the mixture fish in each of two collections."""
    path = os.path.join(data, f"import_{loci}_{populations}_{reference}_{mixture}.csv")
    if os.path.exists(path):
        return path
    os.makedirs(data, exist_ok=True)
    rng = random.Random(1)
    shared = [rng.uniform(0.05, 0.95) for _ in range(loci)]
    freq = [[min(0.99, max(0.01, rng.betavariate(a * 10, (1 - a) * 10))) for a in shared]
            for _ in range(populations)]
    with open(path + ".part", "w") as f:
        header = ["sample_type", "repunit", "collection", "indiv"]
        for l in range(loci):
            header += [f"snp{l}", f"snp{l}.1"]
        f.write(",".join(header) + "\n")

        def fish(p):
            return [a for q in freq[p] for a in ("A" if rng.random() < q else "G",
                                                  "A" if rng.random() < q else "G")]
        for i in range(reference):
            p = i % populations
            f.write(",".join(["reference", f"reg{p // 5}", f"pop{p}", f"f{i + 1}"] + fish(p)) + "\n")
        for i in range(mixture):
            p = rng.randrange(populations)
            f.write(",".join(["mixture", "", f"mix{i % 2}", f"m{reference + i + 1}"] + fish(p)) +
                    "\n")
    os.replace(path + ".part", path)
    return path


def measure_import(velk, table, repeat, cpu):
    """velk import of `table` into a temporary folder (its files removed after)."""
    tmp = tempfile.mkdtemp(prefix="velk_bench_")
    try:
        return measure(velk, os.path.join(tmp, "x.ctl"), repeat, cpu,
                       args=["import", "--out", os.path.join(tmp, "x"), table])
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--velk", default=os.path.join(ROOT, "build-bench", "velk"),
                    help="the velk command (a Release build)")
    ap.add_argument("--out", default=os.path.join(ROOT, "build-bench", "results"),
                    help="folder of the CSV and the plot")
    ap.add_argument("--data", default=None,
                    help="folder of the synthetic data (default OUT/../data)")
    ap.add_argument("--shared", default=os.path.join(ROOT, "..", "shared", "data"),
                    help="folder holding chinook/")
    ap.add_argument("--repeat", type=int, default=5, help="runs per case (median taken)")
    ap.add_argument("--bootstrap-repeat", type=int, default=3, help="runs of the bootstrap case")
    ap.add_argument("--resamples", type=int, default=1000)
    ap.add_argument("--bootstrap-threads", default="",
                    help="comma-separated thread counts for the bootstrap case, e.g. 1,2 "
                         "(default: velk's own, every core)")
    ap.add_argument("--cpu", type=int, default=None, help="pin velk to this core (taskset)")
    ap.add_argument("--quick", action="store_true", help="three points per series, no largest")
    ap.add_argument("--cases",
                    default="chinook,bootstrap,intervals,populations,loci,individuals,largest,many,"
                            "import,wide",
                    help="comma-separated cases to run")
    a = ap.parse_args()
    a.bootstrap_threads = [int(t) for t in a.bootstrap_threads.split(",") if t.strip()] or [None]

    velk = os.path.abspath(a.velk)
    if not os.access(velk, os.X_OK):
        sys.exit(f"run_bench: no velk command at {velk} (build it, or give --velk)")
    out = os.path.abspath(a.out)
    data = os.path.abspath(a.data or os.path.join(out, "..", "data"))
    shared = os.path.abspath(a.shared)
    os.makedirs(out, exist_ok=True)
    cases = [c.strip() for c in a.cases.split(",") if c.strip()]
    series = QUICK if a.quick else SERIES
    rows = []

    def record(row):
        rows.append(row)
        print(",".join(str(row.get(k, "")) for k in FIELDS), flush=True)

    print(",".join(FIELDS), flush=True)
    if "intervals" in cases and os.path.exists(os.path.join(shared, "chinook", "chinook_rec1.ctl")):
        tmp = tempfile.mkdtemp(prefix="velk_bench_")
        try:
            for name, options in INTERVAL_CASES:
                ctl = chinook_options(shared, tmp, name, options)
                r = measure(velk, ctl, a.repeat, a.cpu, name + ".est")
                record(dict(case=name, series="real", resamples=0, populations=69, loci=91,
                            individuals=743, **r))
        finally:
            shutil.rmtree(tmp, ignore_errors=True)

    if "chinook" in cases or "bootstrap" in cases:
        if not os.path.exists(os.path.join(shared, "chinook", "chinook_mix_rm.ctl")):
            print(f"run_bench: no chinook data under {shared}; real-data cases skipped",
                  file=sys.stderr)
        else:
            tmp = tempfile.mkdtemp(prefix="velk_bench_")
            try:
                if "chinook" in cases:
                    ctl = chinook_control(shared, tmp, False, 0)
                    r = measure(velk, ctl, a.repeat, a.cpu, "chinook_mix_rm.est")
                    record(dict(case="chinook", series="real", resamples=0, **BASE, **r))
                if "bootstrap" in cases:
                    ctl = chinook_control(shared, tmp, True, a.resamples)
                    for t in a.bootstrap_threads:
                        r = measure(velk, ctl, a.bootstrap_repeat, a.cpu, "chinook_boot.bot", t)
                        record(dict(case="bootstrap" if t is None else f"bootstrap_{t}t",
                                    series="real", resamples=a.resamples, threads=t or "",
                                    **BASE, **r))
            finally:
                shutil.rmtree(tmp, ignore_errors=True)

    for name in ("populations", "loci", "individuals"):
        if name not in cases:
            continue
        for v in series[name]:
            size = dict(BASE, **{name: v})
            ctl = synthetic(data, size["populations"], size["loci"], size["individuals"])
            r = measure(velk, ctl, a.repeat, a.cpu, os.path.basename(ctl)[:-4] + ".est")
            record(dict(case=f"syn_{name}_{v}", series=name, resamples=0, **size, **r))

    if "largest" in cases and not a.quick:
        ctl = synthetic(data, **LARGEST)
        r = measure(velk, ctl, 1, a.cpu, os.path.basename(ctl)[:-4] + ".est")
        record(dict(case="syn_largest", series="largest", resamples=0, **LARGEST, **r))

    if "many" in cases and not a.quick:
        ctl = synthetic(data, **MANY)
        r = measure(velk, ctl, 1, a.cpu, os.path.basename(ctl)[:-4] + ".est")
        record(dict(case="syn_many", series="many", resamples=0, **MANY, **r))

    if "import" in cases:
        table = os.path.join(shared, "chinook", "chinook_genotypes.csv")
        if os.path.exists(table):
            r = measure_import(velk, table, a.repeat, a.cpu)
            record(dict(case="import_chinook", series="import", populations=69, loci=91,
                        individuals=9557, resamples=0, **r))
        else:
            print(f"run_bench: no {table}; its import skipped", file=sys.stderr)
        t = IMPORT_TABLE
        r = measure_import(velk, snp_table(data, **t), min(a.repeat, 3), a.cpu)
        record(dict(case="import_table_97mb", series="import", populations=t["populations"],
                    loci=t["loci"], individuals=t["reference"] + t["mixture"], resamples=0, **r))

    if "wide" in cases:
        t = WIDE_TABLE
        table = snp_table(data, **t)
        tmp = tempfile.mkdtemp(prefix="velk_bench_")
        try:
            shape = dict(series="wide", populations=t["populations"], loci=t["loci"], resamples=0)
            r = measure(velk, os.path.join(tmp, "x.ctl"), 1, a.cpu,
                        args=["import", "--out", os.path.join(tmp, "x"), table])
            record(dict(case="wide_import", individuals=t["reference"] + t["mixture"], **shape, **r))
            for c in ("mix0", "mix1"):
                ctl = os.path.join(tmp, f"x-{c}.ctl")
                r = measure(velk, ctl, a.repeat, a.cpu, f"x-{c}.est")
                record(dict(case=f"wide_{c}", individuals=t["mixture"] // 2, **shape, **r))
        finally:
            shutil.rmtree(tmp, ignore_errors=True)

    csv_path = os.path.join(out, "bench.csv")
    with open(csv_path, "w", newline="") as f:
        w = csv.DictWriter(f, fieldnames=FIELDS)
        w.writeheader()
        for row in rows:
            w.writerow({k: row.get(k, "") for k in FIELDS})
    print(f"wrote {csv_path}")
    png = os.path.join(out, "bench.png")
    rc = subprocess.call([sys.executable, os.path.join(HERE, "plot_bench.py"), csv_path, png])
    if rc != 0:
        print("run_bench: no plot drawn (see above)", file=sys.stderr)


if __name__ == "__main__":
    main()
