// The import's files: the baseline, the reference and mixture individuals,
// the allele table, one estimation control file per analysis of the mixture,
// and the baseline's two evaluations (leave-one-out and hundred percent
// simulations), each a complete analysis that runs as written.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <sstream>

#include "import/built.hpp"
#include "report/csv.hpp"

namespace velk {

namespace {

// The evaluations' simulations: fish per mixture, mixtures per unit, seeds.
constexpr int kSimulatedFish = 200;
constexpr int kSimulatedMixtures = 200;
constexpr int kFirstSeed = 2026;
constexpr int kSecondSeed = 1207;

// The record field of one locus: one digit per type, the copies of that type.
std::string Field(const Locus& locus, const std::vector<std::string>& alleles) {
  std::string f(locus.codes.size(), '0');
  for (const std::string& a : alleles) ++f[static_cast<std::size_t>(locus.type.at(a) - 1)];
  return f;
}

// Iterations the panel may need: the larger of 1000 and 20 per population.
int IterationLimit(const Built& b) {
  return std::max(1000, 20 * static_cast<int>(b.pops.size()));
}

std::string Sources(const ImportRequest& request, const std::string& format) {
  std::string sources = request.input + " (" + format + ")";
  if (!request.mixture.empty()) sources += " and " + request.mixture;
  return sources;
}

// Baseline: one block per population, one count line per locus.
std::string BaselineText(const Built& b) {
  std::ostringstream bse;
  for (std::size_t p = 0; p < b.pops.size(); ++p) {
    bse << "# " << p + 1 << ' ' << b.pops[p].short_name << '\n';
    for (std::size_t l = 0; l < b.loci.size(); ++l) {
      bse << b.loci[l].short_name;
      for (long n : b.pops[p].counts[l]) bse << ' ' << n;
      bse << '\n';
    }
  }
  return bse.str();
}

// The locus definition of a mixture or reference file after its first fields.
void WriteDefinition(const Built& b, const char* fields, std::ostringstream& out) {
  out << "* characters\n" << fields;
  for (const Locus& l : b.loci) out << l.short_name << '\n';
  out << "* end\n";
}

std::string ReferenceText(const std::string& sources, const Built& b) {
  std::ostringstream ref;
  ref << "\\ Reference individuals imported from " << sources << '\n';
  WriteDefinition(b, "ID\nPOP\n", ref);
  for (std::size_t i = 0; i < b.reference.size(); ++i) {
    ref << b.ref_id[i] << ' ' << b.ref_pop[i] + 1;
    for (std::size_t l = 0; l < b.loci.size(); ++l)
      ref << ' ' << Field(b.loci[l], b.reference[i]->alleles[l]);
    ref << '\n';
  }
  return ref.str();
}

// One analysis's mixture individuals: ID and collection (and, when some fish
// is of known origin, its population or "-"), then the loci.
std::string MixtureText(const std::string& sources, const Built& b, const MixturePart& part) {
  std::ostringstream mix;
  mix << "\\ Mixture individuals imported from " << sources;
  if (!part.collection.empty()) mix << ", mixture collection " << part.collection;
  mix << '\n';
  WriteDefinition(b, b.any_known ? "ID\nCOLLECTION\nKNOWN\n" : "ID\nCOLLECTION\n", mix);
  for (std::size_t i : part.members) {
    const std::string collection = FieldSafe(b.mix_collection[i]);
    mix << b.mix_id[i] << ' ' << (collection.empty() ? "-" : collection);
    if (b.any_known) {  // the fish's population when known, as the control file names it
      const int known = b.mix_known[i];
      mix << ' '
          << (known < 0 ? "-" : FieldSafe(b.pops[static_cast<std::size_t>(known)].short_name));
    }
    for (std::size_t l = 0; l < b.loci.size(); ++l)
      mix << ' ' << Field(b.loci[l], b.mixture[i]->alleles[l]);
    mix << '\n';
  }
  return mix.str();
}

std::string AlleleTableText(const Built& b) {
  auto csv = [](const std::string& s) {
    if (s.find_first_of(",\"\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
  };
  std::ostringstream alleles;
  alleles << "locus,short_name,allele,type,reference_copies,mixture_copies\n";
  for (const Locus& l : b.loci)
    for (std::size_t k = 0; k < l.codes.size(); ++k)
      alleles << csv(l.name) << ',' << l.short_name << ',' << csv(l.codes[k]) << ',' << k + 1 << ','
              << l.ref_count[k] << ',' << l.mix_count[k] << '\n';
  return alleles.str();
}

// The full names of the populations, regions and loci by their short names,
// for the CSV tables, where no width limits a name.
std::string NamesText(const Built& b) {
  CsvTable names({"kind", "short_name", "name"});
  for (const ImportedPopulation& p : b.pops) names.Text("population").Text(p.short_name).Text(p.name).EndRow();
  for (std::size_t r = 0; r < b.regions.size(); ++r)
    names.Text("region").Text(b.region_short[r]).Text(b.regions[r]).EndRow();
  for (const Locus& l : b.loci) names.Text("locus").Text(l.short_name).Text(l.name).EndRow();
  return names.Data();
}

// The comments every control file of the import begins with: where the data
// came from, and what its characters and populations are.
void WriteDataComments(const ImportRequest& request, const std::string& name,
                       const std::string& sources, const Built& b, std::ostringstream& ctl) {
  std::size_t fewest = SIZE_MAX, most = 0;
  for (const Locus& l : b.loci) {
    fewest = std::min(fewest, l.codes.size());
    most = std::max(most, l.codes.size());
  }
  ctl << "\\ Written by velk import from " << sources << ".\n"
      << "\\ Characters: the " << b.loci.size()
      << " loci of the reference file in its order; the types of\n"
      << "\\   a locus are its allele codes seen in reference or mixture (" << fewest << " to "
      << most << " per locus),\n"
      << "\\   numbered by value (by text when a code is not a number): " << name
      << ".alleles.csv.\n"
      << "\\ Populations: the " << b.pops.size()
      << " reference populations in order of first appearance";
  if (!b.regions.empty())
    ctl << ";\n\\   regions: " << b.regions.size() << ", from "
        << (request.regions.empty() ? std::string("the region column") : request.regions)
        << ", in order of first appearance";
  ctl << ".\n"
      << "\\ Rannala-Mountain model: every population gets a prior of one gene copy per locus.\n";
}

// What an estimation's comments add: its mixture and why each parameter has
// its value.
void WriteEstimationComments(const Built& b, const MixturePart& part, std::ostringstream& ctl) {
  const int nc = static_cast<int>(b.loci.size());
  ctl << "\\ Mixture: " << part.members.size() << " individuals";
  if (!part.collection.empty()) {
    ctl << " of the mixture collection " << part.collection;
  } else if (b.collections.size() > 1) {
    ctl << " of the collections";
    for (const std::string& c : b.collections) ctl << ' ' << c;
    ctl << ", pooled";
  }
  ctl << "; their IDs and collections are\n\\   the first two fields of " << part.name
      << ".mix.\n"
      << "\\ Maximum number of genotypes " << std::max(part.genotypes, 1)
      << ": the distinct mixture genotypes; classes " << std::max(part.classes, 1)
      << ": their\n"
      << "\\   patterns of missing loci; missing loci " << std::max(nc - 1, 0)
      << ": every individual with a scored locus is kept\n"
      << "\\   (the most missing in one individual: " << part.most_missing << ").\n"
      << "\\ Likelihood tolerance 1e-15 (a few units in the last place of the log likelihood),\n"
      << "\\   estimate convergence tolerance 1e-10, guaranteed percent of maximum 99.99999 and\n"
      << "\\   " << IterationLimit(b) << " iterations (at least 1000, 20 per population): the "
      << "search goes on to the\n"
      << "\\   maximum, to well below the reports' last digit.\n"
      << "\\ Intervals: jackknife standard errors, and likelihood-profile intervals for\n\\   "
      << (b.regions.empty() ? "every population" : "the regions estimated at 1 % or more")
      << ".\n"
      << "\\ Tables: " << part.name
      << ".estimates.csv, .run.csv, .individuals.csv and .posteriors.csv lead with\n"
      << "\\   the column mixture_collection, so that the tables of several runs bind"
      << (part.collection.empty() ? " (each fish's own in the\n\\   per-fish tables).\n" : ".\n");
}

// The comment lines that give the full names of the names shortened.
void WriteShortenedNames(const Built& b, std::ostringstream& ctl) {
  bool renamed = false;
  for (const Locus& l : b.loci) renamed = renamed || l.short_name != l.name;
  for (const ImportedPopulation& p : b.pops) renamed = renamed || p.short_name != p.name;
  for (std::size_t r = 0; r < b.regions.size(); ++r)
    renamed = renamed || b.region_short[r] != b.regions[r];
  if (!renamed) return;
  ctl << "\\ Names shortened to the widths the reports and readers keep (short = full; the CSV\n"
      << "\\   tables give the full names of the names file):\n";
  for (const Locus& l : b.loci)
    if (l.short_name != l.name) ctl << "\\   locus " << l.short_name << " = " << l.name << '\n';
  for (const ImportedPopulation& p : b.pops)
    if (p.short_name != p.name)
      ctl << "\\   population " << p.short_name << " = " << p.name << '\n';
  for (std::size_t r = 0; r < b.regions.size(); ++r)
    if (b.region_short[r] != b.regions[r])
      ctl << "\\   region " << b.region_short[r] << " = " << b.regions[r] << '\n';
}

// The parameters every control file of the import begins its section with.
void WritePanelParameters(const Built& b, std::ostringstream& ctl) {
  ctl << "* Parameters\n"
      << "Number of characters in analysis: " << b.loci.size() << '\n'
      << "Number of stocks in analysis: " << b.pops.size() << '\n';
}

// The files section's first lines: the baseline and the full names.
void WriteSharedFiles(const std::string& name, std::ostringstream& ctl) {
  ctl << "* Files\n"
      << "Baseline file: " << name << ".bse\n"
      << "Names file: " << name << ".names.csv\n";
}

// The characters, populations and regions tables, and the run line.
void WriteTables(const Built& b, std::ostringstream& ctl) {
  ctl << "* Characters\n"
      << "[ID #] [# Types] [Character] [Kind]\n";
  for (std::size_t l = 0; l < b.loci.size(); ++l)
    ctl << l + 1 << ' ' << b.loci[l].codes.size() << ' ' << b.loci[l].short_name << " : "
        << (b.loci[l].ploidy == 1 ? "mtdna" : "locus") << '\n';
  ctl << "* Populations\n"
      << (b.regions.empty() ? "[ID #] [Population]\n" : "[ID #] [Population] [Lev1]\n");
  for (std::size_t p = 0; p < b.pops.size(); ++p) {
    ctl << p + 1 << ' ' << b.pops[p].short_name;
    if (!b.regions.empty()) ctl << " : " << b.pops[p].region;
    ctl << '\n';
  }
  if (!b.regions.empty()) {
    ctl << "* Regions\n[Level] [Label] [Region]\n";
    for (std::size_t r = 0; r < b.regions.size(); ++r)
      ctl << "1 " << r + 1 << ' ' << b.region_short[r] << '\n';
  }
  ctl << "* Run\n";
}

std::string EstimationControl(const ImportRequest& request, const std::string& name,
                              const std::string& sources, const Built& b,
                              const MixturePart& part) {
  const int nc = static_cast<int>(b.loci.size());
  std::ostringstream ctl;
  ctl << "* Estimation: " << name
      << (part.collection.empty() ? ", imported genotypes" : ", mixture collection " + part.collection)
      << '\n';
  WriteDataComments(request, name, sources, b, ctl);
  WriteEstimationComments(b, part, ctl);
  WriteShortenedNames(b, ctl);
  ctl << "* Options\n"
      << "Compute jackknife: yes\n"
      << "Rannala-Mountain model: yes\n"
      << (b.regions.empty() ? "Compute all likelihood intervals: yes\n"
                            : "Compute confidence intervals: yes\n")
      << "Print tables: yes\n";
  WritePanelParameters(b, ctl);
  ctl << "Maximum number of iterations: " << IterationLimit(b) << '\n'
      << "Maximum number of genotypes: " << std::max(part.genotypes, 1) << '\n'
      << "Maximum number of classes: " << std::max(part.classes, 1) << '\n'
      << "Maximum number of missing loci: " << std::max(nc - 1, 0) << '\n'
      << "Likelihood tolerance: 1e-15\n"
      << "Estimate convergence tolerance: 1e-10\n"
      << "Guaranteed percent of maximum: 99.99999\n";
  WriteSharedFiles(name, ctl);
  ctl << "Mixture file: " << part.name << ".mix\n";
  if (!part.collection.empty()) ctl << "Mixture collection: " << part.collection << '\n';
  ctl << "Output file: " << part.name << '\n'
      << "Reference individuals file: " << name << ".ref\n";
  WriteTables(b, ctl);
  return ctl.str();
}

// The leave-one-out of the baseline: every reference individual assigned with
// its own copies taken out.
std::string LeaveOneOutControl(const ImportRequest& request, const std::string& name,
                               const std::string& sources, const Built& b) {
  const std::string out = name + "_loo";
  std::ostringstream ctl;
  ctl << "* Estimation: " << name << ", leave-one-out of the baseline\n";
  WriteDataComments(request, name, sources, b, ctl);
  ctl << "\\ Each of the " << b.reference.size() << " reference individuals of " << name
      << ".ref is assigned to a population\n"
      << "\\   by its posterior probability, its own gene copies taken out of its population's\n"
      << "\\   counts, all populations equally likely beforehand: a check of the baseline alone.\n"
      << "\\   " << out << ".loo gives per population"
      << (b.regions.empty() ? "" : " and region") << " the share assigned back to its own;\n"
      << "\\   " << out << ".loo.csv one row per individual.\n";
  WriteShortenedNames(b, ctl);
  ctl << "* Options\n"
      << "Leave-one-out: yes\n"
      << "Rannala-Mountain model: yes\n"
      << "Print tables: yes\n";
  WritePanelParameters(b, ctl);
  ctl << "Maximum number of missing loci: " << std::max(static_cast<int>(b.loci.size()) - 1, 0)
      << '\n';
  WriteSharedFiles(name, ctl);
  ctl << "Reference individuals file: " << name << ".ref\n"
      << "Output file: " << out << '\n';
  WriteTables(b, ctl);
  return ctl.str();
}

// The hundred percent simulations: each region (each population without
// regions) in turn the whole mixture.
std::string HundredPercentControl(const ImportRequest& request, const std::string& name,
                                  const std::string& sources, const Built& b) {
  const std::string out = name + "_hundred";
  const bool by_region = !b.regions.empty();
  const char* unit = by_region ? "region" : "population";
  std::ostringstream ctl;
  ctl << "* Simulation: " << name << ", hundred percent simulations by " << unit << '\n';
  WriteDataComments(request, name, sources, b, ctl);
  ctl << "\\ Each " << unit << " in turn is the whole mixture: " << kSimulatedMixtures
      << " mixtures of " << kSimulatedFish << " fish are drawn\n"
      << "\\   from the reference individuals of " << name
      << ".ref, each scored with its own gene copies taken\n"
      << "\\   out of its population's counts, and estimated again on the baseline (itself "
      << "redrawn\n"
      << "\\   for each). " << out << ".hps gives\n"
      << "\\   per " << unit << " the mean estimate of its share (1.0 is right), its spread and "
      << "the\n"
      << "\\   shares the other " << unit << "s take.\n"
      << "\\ To change: Mixture sample size (say, to the size of the fishery's sample), Number "
      << "of\n"
      << "\\   resamples (more give steadier figures), the two seeds (other draws; the same "
      << "seeds\n"
      << "\\   repeat the run number for number).\n";
  WriteShortenedNames(b, ctl);
  ctl << "* Options\n"
      << "Hundred percent simulations: yes by " << unit << '\n'
      << "Simulated individuals: held out\n"
      << "Resample baseline: yes\n"
      << "Rannala-Mountain model: yes\n"
      << "Print tables: yes\n";
  WritePanelParameters(b, ctl);
  ctl << "Maximum number of iterations: " << IterationLimit(b) << '\n'
      << "Maximum number of genotypes: " << kSimulatedFish << '\n'
      << "Maximum number of classes: 1\n"
      << "Confidence level: 90\n"
      << "Mixture sample size: " << kSimulatedFish << '\n'
      << "Number of resamples: " << kSimulatedMixtures << '\n'
      << "Random seed: " << kFirstSeed << '\n'
      << "Second random seed: " << kSecondSeed << '\n';
  WriteSharedFiles(name, ctl);
  ctl << "Reference individuals file: " << name << ".ref\n"
      << "Output file: " << out << '\n';
  WriteTables(b, ctl);
  return ctl.str();
}

}  // namespace

// A population name for an ID or name field of a record: no blanks, and no
// "\" or "/" in front, which would make the record a comment.
std::string FieldSafe(std::string id) {
  for (char& c : id)
    if (std::isspace(static_cast<unsigned char>(c))) c = '_';
  if (!id.empty() && (id[0] == '\\' || id[0] == '/')) id.insert(id.begin(), '_');
  return id;
}


std::string FileListName(const std::string& name) {
  return name + ".files";
}

std::vector<ImportFile> ImportFiles(const ImportRequest& request, const std::string& name,
                                    const std::string& format, const Built& b) {
  const std::string sources = Sources(request, format);
  std::vector<ImportFile> files = {{name + ".bse", BaselineText(b)},
                                   {name + ".ref", ReferenceText(sources, b)},
                                   {name + ".alleles.csv", AlleleTableText(b)},
                                   {name + ".duplicates.csv", b.duplicate_table},
                                   {name + ".names.csv", NamesText(b)}};
  for (const MixturePart& part : b.parts)
    files.push_back({part.name + ".mix", MixtureText(sources, b, part)});
  std::vector<ImportFile> controls;
  for (const MixturePart& part : b.parts)
    controls.push_back(
        {part.name + ".ctl", EstimationControl(request, name, sources, b, part), true});
  controls.push_back({name + "_loo.ctl", LeaveOneOutControl(request, name, sources, b), true});
  controls.push_back(
      {name + "_hundred.ctl", HundredPercentControl(request, name, sources, b), true});
  std::string list =
      "\\ The files velk import wrote from " + sources +
      ", together; an import into the same name replaces them all.\n";
  for (const ImportFile& f : files) list += f.name + '\n';
  for (const ImportFile& f : controls) list += f.name + '\n';
  list += FileListName(name) + '\n';
  files.push_back({FileListName(name), list});
  files.insert(files.end(), controls.begin(), controls.end());
  return files;
}

}  // namespace velk
