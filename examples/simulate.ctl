An example analysis shipped with VELK. Lines before the header are comments.

* Simulation: How well the complete baseline tells the stocks apart

* Options
Resample baseline: yes
Print bootstrap estimates: yes
Print likelihoods: yes

* Parameters
Number of characters in analysis: 11
Number of stocks in analysis: 6
Maximum number of genotypes: 400
Maximum number of classes: 6
Maximum number of missing characters: 2
Maximum number of iterations: 500
Confidence level: 90
Mixture sample size: 250
Number of resamples: 200
Random seed: 4242
Second random seed: 77

* Files
Baseline file: complete.bse
Output file: out\simulate

* Characters
[ID #] [# Types] [Character] [Kind]
1 2 Loc01 : locus
2 3 Loc02 : locus
3 4 Loc03 : locus
4 2 Loc04 : locus
5 5 Loc05 : locus
6 3 Loc06 : locus
7 6 Loc07 : locus
8 2 Loc08 : locus
9 4 Loc09 : locus
10 3 Loc10 : locus
11 4 mtHap : mtdna

* Populations
[ID #] [Population] [Lev1] [Lev2] [Estimate]
1 Upper Fork : 1 1 0.30
2 Lower Fork : 1 1 0.05
3 Cedar Creek : 1 2 0.15
4 Bay Run : 2 3 0.25
5 Stone River : 2 3 0.00
6 Sand Inlet : 2 4 0.25

* Regions
[Level] [Label] [Region]
1 1 North
1 2 South
2 1 North main stem
2 2 Cedar
2 3 South coast
2 4 Sand

* Run
