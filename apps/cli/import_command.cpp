// The "velk import" subcommand: reads its options with CLI11 and hands them to
// the import engine; messages go to standard error, the summary to standard output.
#include "import_command.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <string>

#include "import/import.hpp"

namespace velk {

namespace {

constexpr const char* kFooter = R"(
FILE holds individual genotypes, in one of two formats (recognised from the
content; --format overrides):
  table    CSV or TSV with a header: a column saying reference or mixture
           (sample_type; --type-column names another), the population
           (collection; the mixture collection for mixture rows), an optional
           region (repunit), the individual (indiv), then two columns per
           locus, L and L.1, L and L_1, or L_1 and L_2, one allele each
           (columns named otherwise are paired by position, columns 2k-1 and
           2k forming locus k named by the first, with a note). Alleles are
           numbers or text (A/C/G/T, microhaplotypes); an empty field, NA,
           na, N/A, -, ?, -9, zeros (0, 00, 000) or a --missing code is a
           missing allele. With --mixture, FILE holds the reference rows and
           the named file the mixture rows.
  genepop  a title line, the locus names (separated by commas, spaces, tabs
           or lines, up to the first "Pop" line), then "Pop" blocks of
           "name , genotype ..." lines, 2 or 3 digits per allele (4 or 6 per
           genotype, one allele at a haploid locus), 0 for missing; alleles
           are compared by value (01 is 001). A locus written as one allele
           and zeros in every genotype scored (2300) is haploid. A "Pop" line
           holds no comma. FILE holds the reference populations (each named
           by the text after "Pop", or else by its first individual, with the
           block's number after it when an earlier block has that name);
           --mixture names the GENEPOP file of the mixture individuals. IDs
           need be unique only within a block: an ID that another block or
           file uses too becomes POPULATION_ID (with a note).
A locus that no individual is scored at is left out, with a note.
--regions gives a CSV of population,region when the regions are not a column.

Writes, from --out DIR/NAME: NAME.bse (baseline counts), NAME.ref (reference
individuals), NAME.alleles.csv (allele code <-> type, counts) and, for each
mixture collection C, NAME-C.mix (its individuals, their ID and collection in
the first two fields) and NAME-C.ctl, an estimation of that collection alone;
--pool writes one NAME.mix and NAME.ctl of all of them instead. A baseline's
two evaluations run as written too: NAME_loo.ctl (leave-one-out) and
NAME_hundred.ctl (hundred percent simulations). NAME.files lists the set.
Run every collection with:  velk DIR/NAME-*.ctl
Allele codes are numbered per locus in one order shared by reference and
mixture. Nothing is written when a check fails, when --out would overwrite an
input, or when a file cannot be written whole: each is written as
NAME.bse.part ...; when all are, the earlier import's files are renamed
aside (its control files first) as the new ones take their places (the
control files last), then removed. A failed rename puts the earlier files back.

Exit status: 0 when the files were written (or checked), 1 when a check
failed, a file could not be written or standard output could not be, 2 for a
usage error.
)";

}  // namespace

int ImportCommand(int argc, char** argv) {
  CLI::App app("Turns individual genotypes into a baseline, a mixture and a control file.",
               "velk import");
  app.footer(kFooter);
  ImportRequest request;
  app.add_option("FILE", request.input, "genotypes of the reference (and the mixture)")->required();
  app.add_option("--out", request.out, "DIR/NAME of the files written (required unless --check)");
  app.add_option("--format", request.format, "table or genepop (default: from the content)")
      ->check(CLI::IsMember({"table", "genepop"}));
  app.add_option("--mixture", request.mixture, "the mixture individuals' own file");
  app.add_option("--regions", request.regions, "CSV of population,region");
  std::string collections;
  app.add_option("--collections", collections, "keep only these mixture collections (A,B,...)");
  app.add_option("--type-column", request.table.type_column,
                 "column saying reference or mixture (default: sample_type)");
  app.add_option("--missing", request.table.missing_code,
                 "more codes for a missing allele, A,B (NA, -, ?, -9, 0, empty... always are)");
  app.add_flag("--pool", request.pool, "one analysis of all mixture collections together");
  app.add_flag("--check", request.check_only, "print what would be written, write nothing");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  for (std::size_t start = 0; !collections.empty() && start <= collections.size();) {
    const std::size_t comma = std::min(collections.find(',', start), collections.size());
    if (comma > start) request.collections.push_back(collections.substr(start, comma - start));
    start = comma + 1;
  }

  const ImportOutcome outcome = Import(request);
  for (const ImportMessage& m : outcome.messages)
    std::fprintf(stderr, "velk import: %s\n", FormatImportMessage(m).c_str());
  if (outcome.status == 2) std::fprintf(stderr, "Run velk import --help for the options.\n");
  if (outcome.status != 0) return outcome.status;
  std::fputs(outcome.summary.c_str(), stdout);
  if (request.check_only) {
    std::printf("Nothing written (--check).\n");
  } else {
    for (const std::string& file : outcome.written) std::printf("Wrote %s\n", file.c_str());
    std::string next;
    for (const std::string& ctl : outcome.analyses) next += " " + ctl;
    if (!next.empty()) std::printf("Next: velk%s\n", next.c_str());
    std::printf("Evaluate the baseline: velk %s_loo.ctl %s_hundred.ctl\n", request.out.c_str(),
                request.out.c_str());
  }
  // The files are in place; a summary that could not be printed is still a failure.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("velk import: could not write to standard output\n", stderr);
    return 1;
  }
  return 0;
}

}  // namespace velk
