An example analysis shipped with VELK. Lines before the header are comments.

* Estimation: Bootstrap of the example mixture

* Options
Resample mixture: yes
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
Number of resamples: 200
Random seed: 20261206
Second random seed: 1206

* Files
Baseline file: example.bse
Mixture file: example.mix
Output file: out\bootstrap

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
