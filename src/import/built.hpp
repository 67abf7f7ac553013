#pragma once
// What the import builds from the individuals before it writes a file: the
// loci with their allele codes, the populations with their counts, and the
// mixture's analyses. Shared by the import's checks and its file writers.
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "import/genotypes.hpp"
#include "import/import.hpp"

namespace velk {

struct Locus {
  std::string name, short_name;
  int ploidy = 2;
  std::vector<std::string> codes;             // allele codes in type order
  std::unordered_map<std::string, int> type;  // code -> type (1-based)
  std::vector<long> ref_count, mix_count;     // per type
};

struct ImportedPopulation {
  std::string name, short_name;
  int region = 0;                         // 1-based; 0 without regions
  std::vector<std::vector<long>> counts;  // [locus][type]
  int individuals = 0;
};

// One analysis of the mixture: a mixture collection's individuals (or, pooled,
// all of them), with the capacities its control file gives.
struct MixturePart {
  std::string collection;            // as the input names it ("" pooled)
  std::string name;                  // NAME-COLLECTION, or NAME when pooled
  std::vector<std::size_t> members;  // indices into Built::mixture, in file order
  int genotypes = 0, classes = 0, most_missing = 0;
};

struct Built {
  std::vector<Locus> loci;
  std::vector<ImportedPopulation> pops;
  std::vector<std::string> regions, region_short;
  std::vector<const Individual*> reference, mixture;
  std::vector<int> ref_pop;  // per reference individual: population (0-based)
  std::vector<std::string> ref_id, mix_id, mix_collection;
  std::vector<int> mix_known;  // per mixture individual: its known population (0-based; -1 none)
  bool any_known = false;      // some mixture individual is of known origin
  std::vector<std::string> collections;  // mixture collections kept, in order
  std::vector<MixturePart> parts;       // the analyses of the mixture
  int genotypes = 0, classes = 0, most_missing = 0;
  long ref_missing = 0, mix_missing = 0;  // genotypes not scored
  std::string duplicate_table;            // NAME.duplicates.csv
};

// One file the import writes: its own name (no folder) and its text. A control
// file is put in place after every other file of the set.
struct ImportFile {
  std::string name;
  std::string text;
  bool control = false;
};

// The files of an import named NAME, in the order they are put in place: the
// baseline, the reference individuals, the allele table, the duplicate
// samples, each analysis's mixture, the list of the set's files, then the control files (each
// analysis's estimation and the baseline's two evaluations).
std::vector<ImportFile> ImportFiles(const ImportRequest& request, const std::string& name,
                                    const std::string& format, const Built& b);

// An ID or name as a record field: no blanks, and no "\" or "/" in front,
// which would make the record a comment.
std::string FieldSafe(std::string id);

// The own name of the list of an import's files: NAME.files.
std::string FileListName(const std::string& name);

}  // namespace velk
