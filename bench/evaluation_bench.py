#!/usr/bin/env python3
"""Times the baseline evaluation on the chinook data (69 populations, 91 loci,
four entries without data) under the Rannala-Mountain model:

  hundred   hundred percent simulations by region: 39 regions x 200 resamples
            of 200 fish, on --threads threads (goal: 60 s on 2 cores)
  loo       leave-one-out self-assignment of the 7,301 reference fish of
            chinook_genotypes.csv (made into a .ref file by
            chinook_reference.py), with the estimation of the 2,256 mixture
            fish (goal: 10 s)

  bench/evaluation_bench.py --velk build/velk [--threads 2] [--cases hundred,loo]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(os.path.dirname(os.path.dirname(HERE)), "shared", "data", "chinook")


def control(kind):
    text = open(os.path.join(DATA, "chinook_mix_rm.ctl")).read()
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
    ap.add_argument("--cases", default="hundred,loo")
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
        open(ctl, "w").write(control(case))
        before = os.times()
        start = time.monotonic()
        rc = subprocess.run([velk, "--threads", str(args.threads), ctl], cwd=work,
                            stdout=subprocess.DEVNULL).returncode
        wall = time.monotonic() - start
        after = os.times()
        cpu = (after.children_user - before.children_user) + (after.children_system - before.children_system)
        print(f"{case},{args.threads},{wall:.2f},{cpu:.2f},{'ok' if rc == 0 else rc}")
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
