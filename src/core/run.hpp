#pragma once
// The run context: everything one analysis owns, as named blocks; the process
// object that outlives runs; and the small platform interface of the engine.
#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/array.hpp"
#include "core/layout/unit.hpp"
#include "core/lines.hpp"
#include "core/random_state.hpp"
#include "core/results.hpp"

namespace velk {

// ---------------------------------------------------------------- platform

struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, hundredths = 0;
};

// What the engine needs from the operating system. The file-system and clock
// calls have working defaults; front ends and tests override what they show.
class Platform {
 public:
  virtual ~Platform() = default;
  // Shows the whole status text (colour prefix included).
  virtual void ShowStatus(const std::string& text) = 0;
  // 64 information, 48 exclamation.
  virtual void Beep(int type) = 0;
  // A modal alert the user acknowledges; called with show-messages on, and for a
  // stopping message that no log holds.
  virtual void ShowMessageBox(const std::string& text, const std::string& title) = 0;
  // -1 when the query fails; otherwise attributes with bit 16 set for a directory.
  virtual int FileAttributes(const std::string& path);
  virtual bool MakeDirectory(const std::string& path);
  // Opens a file for the engine: "rb" to read an input, "w" to write a report
  // or the log (created or emptied). Null on failure. Test and fuzz platforms
  // may keep their files in memory.
  virtual std::FILE* OpenFile(const std::string& path, const char* mode);
  // Puts a finished report in place: renames `from` to `to`, replacing it.
  virtual bool RenameFile(const std::string& from, const std::string& to);
  // Removes a file the engine made and does not keep (a report not finished).
  virtual void RemoveFile(const std::string& path);
  virtual LocalTime Now();
  // The resampling loop's progress: `done` of `total` resamples drawn so far.
  virtual void ShowProgress(int /*done*/, int /*total*/) {}
};

// The operating system's files, with nothing shown: for work without a window
// or console of its own (the import, a batch export).
class SilentPlatform : public Platform {
 public:
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
};

// ------------------------------------------------------------------ process

// The process-wide generator of default seeds: seeds itself from the time of
// day on first use and continues its sequence for the rest of the process.
struct DefaultSeedGenerator {
  bool seeded = false;
  std::uint64_t state = 0;
  // Next uniform draw in (0, 1).
  double Next(Platform& platform);
};

// Factorials 0! to 32!, filled on demand and kept.
struct FactorialTable {
  std::array<double, 33> table{1.0};
  int highest = 0;
};

// What outlives a run. The front end owns one and hands it to every run.
struct Process {
  DefaultSeedGenerator default_seed;
  FactorialTable factorial;
  // The lagged and the shuffled random generators (numeric/random.hpp).
  RandomState random;
  // The second seed as last handed over by the parameters section.
  int lagged_seed = 0;
  // Hands the second seed to the lagged generator (ZBQLINI: only the first call
  // of a process seeds it).
  void Zbqlini(int seed);
};

// ------------------------------------------------------------------- blocks

// Integer and real parameters of the analysis, in the record's order.
struct Par {
  int kind = 1;              // 1 estimation, 2 simulation
  int npop = 0;              // number of populations
  int nchar = 0;             // number of characters
  int sample_size = 100;     // mixture sample size
  int nresamples = 1000;     // number of resamples
  int field6 = 1;            // not set by the control file
  int max_iterations = 100;  // maximum number of iterations
  int seed = 0;              // random seed
  int max_genotypes = 100;   // maximum number of distinct mixture genotypes
  int nlevels = 0;           // hierarchy levels (0 to 3)
  int nregions = 0;          // number of regions
  int max_types = 0;         // largest number of types of any character
  int nclasses = 1;          // number of classes
  int field14 = 0;           // not set here
  int max_classes = 1;       // maximum number of classes
  int max_missing = 0;       // maximum missing characters in one individual
  int confidence = 90;       // confidence level in percent
  int seco = 0;              // second random seed

  double eps = 0.0001;       // estimate convergence tolerance
  double ftol = 1e-10;       // relative function (likelihood) tolerance
  double gpa = 90.0;         // guaranteed percent of maximum likelihood
  double irls_switch = 0.01; // IRLS switch threshold
  // Genotype tolerance bound; NaN when the control file does not set it (then
  // only a genotype of probability 0 in every population is impossible).
  double geno_tol = std::numeric_limits<double>::quiet_NaN();
  bool gpa_set = false;  // the control file set the guaranteed percent of maximum

  // Which mixture capacities the control file set. Those it left unset are
  // sized from the mixture file: the genotypes and classes as many as it
  // holds, the missing characters all but one.
  bool genotypes_given = false;
  bool classes_given = false;
  bool missing_given = false;

  // The Bayesian estimate's sampler, beyond the record.
  int sweeps = 2000;   // "Number of sweeps" of every chain
  int burn_in = 100;   // "Burn-in sweeps" left out of the summaries
  int thinning = 1;    // "Thinning interval": every k-th sweep after the burn-in kept
  int chains = 4;      // "Number of chains"

  // "Dirichlet concentration": every population's parameter of the Dirichlet
  // draw of its share within its region (scenarios with within-region draws).
  double dirichlet_concentration = 1.5;
};

// Switches of the analysis (0 off, 1 on), in the record's order.
struct Opt {
  int estimation = 1;          // 1 estimation, 0 simulation
  int compute_ci = 0;          // likelihood-profile confidence intervals
  int resample_mixture = 0;
  int resample_baseline = 0;
  int switch5 = 0;             // not set by the control file
  int print_populations = 0;   // .pop
  int compute_jackknife = 1;
  int print_genotypes = 0;     // .gen
  int print_baseline = 0;      // .bsl
  int print_mixture = 0;       // .cmx
  int irls = 0;                // IRLS allowed
  int print_resamples = 0;     // .rsm
  int print_iterations = 0;    // .itr
  int studentized = 0;         // studentized bootstrap intervals
  int print_likelihoods = 0;   // resample likelihoods
  int external_reference = 0;
  int rannala_mountain = 0;
  int pella_masuda = 0;

  // Switches beyond the record.
  bool print_tables = false;              // CSV tables beside the reports
  bool all_likelihood_intervals = false;  // profile intervals for every unit

  // Baseline evaluation, beyond the record.
  bool hundred_percent = false;    // a simulation once per unit at a true share of 1.0
  bool hundred_by_region = false;  // units: the regions of the first level (else populations)
  bool leave_one_out = false;      // self-assignment of the reference individuals
  bool held_out = false;           // simulated individuals: reference individuals held out
  bool scenarios_by_region = false;  // scenario units: first-level regions (else populations)
  bool within_dirichlet = false;     // populations' shares in a region drawn (else equal)

  // The predictive genotype model: a genotype's probability is that of its
  // gene copies drawn one after the other from the population's Dirichlet
  // posterior (counts plus the Rannala-Mountain prior, which it turns on).
  int predictive = 0;
  // A Gibbs sampler of the proportions given the baseline, beside the maximum
  // likelihood estimate; its prior split evenly over the first-level regions.
  int bayesian = 0;
  bool prior_by_region = false;
  // A parametric bootstrap of the region estimates at the estimate: their
  // bias, corrected estimates and intervals.
  int bias_corrected = 0;
};

// An estimation that asks only for the leave-one-out of the baseline needs no
// mixture: nothing else of it reads one.
inline bool LeaveOneOutAlone(const Opt& o) {
  return o.leave_one_out != 0 && o.resample_mixture == 0 && o.resample_baseline == 0;
}

// Input and output names of the analysis, as written in the control file.
struct Files {
  std::string baseline;
  std::string mixture;
  std::string path;            // folder of the per-population files; ends with "\" when given
  std::string output = "USER"; // output base name; "USER" means not given
  std::string reference;       // reference individuals (leave-one-out)
  std::string collection;      // the mixture collection the tables name; empty: not given
  std::string names;           // full names of populations and regions ("" none)
  std::string scenarios;       // the compositions of a scenario simulation ("" none)
};

// The full names of the names file, by the short name the control file gives.
struct FullNames {
  std::unordered_map<std::string, std::string> population, region;
};

inline constexpr int kReportSlots = 16;
// The CSV tables beside the reports (core/reports.hpp names them).
inline constexpr int kTableCount = 8;
// Reports and tables together, as the Results lists show them.
inline constexpr int kResultSlots = kReportSlots + kTableCount;

// Report units: slot k writes on unit 6 + k; slot 0 is the run log.
struct Output {
  std::array<Unit, kReportSlots> unit;
  std::array<int, kReportSlots> written{};
  // The name each open report was given ("Estimates", ...), for the messages of its close.
  std::array<std::string, kReportSlots> name;
  // Per table of kTableFiles: 1 once written.
  std::array<int, kTableCount> tables{};
  // Values a report showed as asterisks that note 109 has named.
  std::vector<long long> overflow_noted;
  // The file each open report becomes once it is complete (its unit writes to a
  // working name beside it until then), and that file as the messages name it.
  std::array<std::string, kReportSlots> target, shown;
};

// Input units 20 to 23: control file, baseline, mixture, spare.
struct Inputs {
  std::array<LineReader, 4> unit;
  LineReader& Control() { return unit[0]; }
  LineReader& Baseline() { return unit[1]; }
  LineReader& Mixture() { return unit[2]; }
};

// The run's message state (a message's arguments travel with its call).
struct ErrorBlock {
  int stop = 0;               // 1 once a stopping message was issued
  int show_messages = 0;
  std::string status;         // status text, colour prefix first (2048 characters)
  int warnings = -1;          // -1 until message 1 has initialised the state
  int errors = 0;
  int fatals = 0;
  int last_code = 0;
  int last_severity = 0;
  // Set by a caller that makes many maximisations (the likelihood-interval
  // searches): warnings 1006 and 1007 are counted in folded_stalls, not written.
  bool fold_stalls = false;
  int folded_stalls = 0;
  std::string box_text;       // message-box text (256 characters)
};

// The context stack that heads every message.
struct Errstk {
  std::array<std::string, 11> entry{"VELK program"};
  int depth = 0;
};

// A control-file line kept for the user: its line number and its text.
struct ControlLine {
  int line = 0;
  std::string text;
};

// The control-file line state shared by the reader and the section readers.
struct Parse {
  std::string line;   // current line, at most 132 characters
  std::string whole;  // the whole current line: names of files are taken from it
  int nline = 0;      // lines read so far, the header included
  int last_type = 0;  // type of the last token taken; 0: an unhandled header
  int pos = 1;        // column at which the next token starts
  std::string token;  // current token
  // Lines of the options, parameters and files sections that set nothing.
  std::vector<ControlLine> not_understood;
};

// The baseline and the condensed mixture, and what the frequency models keep.
struct Input {
  Arr3<std::int16_t> base_counts;  // (type, character, population): gene copies per type
  Mat<std::int32_t> base_totals;   // (character, population): copies scored; < 1 means no data
  int nmissing_base = 0;           // (population, character) pairs without baseline data

  int sample_size = 0;             // mixture individuals accepted
  int nclasses = 0;                // classes of missing characters
  int ngenotypes = 0;              // distinct mixture genotypes
  Arr3<std::int8_t> copies;        // (type, character, genotype): copies of each type
  Vec<std::int32_t> geno_count;    // per genotype: individuals that carry it
  Vec<std::int32_t> class_genotypes;    // per class: distinct genotypes, class by class
  Vec<std::int32_t> class_individuals;  // per class: individuals
  // Per accepted mixture record, in file order: the text of its "ID" field
  // (empty without one), its genotype (class order) and its line number.
  std::vector<std::string> record_id;
  // Per accepted record, the text of its "COLLECTION" field (none without one).
  std::vector<std::string> record_collection;
  Vec<std::int32_t> record_genotype;
  Vec<std::int32_t> record_line;
  // Fish of known origin (a "KNOWN" field naming their population). Per
  // accepted record its population, 0 when unknown (none without the field);
  // the copies of the known records, record after record (max_types per
  // character). They are counted, whatever their genotype, into one genotype
  // per population that stands for them, in a last class of their own:
  // per genotype its population (0 for a genotype of unknown fish; none
  // without known fish), and its column of P is the population's indicator.
  std::vector<std::int32_t> record_known;
  std::vector<std::int8_t> known_copies;
  Vec<std::int32_t> geno_known;

  Mat<double> pm_prior;            // (type, character): Pella-Masuda prior means
  Vec<double> pm_weight;           // per character: Pella-Masuda weights
  Vec<double> missing_totals;      // per missing-baseline entry
  Mat<double> missing_freqs;       // (type, missing-baseline entry)
};

// ------------------------------------------------------------------- tables

struct Character {
  std::string name;  // 10 characters
  int id = 0;
  int ntypes = 9;
  int ploidy = 2;    // 2 locus, 4 isolocus, 1 phenotype, mtDNA, nongenetic
};

struct Population {
  std::string name;       // 30 characters
  int id = 0;
  double estimate = 0.0;  // initial estimate
  double estimate_copy = 0.0;
  std::array<int, 3> level{};  // hierarchy labels, read by the populations table
  std::string file;       // per-population baseline file, as long as written
};

// Regions of the hierarchy, numbered level by level.
struct Regions {
  Vec<int> level;    // per region: 1 to 3
  Vec<int> label;    // per region: label used in the populations table
  Vec<int> size;     // per region: number of member populations
  Vec<int> parent;   // per region: region of the level above (0 when none)
  Vec<int> members;  // member populations, region after region
  Vec<std::string> name;    // 30 characters each
  Vec<double> estimate;     // regional estimates from the regions table
  // Regional standard deviations of the observed estimate (jackknife), kept by
  // the estimation for the studentized bootstrap intervals.
  Vec<double> sd;
};

// A message kept for later by Error while a run holds its messages (core/error.hpp).
struct HeldMessage;

// A message as the run issued it, for a front end to list: its number, its
// level (0 note, 1 warning or error, 2 fatal) and the text the log got, the
// heading first, the body lines without their indentation.
struct RunMessage {
  int number = 0;
  int severity = 0;
  std::string text;
};

// ---------------------------------------------------------------------- run

struct Run {
  Run(Process& p, Platform& pl) : process(p), platform(pl) {}
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  Process& process;
  Platform& platform;

  Par par;
  Opt opt;
  Files files;
  FullNames full_names;
  Output output;
  Inputs inputs;
  ErrorBlock error;
  Errstk errstk;
  Parse parse;

  Vec<Character> chars;
  Vec<Population> pops;
  Regions regions;
  Input input;

  std::string title;          // run title from the analysis header
  LocalTime date;             // when the control file was read
  std::string control_file;   // as given by the front end
  std::string control_dir;    // folder that holds the control file
  std::string log_name;
  int load_only = 0;
  int check_only = 0;         // read the control file only and describe it (velk --check)

  // Set by a front end (from any thread) to ask the run to stop between resamples.
  const std::atomic<bool>* stop_request = nullptr;

  // Threads that estimate the resamples of a simulation or bootstrap (1: the
  // driving thread alone; 0: one per core). The outputs never depend on it.
  int threads = 0;
  // When set, Error keeps each message here instead of writing it; the driving
  // thread writes the kept messages later, in order, with Replay.
  std::vector<HeldMessage>* held = nullptr;
  // Every message written so far, in order (kept to a bounded number; stopping
  // messages always).
  std::vector<RunMessage> messages;

  // What the estimation and the resampling found, for the front ends.
  RunResults results;
};

}  // namespace velk
