#!/usr/bin/env python3
"""Writes the chinook reference fish as a reference individuals file (.ref).

The fish are the 7301 reference rows of chinook_genotypes.csv (real
individuals): loci renamed by locus_map.tsv, allele codes turned into type
numbers, populations numbered as in populations.tsv. Gene-copy counts over
these fish equal chinook.bse, so every fish's copies are in its population's
counts. Usage: chinook_reference.py DATA_FOLDER OUT.ref
"""
import csv
import sys

data, out = sys.argv[1], sys.argv[2]
types = {}   # (rubias name, allele code) -> type number
short = {}   # rubias name -> short name
ntypes = {}
order = []
with open(f"{data}/locus_map.tsv") as f:
    for row in csv.DictReader(f, delimiter="\t"):
        name = row["rubias_name"]
        if name not in short:
            order.append(name)
        short[name] = row["short_name"]
        ntypes[name] = int(row["n_types"])
        types[(name, row["allele_code"])] = int(row["type_index"])
pops = {}
with open(f"{data}/populations.tsv") as f:
    for row in csv.DictReader(f, delimiter="\t"):
        pops[row["collection"]] = int(row["pop_id"])

with open(f"{data}/chinook_genotypes.csv") as f, open(out, "w") as o:
    o.write("\\ Chinook reference fish\n* characters\nID\nPOP\n")
    for name in order:
        o.write(short[name] + "\n")
    o.write("* end\n")
    for row in csv.DictReader(f):
        if row["sample_type"] != "reference":
            continue
        fields = [row["indiv"], str(pops[row["collection"]])]
        for name in order:
            copies = [0] * ntypes[name]
            for col in (name, name + ".1"):
                if row[col] not in ("NA", ""):
                    copies[types[(name, row[col])] - 1] += 1
            fields.append("".join(str(c) for c in copies))
        o.write(" ".join(fields) + "\n")
