An example analysis shipped with VELK. Lines before the header are comments.
The scenarios are in fishery.scn; the populations' shares within a region are
drawn for every resample.

* Simulation: Two fishery compositions of the complete baseline's regions

* Options
Resample baseline: yes
Print tables: yes
Scenario units: regions
Within-region shares: Dirichlet

* Parameters
Number of characters in analysis: 11
Number of stocks in analysis: 6
Maximum number of genotypes: 400
Maximum number of classes: 6
Maximum number of missing characters: 2
Maximum number of iterations: 500
Confidence level: 90
Mixture sample size: 250
Number of resamples: 100
Random seed: 4242
Second random seed: 77
Dirichlet concentration: 1.5

* Files
Baseline file: complete.bse
Scenarios file: fishery.scn
Output file: out\scenarios

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
[ID #] [Population] [Lev1] [Lev2]
1 Upper Fork : 1 1
2 Lower Fork : 1 1
3 Cedar Creek : 1 2
4 Bay Run : 2 3
5 Stone River : 2 3
6 Sand Inlet : 2 4

* Regions
[Level] [Label] [Region]
1 1 North
1 2 South
2 1 North main stem
2 2 Cedar
2 3 South coast
2 4 Sand

* Run
