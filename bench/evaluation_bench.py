#!/usr/bin/env python3
"""Times the baseline evaluation on the chinook data (69 populations, 91 loci,
four entries without data) under the Rannala-Mountain model:

  hundred   hundred percent simulations by region: 39 regions x 200 resamples
            of 200 fish, on --threads threads (goal: 60 s on 2 cores)
  held      the same with held-out simulated individuals (the reference fish
            of chinook.ref, each scored without its own copies; goal: 60 s)
  loo       leave-one-out self-assignment of the 7,301 reference fish of
            chinook_genotypes.csv (made into a .ref file by
            chinook_reference.py), with the estimation of the 2,256 mixture
            fish (goal: 10 s)
  micro     leave-one-out alone on a generated microsatellite baseline: 13 loci
            of 4 to 30 alleles, 1,252 reference fish in 24 populations (plain
            model)

  bench/evaluation_bench.py --velk build/velk [--threads 2] [--cases hundred,held,loo,micro]
"""
import random
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(os.path.dirname(os.path.dirname(HERE)), "shared", "data", "chinook")


def micro_baseline(work, populations=24, fish=1252, loci=13, seed=1252):
    """Writes micro.bse, micro.ref and micro.ctl: populations of close allele
    frequencies (a shared Dirichlet draw each, perturbed), fish split evenly."""
    rng = random.Random(seed)
    ntypes = [rng.randint(4, 30) for _ in range(loci)]
    base = [[rng.gammavariate(1.0, 1.0) for _ in range(t)] for t in ntypes]
    sizes = [fish // populations + (1 if i < fish % populations else 0) for i in range(populations)]
    counts = [[[0] * t for t in ntypes] for _ in range(populations)]
    records = []
    for i, size in enumerate(sizes):
        freq = [[b * rng.gammavariate(20.0, 1.0 / 20.0) for b in bl] for bl in base]
        for n in range(size):
            fields = []
            for c, t in enumerate(ntypes):
                x = [0] * t
                for _ in range(2):
                    x[rng.choices(range(t), weights=freq[c])[0]] += 1
                for k in range(t):
                    counts[i][c][k] += x[k]
                fields.append("".join(str(v) for v in x))
            records.append(f"f{i + 1}_{n + 1} {i + 1} " + " ".join(fields))
    with open(os.path.join(work, "micro.bse"), "w") as f:
        for i in range(populations):
            f.write(f"#{i + 1} P{i + 1}\n")
            for c in range(loci):
                f.write(f"M{c + 1} " + " ".join(str(v) for v in counts[i][c]) + "\n")
    with open(os.path.join(work, "micro.ref"), "w") as f:
        f.write("* characters\nID\nPOP\n" + "".join(f"M{c + 1}\n" for c in range(loci)) + "* end\n")
        f.write("\n".join(records) + "\n")
    ctl = ["* Estimation: microsatellite baseline, leave-one-out", "* Options", "Leave-one-out: yes",
           "Print tables: yes", "* Parameters", f"Number of characters: {loci}",
           f"Number of stocks: {populations}", "* Files", "Baseline file: micro.bse",
           "Reference individuals file: micro.ref", "Output file: micro", "* Characters",
           "[ID #] [# Types] [Character] [Kind]"]
    ctl += [f"{c + 1} {t} M{c + 1} : locus" for c, t in enumerate(ntypes)]
    ctl += ["* Populations", "[ID #] [Population]"] + [f"{i + 1} P{i + 1}" for i in range(populations)]
    return "\n".join(ctl + ["* Run", ""])


def control(kind, work):
    if kind == "micro":
        return micro_baseline(work)
    text = open(os.path.join(DATA, "chinook_mix_rm.ctl")).read()
    if kind == "held":
        text = control("hundred", work).replace(
            "Hundred percent simulations: yes by region\n",
            "Hundred percent simulations: yes by region\nSimulated individuals: held out\n")
        return text.replace("Output file: hundred",
                            "Output file: held\nReference individuals file: chinook.ref")
    if kind == "hundred":
        text = text.replace("* Estimation: Chinook SNP mixture, all 2256 fish, Rannala-Mountain model",
                            "* Simulation: Chinook baseline, hundred percent simulations by region")
        text = text.replace("Compute jackknife: yes\n",
                            "Resample baseline: yes\nHundred percent simulations: yes by region\n")
        text = text.replace("Maximum number of genotypes: 2500\n",
                            "Maximum number of genotypes: 200\nNumber of resamples: 200\n"
                            "Size: 200\nSeed: 12345\nSecond seed: 54321\n")
        text = text.replace("Mixture file: chinook_mix.mix\n", "")
        text = text.replace("Output file: chinook_mix_rm", "Output file: hundred")
    else:
        text = text.replace("Compute jackknife: yes\n", "Compute jackknife: yes\nLeave-one-out: yes\n")
        text = text.replace("Output file: chinook_mix_rm",
                            "Output file: loo\nReference individuals file: chinook.ref")
    return text


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--velk", default="build/velk")
    ap.add_argument("--threads", type=int, default=2)
    ap.add_argument("--cases", default="hundred,held,loo,micro")
    ap.add_argument("--keep", action="store_true", help="keep the folder of the runs")
    args = ap.parse_args()
    velk = os.path.abspath(args.velk)
    work = tempfile.mkdtemp(prefix="velk-eval-")
    for name in ("chinook.bse", "chinook_mix.mix"):
        shutil.copy(os.path.join(DATA, name), work)
    subprocess.run([sys.executable, os.path.join(HERE, "chinook_reference.py"), DATA,
                    os.path.join(work, "chinook.ref")], check=True)
    print("case,threads,wall_s,cpu_s,status")
    for case in args.cases.split(","):
        ctl = os.path.join(work, case + ".ctl")
        open(ctl, "w").write(control(case, work))
        before = os.times()
        start = time.monotonic()
        rc = subprocess.run([velk, "--threads", str(args.threads), ctl], cwd=work,
                            stdout=subprocess.DEVNULL).returncode
        wall = time.monotonic() - start
        after = os.times()
        cpu = (after.children_user - before.children_user) + (after.children_system - before.children_system)
        print(f"{case},{args.threads},{wall:.2f},{cpu:.2f},{'ok' if rc == 0 else rc}")
    if args.keep:
        print(f"files kept in {work}", file=sys.stderr)
    else:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
