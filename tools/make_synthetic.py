#!/usr/bin/env python3
"""Writes a synthetic estimation analysis of a chosen size: a control file, a
baseline and a mixture, for timing velk on data larger or smaller than the
real sets.

The populations are related through common ancestral type frequencies (each
population's frequencies a Dirichlet around them, concentration --drift), the
baseline holds --copies gene copies per population and locus, and the mixture
is drawn from geometric proportions (a few populations dominate, many add
little), each fish scored at every locus unless --missing says otherwise.
Everything comes from --seed: the same arguments always give the same files.

  make_synthetic.py --out build-bench/data --populations 100 --loci 50 --individuals 5000

writes NAME.ctl, NAME.bse and NAME.mix into --out (NAME defaults to
syn_P<populations>_L<loci>_N<individuals>). Keep --out outside the source tree.
Each mixture record is one line: per locus a field of one digit per type and a
blank (1,200 characters for 400 two-type loci).
"""
import argparse
import math
import os
import random
import sys


def dirichlet(rng, alpha):
    x = [rng.gammavariate(a, 1.0) if a > 0 else 0.0 for a in alpha]
    s = sum(x)
    if s <= 0.0:
        return [1.0 / len(alpha)] * len(alpha)
    return [v / s for v in x]


def cumulative(p):
    acc, out = 0.0, []
    for v in p:
        acc += v
        out.append(acc)
    out[-1] = 1.0
    return out


def draw(rng, cum):
    u = rng.random()
    for k, c in enumerate(cum):
        if u < c:
            return k
    return len(cum) - 1


def baseline_counts(rng, freqs, n):
    """Gene copies of each type in a sample of n: a binomial split type after
    type, each binomial by its normal approximation (exact enough here, and
    fast)."""
    counts, left, rest = [], n, 1.0
    for k, p in enumerate(freqs):
        if k == len(freqs) - 1 or left == 0:
            counts.append(left)
            left = 0
            continue
        q = min(max(p / rest, 0.0), 1.0) if rest > 0 else 0.0
        mean, sd = left * q, math.sqrt(left * q * (1.0 - q))
        c = int(round(mean + sd * rng.gauss(0.0, 1.0)))
        c = min(max(c, 0), left)
        counts.append(c)
        left -= c
        rest -= p
    return counts


def make(out, np_, nc, n, types=2, copies=400, drift=30.0, missing=0.0, seed=1, name=None,
         iterations=1000):
    if name is None:
        name = f"syn_P{np_}_L{nc}_N{n}"
    if types > 9:
        sys.exit("make_synthetic: at most 9 types per locus")
    rng = random.Random(seed * 1000003 + np_ * 10007 + nc * 101 + n)
    os.makedirs(out, exist_ok=True)

    # Frequencies: freqs[c][i] = list of types.
    freqs = []
    for _ in range(nc):
        anc = dirichlet(rng, [1.0] * types)
        freqs.append([dirichlet(rng, [drift * a + 1e-3 for a in anc]) for _ in range(np_)])

    loci = [f"L{c + 1:03d}" for c in range(nc)]
    pops = [f"Pop{i + 1:03d}" for i in range(np_)]

    with open(os.path.join(out, name + ".bse"), "w") as f:
        f.write(f"\\ Synthetic baseline: {np_} populations, {nc} loci, {copies} gene copies each.\n")
        for i in range(np_):
            f.write(f"# {i + 1} {pops[i]}\n")
            for c in range(nc):
                counts = baseline_counts(rng, freqs[c][i], copies)
                f.write(loci[c] + " " + " ".join(str(k) for k in counts) + "\n")

    weights = [0.9 ** i for i in range(np_)]
    total = sum(weights)
    pcum = cumulative([w / total for w in weights])
    cums = [[cumulative(freqs[c][i]) for i in range(np_)] for c in range(nc)]
    max_missing = 0
    with open(os.path.join(out, name + ".mix"), "w") as f:
        f.write(f"Synthetic mixture: {n} fish from {np_} populations at {nc} loci.\n")
        for _ in range(n):
            i = draw(rng, pcum)
            fields, nmiss = [], 0
            for c in range(nc):
                cp = [0] * types
                cum = cums[c][i]
                cp[draw(rng, cum)] += 1
                cp[draw(rng, cum)] += 1
                if missing > 0.0 and rng.random() < missing and nmiss < nc - 1:
                    cp = [0] * types
                    nmiss += 1
                fields.append("".join(str(k) for k in cp))
            max_missing = max(max_missing, nmiss)
            f.write(" ".join(fields) + "\n")

    classes = n if missing > 0.0 else 1
    chars = "\n".join(f"{c + 1} {types} {loci[c]} : locus" for c in range(nc))
    poptab = "\n".join(f"{i + 1} {pops[i]}" for i in range(np_))
    with open(os.path.join(out, name + ".ctl"), "w") as f:
        f.write(f"""* Estimation: synthetic mixture, {np_} populations, {nc} loci, {n} fish
* Options
Compute jackknife: yes
Rannala-Mountain model: yes
* Parameters
Number of characters in analysis: {nc}
Number of stocks in analysis: {np_}
Maximum number of iterations: {iterations}
Maximum number of genotypes: {n}
Maximum number of classes: {classes}
Maximum number of missing loci: {max_missing}
* Files
Baseline file: {name}.bse
Mixture file: {name}.mix
Output file: {name}
* Characters
[ID #] [# Types] [Character] [Kind]
{chars}
* Populations
[ID #] [Population]
{poptab}
* Run
""")
    return os.path.join(out, name + ".ctl")


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--out", required=True, help="directory to write into (outside the source tree)")
    ap.add_argument("--populations", type=int, default=69)
    ap.add_argument("--loci", type=int, default=91)
    ap.add_argument("--individuals", type=int, default=2256)
    ap.add_argument("--types", type=int, default=2, help="types per locus (2 to 9; default 2, SNPs)")
    ap.add_argument("--copies", type=int, default=400,
                    help="baseline gene copies per population and locus")
    ap.add_argument("--drift", type=float, default=30.0,
                    help="Dirichlet concentration of the populations around the ancestral "
                         "frequencies (smaller: more distinct populations)")
    ap.add_argument("--missing", type=float, default=0.0,
                    help="chance that a fish was not scored at a locus")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--iterations", type=int, default=1000, help="maximum number of iterations")
    ap.add_argument("--name", help="file name stem (default syn_P.._L.._N..)")
    a = ap.parse_args()
    if a.populations < 1 or a.loci < 1 or a.individuals < 1 or a.types < 2:
        sys.exit("make_synthetic: populations, loci and individuals at least 1, types at least 2")
    print(make(a.out, a.populations, a.loci, a.individuals, a.types, a.copies, a.drift, a.missing,
               a.seed, a.name, a.iterations))


if __name__ == "__main__":
    main()
