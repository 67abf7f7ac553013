#!/usr/bin/env python3
"""Makes the shipped example analysis: a small but realistic baseline of six
stocks in a two-level hierarchy, a mixture of 250 fish drawn from known
proportions with some loci not scored, and the control files that analyse it.
The data are synthetic and deterministic (fixed seed); rerun to regenerate."""
import os
import random

R = random.Random(20261206)
HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")

STOCKS = ["Upper Fork", "Lower Fork", "Cedar Creek", "Bay Run", "Stone River", "Sand Inlet"]
LEV1 = [1, 1, 1, 2, 2, 2]      # North, South
LEV2 = [1, 1, 2, 3, 3, 4]      # four sub-regions
TRUE = [0.30, 0.05, 0.15, 0.25, 0.00, 0.25]
# (name, types, kind)
CHARS = [("Loc01", 2, "locus"), ("Loc02", 3, "locus"), ("Loc03", 4, "locus"),
         ("Loc04", 2, "locus"), ("Loc05", 5, "locus"), ("Loc06", 3, "locus"),
         ("Loc07", 6, "locus"), ("Loc08", 2, "locus"), ("Loc09", 4, "locus"),
         ("Loc10", 3, "locus"), ("mtHap", 4, "mtdna")]
PLOIDY = {"locus": 2, "mtdna": 1}
MISSING_BASELINE = (5, "Loc09")  # Stone River was never scored at Loc09
SCORED_SOMETIMES = [2, 6]        # loci (0-based) that some mixture fish lack


def dirichlet(alpha):
    x = [R.gammavariate(a, 1.0) for a in alpha]
    s = sum(x)
    return [v / s for v in x]


def frequencies():
    freqs = []
    for _, t, _ in CHARS:
        region = {r: dirichlet([1.5] * t) for r in (1, 2)}
        freqs.append([dirichlet([12.0 * f + 0.2 for f in region[LEV1[i]]]) for i in range(6)])
    return freqs  # freqs[c][i][k]


def draw(probs):
    u, acc = R.random(), 0.0
    for k, p in enumerate(probs):
        acc += p
        if u < acc:
            return k
    return len(probs) - 1


def baseline(freqs, missing=MISSING_BASELINE):
    lines = ["\\ Example baseline: six stocks, ten loci and one mtDNA haplotype.",
             "\\ Counts are gene copies; Cedar Creek is given as frequencies with its sample size."]
    for i, stock in enumerate(STOCKS):
        n = R.randint(60, 110)
        lines.append(f"#{i + 1} {stock}: sampled {2019 + i % 3}")
        for c, (name, t, kind) in enumerate(CHARS):
            if (i + 1, name) == missing:
                continue
            ploidy = PLOIDY[kind]
            counts = [0] * t
            for _ in range(n * ploidy):
                counts[draw(freqs[c][i])] += 1
            if stock == "Cedar Creek":
                f = [k / (n * ploidy) for k in counts]
                lines.append(f"{name} {n} " + " ".join(f"{v:.4f}" for v in f))
            else:
                lines.append(f"{name} " + " ".join(str(k) for k in counts))
    return "\n".join(lines) + "\n"


def mixture(freqs, size=250):
    lines = ["Example mixture: 250 fish from a known blend of the six stocks.",
             "* characters"]
    lines += [name for name, _, _ in CHARS]
    lines.append("* end")
    for _ in range(size):
        i = draw(TRUE)
        fields = []
        for c, (name, t, kind) in enumerate(CHARS):
            copies = [0] * t
            for _ in range(PLOIDY[kind]):
                copies[draw(freqs[c][i])] += 1
            if c in SCORED_SOMETIMES and R.random() < 0.06:
                copies = [0] * t
            fields.append("".join(str(k) for k in copies))
        lines.append(" ".join(fields))
    return "\n".join(lines) + "\n"


def control(kind, title, extra_options, extra_parameters, output, base="example.bse",
            mixture_file="example.mix", estimates=None):
    ch = "\n".join(f"{c + 1} {t} {name} : {kind_}" for c, (name, t, kind_) in enumerate(CHARS))
    if estimates is None:
        heading = "[ID #] [Population] [Lev1] [Lev2]"
        pops = "\n".join(f"{i + 1} {s} : {LEV1[i]} {LEV2[i]}" for i, s in enumerate(STOCKS))
    else:
        heading = "[ID #] [Population] [Lev1] [Lev2] [Estimate]"
        pops = "\n".join(f"{i + 1} {s} : {LEV1[i]} {LEV2[i]} {estimates[i]:.2f}"
                         for i, s in enumerate(STOCKS))
    files = f"Baseline file: {base}\n"
    if mixture_file:
        files += f"Mixture file: {mixture_file}\n"
    return f"""An example analysis shipped with VELK. Lines before the header are comments.

* {kind}: {title}

* Options
{extra_options}
* Parameters
Number of characters in analysis: {len(CHARS)}
Number of stocks in analysis: {len(STOCKS)}
Maximum number of genotypes: 400
Maximum number of classes: 6
Maximum number of missing characters: 2
Maximum number of iterations: 500
{extra_parameters}
* Files
{files}Output file: out\\{output}

* Characters
[ID #] [# Types] [Character] [Kind]
{ch}

* Populations
{heading}
{pops}

* Regions
[Level] [Label] [Region]
1 1 North
1 2 South
2 1 North main stem
2 2 Cedar
2 3 South coast
2 4 Sand

* Run
"""


def main():
    freqs = frequencies()
    os.makedirs(HERE, exist_ok=True)
    with open(os.path.join(HERE, "example.bse"), "w") as f:
        f.write(baseline(freqs))
    with open(os.path.join(HERE, "example.mix"), "w") as f:
        f.write(mixture(freqs))
    with open(os.path.join(HERE, "first.ctl"), "w") as f:
        f.write(control("Estimation", "Example mixture of six stocks",
                        "Print baseline summary: yes\nPrint condensed mixture: yes\n"
                        "Print genotype probabilities: yes\nPrint stock probabilities: yes\n"
                        "Print iteration history: yes\nCompute confidence intervals: yes\n",
                        "Confidence level: 90\nEstimate tolerance: 0.000001\n"
                        "Guaranteed percent of maximum: 99.9\n", "first"))
    with open(os.path.join(HERE, "bootstrap.ctl"), "w") as f:
        f.write(control("Estimation", "Bootstrap of the example mixture",
                        "Resample mixture: yes\nResample baseline: yes\n"
                        "Print bootstrap estimates: yes\nPrint likelihoods: yes\n",
                        "Confidence level: 90\nNumber of resamples: 200\n"
                        "Random seed: 20261206\nSecond random seed: 1206\n", "bootstrap"))
    # A simulation needs baseline data for every stock and character: a second,
    # complete baseline drawn after the files above, so that they stay as they are.
    with open(os.path.join(HERE, "complete.bse"), "w") as f:
        f.write(baseline(freqs, missing=None))
    with open(os.path.join(HERE, "simulate.ctl"), "w") as f:
        f.write(control("Simulation", "How well the complete baseline tells the stocks apart",
                        "Resample baseline: yes\nPrint bootstrap estimates: yes\n"
                        "Print likelihoods: yes\n",
                        "Confidence level: 90\nMixture sample size: 250\n"
                        "Number of resamples: 200\nRandom seed: 4242\nSecond random seed: 77\n",
                        "simulate", base="complete.bse", mixture_file=None, estimates=TRUE))


if __name__ == "__main__":
    main()
