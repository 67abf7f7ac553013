// The mixture file reader (Getmix) with its record parser (Parsmix). The
// individuals are condensed into genotypes and classes by the Condenser
// (data/condense.hpp).
#include "data/getmix.hpp"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "control/itoken.hpp"
#include "control/values.hpp"
#include "core/error.hpp"
#include "core/paths.hpp"
#include "core/status.hpp"
#include "data/locus_definition.hpp"
#include "data/record_text.hpp"
#include "numeric/kernels.hpp"

namespace velk {

namespace {

constexpr const char* kContext = "Reading mixture file";
constexpr const char* kKind = "mixture";
// The mixture arrays may take at most this many bytes. A capacity beyond it
// (a billion genotypes, say) is refused as out of memory at once rather than
// zero-filling memory the system only promised.
constexpr std::size_t kMixtureBytesLimit = std::size_t{1} << 32;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

enum class Leading { kOther, kRecord, kCharacters };

// A leading line is the first data record when its first token is a number that
// begins with a digit, and opens the locus definition when it is a "*" line
// with a later word beginning "char".
Leading ClassifyLeading(Run& run, std::string_view line) {
  Leading kind = Leading::kOther;
  bool first = true;
  bool star = false;
  ScanTokens(run, line, [&](const Token& token) {
    if (first) {
      first = false;
      if (std::abs(token.type) == kTokNumber && IsDigit(line[token.start])) {
        kind = Leading::kRecord;
        return false;
      }
      star = token.type == kTokStar;
      return star;
    }
    if (std::abs(token.type) == kTokWord && token.text.compare(0, 4, "char") == 0) {
      kind = Leading::kCharacters;
      return false;
    }
    return true;
  });
  return kind;
}

void ReadError(Run& run, int status, int record) {
  Error(run, 3014, {.a1 = kKind, .n1 = record, .iostat = status});
}

// Field `field` (1-based) of a record: its text up to the next blank; empty
// when the record has fewer fields.
std::string_view FieldText(std::string_view record, int field) {
  std::size_t p = 0;
  for (int f = 1;; ++f) {
    while (p < record.size() && IsBlank(record[p])) ++p;
    if (p >= record.size()) return {};
    std::size_t start = p;
    while (p < record.size() && !IsBlank(record[p])) ++p;
    if (f == field) return record.substr(start, p - start);
  }
}

void TooFewCharacters(Run& run, int record, int read, int nc) {
  Error(run, 3025, {.n1 = record, .n2 = read, .n3 = nc});
}

// Whether genotype tables of `genotypes` entries of `geno_size` copies each
// stay within the mixture arrays' limit.
bool FitsMixture(std::size_t geno_size, int genotypes) {
  const std::size_t per = geno_size + sizeof(std::int32_t);
  return static_cast<std::size_t>(genotypes) <= kMixtureBytesLimit / per;
}

bool ArraysInPlace(const Run& run) {
  const Par& par = run.par;
  const Input& in = run.input;
  return in.copies.Size1() == std::max(par.max_types, 0) &&
         in.copies.Size2() == std::max(par.nchar, 0) &&
         in.copies.Size3() == std::max(par.max_genotypes, 0) &&
         in.geno_count.Size() == std::max(par.max_genotypes, 0) &&
         in.class_genotypes.Size() == std::max(par.max_classes, 0) &&
         in.class_individuals.Size() == std::max(par.max_classes, 0);
}

// The records' shape: the characters' types, the longest line, and which
// character each field holds.
struct RecordShape {
  int nc = 0;
  int maxtyp = 0;
  Vec<int> types;
  std::vector<int> ploidies;
  std::size_t maxlen = 0;
  int nfields = 0;              // fields of a record
  std::vector<int> field_char;  // field number -> character read from it (0: skipped)
  int id_field = 0;             // the field of the individuals' IDs (0: none)
  int collection_field = 0;     // the field of their mixture collection (0: none)
  int known_field = 0;          // the field of a known fish's population (0: none)
};

RecordShape MixtureShape(const Run& run) {
  RecordShape shape;
  shape.nc = std::clamp(run.par.nchar, 0, run.chars.Size());
  shape.maxtyp = std::max(run.par.max_types, 0);
  shape.types = Vec<int>(shape.nc);
  shape.ploidies.resize(static_cast<std::size_t>(shape.nc));
  for (int c = 1; c <= shape.nc; ++c) {
    shape.types(c) = std::clamp(run.chars(c).ntypes, 0, shape.maxtyp);
    shape.ploidies[static_cast<std::size_t>(c - 1)] = run.chars(c).ploidy;
  }
  shape.maxlen = MixtureLineLength(shape.types);
  // Without a locus definition the fields are the characters in order.
  shape.nfields = shape.nc;
  shape.field_char.assign(static_cast<std::size_t>(shape.nc) + 1, 0);
  for (int c = 1; c <= shape.nc; ++c) shape.field_char[static_cast<std::size_t>(c)] = c;
  return shape;
}

// The fields of the locus definition after "* characters"; every character
// must have its field (3025).
void ReadMixtureDefinition(Run& run, LineReader& in, RecordShape& shape) {
  std::vector<int> fields;
  if (ReadLocusDefinition(run, in, shape.maxlen, DefinitionRule::kMixture, fields) != 0) {
    Error(run, 3017);
    return;
  }
  shape.nfields = static_cast<int>(fields.size());
  shape.field_char.assign(fields.size() + 1, 0);
  shape.id_field = 0;
  shape.collection_field = 0;
  shape.known_field = 0;
  int placed = 0;
  for (std::size_t f = 0; f < fields.size(); ++f) {
    if (fields[f] > 0) {
      shape.field_char[f + 1] = fields[f];
      ++placed;
    } else if (fields[f] == kIdField && shape.id_field == 0) {
      shape.id_field = static_cast<int>(f + 1);
    } else if (fields[f] == kCollectionField) {
      shape.collection_field = static_cast<int>(f + 1);
    } else if (fields[f] == kKnownField) {
      shape.known_field = static_cast<int>(f + 1);
    }
  }
  if (placed < shape.nc) Error(run, 3025, {.n1 = in.LineNumber(), .n2 = placed, .n3 = shape.nc});
}

void ClearMixture(Input& input) {
  input.geno_count.Fill(0);
  input.class_genotypes.Fill(0);
  input.class_individuals.Fill(0);
  input.copies.Fill(0);
  input.sample_size = 0;
  input.nclasses = 0;
  input.ngenotypes = 0;
  input.record_id.clear();
  input.record_collection.clear();
  input.record_known.clear();
  input.known_copies.clear();
  input.geno_known.Free();
  input.record_genotype.Free();
  input.record_line.Free();
}

// The lines before the records, up to the first record (left in `line`; true)
// or through the locus definition.
[[nodiscard]] bool ReadLeadingLines(Run& run, LineReader& in, RecordShape& shape,
                                    std::string& line) {
  for (;;) {
    int status = in.Read(line, shape.maxlen);
    if (status < 0) {
      Error(run, 3017);
      return false;
    }
    if (status > 0) {
      ReadError(run, status, in.LineNumber() + 1);
      return false;
    }
    Leading kind = ClassifyLeading(run, line);
    if (kind == Leading::kRecord) return true;
    if (kind == Leading::kCharacters) {
      ReadMixtureDefinition(run, in, shape);
      return false;
    }
  }
}

// The state of one reading of the records.
class MixtureReader {
 public:
  MixtureReader(Run& run, LineReader& in, const RecordShape& shape, GenotypeLookup lookup)
      : run_(run),
        in_(in),
        shape_(shape),
        geno_size_(static_cast<std::size_t>(shape.maxtyp) * static_cast<std::size_t>(shape.nc)),
        work_(shape.maxtyp, shape.nc),
        condense_(shape.types, shape.maxtyp, shape.ploidies, lookup),
        limits_{.genotypes = std::max(run.par.max_genotypes, 0),
                .classes = std::max(run.par.max_classes, 0),
                .grow_classes = !run.par.classes_given},
        known_count_(static_cast<std::size_t>(std::max(run.par.npop, 0)) + 1, 0) {}

  // Reads one line of the records: a record, a comment or a blank line.
  void AcceptRecord(const std::string& text);
  // Puts the genotypes into run.input class by class, each class's in order of
  // first occurrence, with the records' IDs, genotypes and lines.
  void PutInClassOrder();
  // The warnings for records read only in part or skipped, and 3010 after bad ones.
  void ReportSkippedRecords();

 private:
  int MissingCharacters() const;
  void MakeGenotypeRoom();
  void Place(int number);
  int KnownPopulation(std::string_view record, int number);
  void KeepKnown(int pop, int number);
  void PutKnownClass(int first_genotype, int first_class);

  Run& run_;
  LineReader& in_;
  const RecordShape& shape_;
  std::size_t geno_size_;
  Mat<std::int8_t> work_;  // the copies of the record read
  Condenser condense_;
  CondenseLimits limits_;
  int nbad_ = 0;
  int nskipped_ = 0;  // records with more missing characters than allowed
  // Records with fields after the last of the layout: how many, the first and its fields.
  int nlong_ = 0, long_record_ = 0, long_fields_ = 0;
  // Per accepted record: its ID, its genotype (in order of first occurrence)
  // and its line.
  std::vector<std::string> record_id_, record_collection_;
  std::vector<std::int32_t> record_genotype_;  // a known fish's: minus its population
  std::vector<std::int32_t> record_line_;
  // Fish of known origin: per record its population (0 unknown), the known
  // records' copies, and per population its known fish.
  std::vector<std::int32_t> record_known_;
  std::vector<std::int8_t> known_copies_;
  std::vector<std::int32_t> known_count_;
  int nknown_ = 0;
};

int MixtureReader::MissingCharacters() const {
  int nmissing = 0;
  for (int c = 1; c <= shape_.nc; ++c) {
    if (shape_.maxtyp == 0 || I1sum(shape_.maxtyp, work_.Ptr(1, c), 1) == 0) ++nmissing;
  }
  return nmissing;
}

// Capacities the control file left unset grow with the file.
void MixtureReader::MakeGenotypeRoom() {
  if (run_.par.genotypes_given || condense_.Genotypes() < limits_.genotypes) return;
  limits_.genotypes = GrownCapacity(limits_.genotypes);
  if (!FitsMixture(geno_size_, limits_.genotypes)) throw std::bad_alloc();
  run_.input.geno_count.Extend(limits_.genotypes);
  run_.input.copies.Extend3(limits_.genotypes);
}

// Counts the record's genotype (a full table stops the run).
void MixtureReader::Place(int number) {
  switch (condense_.Place(work_, limits_)) {
    case Placed::kInexactKey:
      Error(run_, 3029);
      return;
    case Placed::kTooManyGenotypes:
      Error(run_, 3023, {.a1 = "geneotypes", .n1 = limits_.genotypes});
      return;
    case Placed::kTooManyClasses:
      Error(run_, 3023, {.a1 = "classes", .n1 = limits_.classes});
      return;
    case Placed::kKnown:
    case Placed::kNewGenotype:
      break;
  }
  record_genotype_.push_back(condense_.Last());
  record_line_.push_back(number);
}

// A population's name as a record field writes it: each blank an "_".
std::string AsField(std::string name) {
  for (char& c : name)
    if (IsBlank(c)) c = '_';
  return name;
}

// The population that the record's "KNOWN" field names (its name in the
// populations table, blanks written "_", compared without case): 0 for "-"
// (origin unknown); -1 after error 2070 for a name that is no population.
int MixtureReader::KnownPopulation(std::string_view record, int number) {
  const std::string_view name = FieldText(record, shape_.known_field);
  if (name == "-") return 0;
  for (int i = 1; i <= run_.par.npop && i <= run_.pops.Size(); ++i)
    if (SameNoCase(AsField(Trim(run_.pops(i).name)), name)) return i;
  Error(run_, 2070,
        {.a1 = std::string(name),
         .a2 = Trim(run_.files.mixture),
         .n1 = number,
         .n2 = shape_.known_field});
  return -1;
}

// A fish of known origin: its genotype is kept for the individuals table, and
// it counts into its population's known fish.
void MixtureReader::KeepKnown(int pop, int number) {
  const std::int8_t* copies = work_.Data();
  known_copies_.insert(known_copies_.end(), copies, copies + geno_size_);
  ++known_count_[static_cast<std::size_t>(pop)];
  ++nknown_;
  record_known_.push_back(pop);
  record_genotype_.push_back(-pop);
  record_line_.push_back(number);
}

void MixtureReader::AcceptRecord(const std::string& text) {
  std::size_t n = TrimmedLength(text);
  if (n == 0 || IsRecordComment(text)) return;
  const int number = in_.LineNumber();
  if (in_.Cut()) {
    Error(run_, 3011, {.a1 = kKind, .n1 = number});
    return;
  }
  const std::string_view record = std::string_view(text).substr(0, n);
  int fields = 0;
  Parsed parsed = Parsmix(run_, record, number, shape_.field_char, shape_.types, work_, &fields);
  if (fields > shape_.nfields && parsed == Parsed::kOk && ++nlong_ == 1) {
    long_record_ = number;
    long_fields_ = fields;
  }
  if (parsed == Parsed::kFatal || run_.error.stop) return;
  if (parsed == Parsed::kIgnored) return;
  if (parsed == Parsed::kBad) {
    ++nbad_;
    return;
  }
  const int known = shape_.known_field > 0 ? KnownPopulation(record, number) : 0;
  if (run_.error.stop) return;
  if (known < 0) {
    ++nbad_;
    return;
  }
  if (condense_.Individuals() + nknown_ == INT_MAX) {  // no count may wrap
    Error(run_, 3011, {.a1 = kKind, .n1 = number});
    return;
  }
  if (known > 0) {  // its genotype does not enter the estimate: no missing-character limit
    record_id_.emplace_back(shape_.id_field > 0 ? FieldText(record, shape_.id_field)
                                                : std::string_view());
    if (shape_.collection_field > 0)
      record_collection_.emplace_back(FieldText(record, shape_.collection_field));
    KeepKnown(known, number);
    return;
  }
  const int nmissing = MissingCharacters();
  if (nmissing > run_.par.max_missing) {
    Error(run_, 1015, {.n1 = nmissing, .n2 = number});
    ++nskipped_;
    return;
  }
  MakeGenotypeRoom();
  record_id_.emplace_back(shape_.id_field > 0 ? FieldText(record, shape_.id_field)
                                              : std::string_view());
  if (shape_.collection_field > 0)
    record_collection_.emplace_back(FieldText(record, shape_.collection_field));
  if (shape_.known_field > 0) record_known_.push_back(0);
  Place(number);
}

// After the classes of the genotypes read, the last class: one genotype per
// population with known fish, unscored everywhere, that stands for them.
void MixtureReader::PutKnownClass(int first_genotype, int first_class) {
  Input& input = run_.input;
  int pops = 0;
  for (std::int32_t m : known_count_) pops += m > 0 ? 1 : 0;
  const int last = first_genotype + pops - 1;
  if (input.copies.Size3() < last) input.copies.Extend3(last);
  if (input.geno_count.Size() < last) input.geno_count.Extend(last);
  if (input.class_genotypes.Size() < first_class) {
    input.class_genotypes.Extend(first_class);
    input.class_individuals.Extend(first_class);
  }
  input.geno_known.Resize(last, 0);
  int g = first_genotype;
  for (int i = 1; i < static_cast<int>(known_count_.size()); ++i) {
    const std::int32_t m = known_count_[static_cast<std::size_t>(i)];
    if (m == 0) continue;
    if (geno_size_ > 0) std::memset(input.copies.Ptr(1, 1, g), 0, geno_size_);
    input.geno_count(g) = m;
    input.geno_known(g) = i;
    known_count_[static_cast<std::size_t>(i)] = g++;  // from here on: the genotype
  }
  input.class_genotypes(first_class) = pops;
  input.class_individuals(first_class) = nknown_;
}

void MixtureReader::PutInClassOrder() {
  Input& input = run_.input;
  const int ngeno_read = condense_.Genotypes();
  const int nclasses_read = condense_.Classes();
  const int sample = condense_.Individuals() + nknown_;
  if (input.class_genotypes.Size() < limits_.classes) {
    input.class_genotypes.Extend(limits_.classes);
    input.class_individuals.Extend(limits_.classes);
  }
  int n = 0;
  for (int k = 1; k <= nclasses_read; ++k) {
    const std::vector<int>& list = condense_.Members()[static_cast<std::size_t>(k - 1)];
    for (int g : list) {
      ++n;
      if (geno_size_ > 0) std::memcpy(input.copies.Ptr(1, 1, n), condense_.Copies(g), geno_size_);
      input.geno_count(n) = condense_.CountOf(g);
    }
    input.class_genotypes(k) = static_cast<std::int32_t>(list.size());
    input.class_individuals(k) = condense_.ClassIndividuals(k);
  }
  int ngeno = ngeno_read;
  int nclasses = nclasses_read;
  if (nknown_ > 0) {
    PutKnownClass(ngeno_read + 1, nclasses_read + 1);
    ngeno = input.geno_known.Size();
    nclasses = nclasses_read + 1;
  }
  const std::vector<std::int32_t> class_order = condense_.ClassOrder();
  input.ngenotypes = ngeno;
  input.sample_size = sample;
  input.record_id = std::move(record_id_);
  input.record_collection = std::move(record_collection_);
  input.record_known = std::move(record_known_);
  input.known_copies = std::move(known_copies_);
  input.record_genotype.Resize(sample);
  input.record_line.Resize(sample);
  for (int r = 1; r <= sample; ++r) {
    const std::size_t i = static_cast<std::size_t>(r - 1);
    const std::int32_t g = record_genotype_[i];
    input.record_genotype(r) = g < 0 ? known_count_[static_cast<std::size_t>(-g)]
                                     : class_order[static_cast<std::size_t>(g)];
    input.record_line(r) = record_line_[i];
  }
  input.nclasses = nclasses;
  run_.par.sample_size = sample;
  run_.par.nclasses = nclasses;
  // The known fish's genotypes and class come beyond the capacities.
  run_.par.max_genotypes = std::max(limits_.genotypes, ngeno);
  run_.par.max_classes = std::max(limits_.classes, nclasses);
}

void MixtureReader::ReportSkippedRecords() {
  if (nlong_ > 0) {
    Error(run_, 1018,
          {.a1 = std::to_string(shape_.nfields),
           .n1 = nlong_,
           .n2 = long_record_,
           .n3 = long_fields_});
  }
  if (nskipped_ > 0) {
    // One line on the status text, whatever the number of records.
    Error(run_, 1017, {.n1 = nskipped_, .n2 = run_.par.max_missing});
    AppendStatus(run_, "Warning: " + std::to_string(nskipped_) +
                           " mixture records skipped for missing characters (see the log)");
  }
  if (nbad_ > 0) Error(run_, 3010, {.a1 = kKind});
}

// The reader proper; Getmix wraps it in its context and its allocation guard.
void ReadMixture(Run& run, GenotypeLookup lookup) {
  LineReader& in = run.inputs.Mixture();
  if (!in.Open(run.platform.OpenFile(run.files.mixture, "rb"), run.files.mixture)) {
    Error(run, 3006, {.a1 = kKind, .a2 = run.files.mixture});
    return;
  }
  if (!ArraysInPlace(run) && !AllocateMixtureArrays(run)) return;
  RecordShape shape = MixtureShape(run);
  ClearMixture(run.input);
  std::string line;
  const bool first_record = ReadLeadingLines(run, in, shape, line);
  if (run.error.stop) return;

  MixtureReader reader(run, in, shape, lookup);
  if (first_record) {
    reader.AcceptRecord(line);
    if (run.error.stop) return;
  }
  for (;;) {
    int status = in.Read(line, shape.maxlen);
    if (status < 0) break;
    if (status > 0) {
      ReadError(run, status, in.LineNumber() + 1);
      return;
    }
    reader.AcceptRecord(line);
    if (run.error.stop) return;
  }
  in.Close();
  reader.PutInClassOrder();
  reader.ReportSkippedRecords();
}

// a * b, or false when it does not fit a size.
bool Multiply(std::size_t& a, std::size_t b) {
  if (b != 0 && a > SIZE_MAX / b) return false;
  a *= b;
  return true;
}

}  // namespace

// ----------------------------------------------------------------- Parsmix

std::size_t MixtureLineLength(const Vec<int>& types) {
  std::size_t full = 0;
  for (int c = 1; c <= types.Size(); ++c)
    full += static_cast<std::size_t>(std::max(types(c), 0)) + 1;
  return std::max(kMixtureLineLength, full);
}

namespace {

// How the rest of a field after its type digits reads.
enum class FieldRest { kClean, kExtraType, kUnreadable, kStopped };

// The field may go on past its t digits: further zeros are accepted, every
// other digit is a type the control file does not have (2003). A character that
// is not a digit leaves the field unreadable (2008, or the decimal comma's
// message): the record is bad. `p` moves to the field's end (or the character).
FieldRest ReadFieldRest(Run& run, std::string_view record, std::size_t& p, int record_number, int c,
                        int t) {
  const std::size_t n = record.size();
  FieldRest rest = FieldRest::kClean;
  while (p < n && !IsBlank(record[p])) {
    if (!IsDigit(record[p])) {
      std::size_t start = p;
      while (start > 0 && !IsBlank(record[start - 1])) --start;
      std::size_t end = p;
      while (end < n && !IsBlank(record[end])) ++end;
      const std::string_view text = record.substr(start, end - start);
      const std::string comma = CommaNumber(text);
      if (!comma.empty()) {
        DecimalComma(run, run.files.mixture, record_number, comma);
      } else {
        Error(run, 2008, {.a1 = run.chars(c).name, .a2 = std::string(text), .n1 = record_number});
      }
      return run.error.stop ? FieldRest::kStopped : FieldRest::kUnreadable;
    }
    if (record[p] != '0') {
      Error(run, 2003, {.a1 = run.chars(c).name, .n1 = record_number, .n2 = t});
      if (run.error.stop) return FieldRest::kStopped;
      rest = FieldRest::kExtraType;
    }
    ++p;
  }
  return rest;
}

// The number of fields of the record: `field` up to `p`, and those after it.
int CountFields(std::string_view record, std::size_t p, int field) {
  const std::size_t n = record.size();
  while (p < n) {
    while (p < n && IsBlank(record[p])) ++p;
    if (p >= n) break;
    ++field;
    while (p < n && !IsBlank(record[p])) ++p;
  }
  return field;
}

}  // namespace

Parsed Parsmix(Run& run, std::string_view record, int record_number,
               const std::vector<int>& field_char, const Vec<int>& types, Mat<std::int8_t>& work,
               int* fields) {
  work.Fill(0);
  const int nc = types.Size();
  record = record.substr(0, TrimmedLength(record));
  const std::size_t n = record.size();
  std::size_t p = 0;
  int field = 0;
  int read = 0;
  bool bad = false;
  while (read < nc) {
    ++field;
    while (p < n && IsBlank(record[p])) ++p;
    if (p >= n) {
      TooFewCharacters(run, record_number, read, nc);
      return Parsed::kFatal;
    }
    int c = static_cast<std::size_t>(field) < field_char.size()
                ? field_char[static_cast<std::size_t>(field)]
                : 0;
    if (c == 0) {  // a field that no character reads
      while (p < n && !IsBlank(record[p])) ++p;
      if (p >= n) {
        TooFewCharacters(run, record_number, read, nc);
        return Parsed::kFatal;
      }
      continue;
    }
    ++read;
    const int t = types(c);
    int k = 0;
    int sum = 0;
    while (k < t && p < n && IsDigit(record[p])) {
      int copies = record[p] - '0';
      ++k;
      work(k, c) = static_cast<std::int8_t>(copies);
      sum += copies;
      ++p;
    }
    switch (ReadFieldRest(run, record, p, record_number, c, t)) {
      case FieldRest::kStopped:
        return Parsed::kFatal;
      case FieldRest::kUnreadable:
        return Parsed::kBad;
      case FieldRest::kExtraType:
        bad = true;
        break;
      case FieldRest::kClean:
        break;
    }
    if (p >= n) {  // the field ended the record
      if (read == 1 && sum == 0) {
        Error(run, 1010, {.a1 = kKind, .n1 = record_number});
        return Parsed::kIgnored;
      }
      if (read < nc) {
        TooFewCharacters(run, record_number, read, nc);
        return Parsed::kFatal;
      }
    }
    if (sum != 0 && sum != 1 && sum != 2 && sum != 4) {
      Error(run, 2004, {.a1 = run.chars(c).name, .n1 = record_number, .n2 = sum});
      if (run.error.stop) return Parsed::kFatal;
      bad = true;
    }
  }
  // The fields after the last one read, which nothing reads.
  if (fields != nullptr) *fields = CountFields(record, p, field);
  return bad ? Parsed::kBad : Parsed::kOk;
}

// -------------------------------------------------------------- allocation

bool AllocateMixtureArrays(Run& run) {
  const Par& par = run.par;
  Input& input = run.input;
  auto size = [](int n) { return static_cast<std::size_t>(std::max(n, 0)); };
  const std::size_t maxtyp = size(par.max_types);
  const std::size_t nc = size(par.nchar);
  const std::size_t genotypes = size(par.max_genotypes);
  const std::size_t classes = size(par.max_classes);
  const std::size_t missing = std::max<std::size_t>(1, size(input.nmissing_base));

  bool fits = true;
  std::size_t total = 0;
  auto add = [&](std::initializer_list<std::size_t> factors) {
    std::size_t bytes = 1;
    for (std::size_t f : factors) fits = fits && Multiply(bytes, f);
    if (fits && total > SIZE_MAX - bytes) fits = false;
    if (fits) total += bytes;
  };
  add({maxtyp, nc, genotypes, sizeof(std::int8_t)});
  add({genotypes, sizeof(std::int32_t)});
  add({classes, 2, sizeof(std::int32_t)});
  add({missing, sizeof(double)});
  add({maxtyp, missing, sizeof(double)});

  if (fits && total <= kMixtureBytesLimit) {
    try {
      input.copies.Resize(par.max_types, par.nchar, par.max_genotypes);
      input.geno_count.Resize(par.max_genotypes);
      input.class_genotypes.Resize(par.max_classes);
      input.class_individuals.Resize(par.max_classes);
      input.missing_totals.Resize(static_cast<int>(missing));
      input.missing_freqs.Resize(par.max_types, static_cast<int>(missing));
      return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
  }
  input.copies.Free();
  input.geno_count.Free();
  input.class_genotypes.Free();
  input.class_individuals.Free();
  input.missing_totals.Free();
  input.missing_freqs.Free();
  Error(run, 3000);
  return false;
}

// ------------------------------------------------------------------ Getmix

void Getmix(Run& run, GenotypeLookup lookup) {
  Errpush(run, kContext);
  try {
    ReadMixture(run, lookup);
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
  } catch (const std::length_error&) {
    Error(run, 3000);
  }
  run.inputs.Mixture().Close();
  Errpop(run);
}

}  // namespace velk
