#pragma once
// The import: turns individual genotypes (a GENEPOP file or a two-column table)
// into a ready analysis: the baseline, the mixture, the reference individuals,
// the allele table and a control file that runs them.
#include <string>
#include <vector>

#include "core/run.hpp"
#include "import/genotypes.hpp"

namespace velk {

struct ImportRequest {
  std::string input;                     // reference (and mixture) individuals
  std::string mixture;                   // mixture individuals, when in a file of their own
  std::string regions;                   // CSV of population,region
  std::vector<std::string> collections;  // mixture collections to keep (empty: all)
  std::string format;                    // "table", "genepop" or "" (from the content)
  std::string out;                       // DIR/NAME of the files written
  bool check_only = false;               // count and check, write nothing
  bool pool = false;                     // one analysis of all mixture collections
  TableOptions table;
  // The files are made, written, renamed and removed through it (none: the
  // operating system's calls).
  Platform* platform = nullptr;
};

struct ImportOutcome {
  int status = 0;  // 0 written (or checked), 1 a check failed, 2 a usage error
  std::vector<ImportMessage> messages;
  std::string summary;               // what was found (and would be written)
  std::vector<std::string> written;   // the files written
  std::vector<std::string> analyses;  // the estimation control files, one per analysis
};

// Largest number of types of a locus: its count line, a 10-character name and
// counts of up to 5 digits each, stays within the baseline reader's 512 columns.
inline constexpr int kImportMaxTypes = 83;

[[nodiscard]] ImportOutcome Import(const ImportRequest& request);

// "error 2531: ..." (warning, note by the number's range).
std::string FormatImportMessage(const ImportMessage& message);

}  // namespace velk
