#!/usr/bin/env python3
"""Coverage of the bootstrap percentile intervals, checked on a scale that a
unit test cannot afford.

Draws M mixtures of N fish from the example's complete baseline with known
proportions, bootstraps each mixture with velk (mixture resampling, R
resamples, 90% intervals), and counts how often the symmetric and the
nonsymmetric percentile intervals of each population cover its true share.

    python3 bench/coverage.py [--mixtures 100] [--fish 250] [--resamples 200]
                              [--velk build/velk] [--work /tmp/velk-coverage]
"""
import argparse
import os
import random
import re
import subprocess
import sys

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
TRUE = [0.30, 0.10, 0.15, 0.20, 0.05, 0.20]


def read_baseline(path):
    """Frequencies per population and character from a one-file baseline."""
    pops, names = [], []
    for line in open(path):
        if line.startswith("\\"):
            continue
        if line.startswith("#"):
            pops.append({})
            continue
        words = line.split()
        if len(words) < 2 or not pops:
            continue
        if "." in line:  # a frequency line: sample size, then frequencies
            freqs = [float(w) for w in words[2:]]
        else:
            counts = [int(w) for w in words[1:]]
            freqs = [c / sum(counts) for c in counts]
        pops[-1][words[0]] = [f / sum(freqs) for f in freqs]
        if words[0] not in names:
            names.append(words[0])
    return pops, names


def draw(rng, probs):
    u, acc = rng.random(), 0.0
    for k, p in enumerate(probs):
        acc += p
        if u < acc:
            return k
    return len(probs) - 1


def control_text(template, mixture, output, resamples, seed):
    text = re.sub(r"Mixture file: .*", "Mixture file: " + mixture, template)
    text = re.sub(r"Baseline file: .*", "Baseline file: " + os.path.join(TOP, "examples", "complete.bse"), text)
    text = re.sub(r"Output file: .*", "Output file: " + output, text)
    text = re.sub(r"Number of resamples: .*", "Number of resamples: %d" % resamples, text)
    text = re.sub(r"Random seed: .*", "Random seed: %d" % seed, text)
    text = text.replace("Resample baseline: yes\n", "")
    text = text.replace("Print bootstrap estimates: yes\n", "").replace("Print likelihoods: yes\n", "")
    return text


def intervals(bot, heading, stocks):
    """Population rows of the interval table under `heading`."""
    rows, inside = {}, False
    for line in open(bot):
        if heading in line:
            inside, rows = True, {}
            continue
        if inside:
            if line.startswith("____") or (rows and not line.strip() and len(rows) == len(stocks)):
                break
            for i, s in enumerate(stocks):
                m = re.match(r"\s+%d\s+%s\s+([0-9.]+)\s+([0-9.]+)" % (i + 1, re.escape(s)), line)
                if m:
                    rows[i] = (float(m.group(1)), float(m.group(2)))
    return rows


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mixtures", type=int, default=100)
    ap.add_argument("--fish", type=int, default=250)
    ap.add_argument("--resamples", type=int, default=200)
    ap.add_argument("--velk", default=os.path.join(TOP, "build", "velk"))
    ap.add_argument("--work", default="/tmp/velk-coverage")
    args = ap.parse_args()

    pops, names = read_baseline(os.path.join(TOP, "examples", "complete.bse"))
    template = open(os.path.join(TOP, "examples", "bootstrap.ctl")).read()
    stocks = re.findall(r"^\d+ (.+?) : \d+ \d+$", template, re.M)
    ploidy = {n: (1 if n.startswith("mt") else 2) for n in names}
    os.makedirs(args.work, exist_ok=True)
    rng = random.Random(1206)
    cover = {"Symmetric": [0] * len(TRUE), "Nonsymmetric": [0] * len(TRUE)}
    done = 0
    for m in range(args.mixtures):
        mix = os.path.join(args.work, "mix%03d.mix" % m)
        with open(mix, "w") as f:
            f.write("Coverage mixture %d\n" % m)
            for _ in range(args.fish):
                i = draw(rng, TRUE)
                fields = []
                for n in names:
                    copies = [0] * len(pops[i][n])
                    for _ in range(ploidy[n]):
                        copies[draw(rng, pops[i][n])] += 1
                    fields.append("".join(str(c) for c in copies))
                f.write(" ".join(fields) + "\n")
        ctl = os.path.join(args.work, "run%03d.ctl" % m)
        with open(ctl, "w") as f:
            f.write(control_text(template, mix, os.path.join(args.work, "out%03d" % m),
                                 args.resamples, 1000 + m))
        r = subprocess.run([args.velk, "--quiet", ctl])
        if r.returncode != 0:
            print("run %d aborted; see %s" % (m, ctl.replace(".ctl", ".log")), file=sys.stderr)
            continue
        bot = os.path.join(args.work, "out%03d.bot" % m)
        for kind in cover:
            rows = intervals(bot, "%s Percentile" % kind, stocks)
            for i, t in enumerate(TRUE):
                lo, hi = rows.get(i, (1.0, 0.0))
                cover[kind][i] += lo <= t <= hi
        done += 1

    print("%d mixtures of %d fish, %d resamples each, 90%% intervals" %
          (done, args.fish, args.resamples))
    print("%-14s %6s %10s %13s" % ("Population", "True", "Symmetric", "Nonsymmetric"))
    for i, s in enumerate(stocks):
        print("%-14s %6.3f %9.1f%% %12.1f%%" % (s, TRUE[i], 100.0 * cover["Symmetric"][i] / max(done, 1),
                                             100.0 * cover["Nonsymmetric"][i] / max(done, 1)))
    for kind in cover:
        total = sum(cover[kind]) / max(done * len(TRUE), 1)
        print("%s overall: %.1f%%" % (kind, 100.0 * total))


if __name__ == "__main__":
    main()
