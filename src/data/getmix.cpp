// The mixture file reader (Getmix) with its record parser (Parsmix), the
// genotype key (Cnvrt) and the genotype table (Count).
#include "data/getmix.hpp"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>

#include "control/itoken.hpp"
#include "control/values.hpp"
#include "core/error.hpp"
#include "core/status.hpp"
#include "numeric/kernels.hpp"

namespace velk {

namespace {

constexpr const char* kContext = "Reading mixture file";
constexpr const char* kKind = "mixture";
// ln 10^14 as the single-precision constant the key layout is built on.
constexpr float kKeyLog = 32.236191f;
// Longest field name of a locus definition.
constexpr std::size_t kNameLength = 132;
// The mixture arrays may take at most this many bytes. A capacity beyond it
// (a billion genotypes, say) is refused as out of memory at once rather than
// zero-filling memory the system only promised.
constexpr std::size_t kMixtureBytesLimit = std::size_t{1} << 32;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  c = Tolow(c);
  return c >= 'a' && c <= 'z';
}

// Length of `text` without trailing blanks.
std::size_t TrimmedLength(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && IsBlank(text[n - 1])) --n;
  return n;
}

std::string TrimRight(std::string_view text) {
  return std::string(text.substr(0, TrimmedLength(text)));
}

// A comment line begins with "\" or "/".
bool IsComment(std::string_view line) {
  std::size_t p = 0;
  while (p < line.size() && IsBlank(line[p])) ++p;
  return p < line.size() && (line[p] == '\\' || line[p] == '/');
}

struct Token {
  int type = 0;
  std::string text;
  std::size_t start = 0;  // 0-based column of its first character
};

// Takes the tokens of `line` one by one and hands them to `take` until it
// returns false or the line is used up.
template <class Take>
void ScanTokens(Run& run, std::string_view line, Take take) {
  std::size_t pos = 0;
  std::size_t n = TrimmedLength(line);
  while (pos < n) {
    std::size_t start = pos;
    while (start < n && !StartsToken(line[start])) ++start;
    if (start >= n) return;
    Token token;
    int used = 0;
    token.type = Itoken(run, line.substr(pos, n - pos), used, token.text);
    token.start = start;
    if (std::abs(token.type) == kTokNone) return;
    if (!take(token)) return;
    // Every scan moves on by at least one character past the token's start.
    pos = std::max(pos + static_cast<std::size_t>(std::max(used, 0)), start + 1);
  }
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
  run.error.iostat = status;
  run.error.a1 = kKind;
  run.error.n1 = record;
  Error(run, 3014);
}

bool IsIdName(std::string_view name) {
  return name.size() == 2 && Tolow(name[0]) == 'i' && Tolow(name[1]) == 'd';
}

// The locus definition after "* characters": one line per record field, the
// field's name after its first word-starting token; "* end" closes it. On
// return every character has its field in `colmap` (or the run has stopped),
// and `id_field` is the first field named "ID" that no character reads (0: none).
// Returns the number of fields the definition names.
int ReadLocusDefinition(Run& run, LineReader& in, std::size_t maxlen, int nc, Vec<int>& colmap,
                        int& id_field) {
  colmap.Fill(-1);
  id_field = 0;
  int field = 0;
  int placed = 0;
  std::string line;
  for (;;) {
    if (in.Read(line, maxlen) != 0) {
      Error(run, 3017);
      return field;
    }
    if (IsComment(line)) continue;
    bool end = false;
    ScanTokens(run, line, [&](const Token& token) {
      if (token.type == kTokStar) {
        end = true;
        return false;
      }
      if (!IsLetter(line[token.start])) return true;
      ++field;
      std::string name = TrimRight(std::string_view(line).substr(token.start, kNameLength));
      bool matched = false;
      for (int c = 1; c <= nc && !matched; ++c) {
        if (colmap(c) == -1 && TrimRight(run.chars(c).name) == name) {
          colmap(c) = field;
          ++placed;
          matched = true;
        }
      }
      if (!matched && id_field == 0 && IsIdName(name)) id_field = field;
      return false;
    });
    if (end) break;
  }
  if (placed < nc) {
    run.error.n1 = in.LineNumber();
    run.error.n2 = placed;
    run.error.n3 = nc;
    Error(run, 3025);
  }
  return field;
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
  run.error.n1 = record;
  run.error.n2 = read;
  run.error.n3 = nc;
  Error(run, 3025);
}

// The next capacity of a table that grows with the file.
int Grown(int capacity) {
  return capacity >= INT_MAX / 2 ? INT_MAX : std::max(16, 2 * capacity);
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

// The reader proper; Getmix wraps it in its context and its allocation guard.
void ReadMixture(Run& run, GenotypeLookup lookup) {
  Par& par = run.par;
  Input& input = run.input;
  LineReader& in = run.inputs.Mixture();

  if (!in.Open(run.platform.OpenFile(run.files.mixture, "rb"), run.files.mixture)) {
    run.error.a1 = kKind;
    run.error.a2 = run.files.mixture;
    Error(run, 3006);
    return;
  }
  if (!ArraysInPlace(run) && !AllocateMixtureArrays(run)) return;

  const int nc = std::clamp(par.nchar, 0, run.chars.Size());
  const int maxtyp = std::max(par.max_types, 0);
  // Capacities the control file left unset grow with the file.
  int max_genotypes = std::max(par.max_genotypes, 0);
  int max_classes = std::max(par.max_classes, 0);

  Vec<int> types(nc);
  std::vector<int> ploidies(static_cast<std::size_t>(nc));
  std::vector<int> type_list(static_cast<std::size_t>(nc));
  for (int c = 1; c <= nc; ++c) {
    types(c) = std::clamp(run.chars(c).ntypes, 0, maxtyp);
    ploidies[static_cast<std::size_t>(c - 1)] = run.chars(c).ploidy;
    type_list[static_cast<std::size_t>(c - 1)] = types(c);
  }
  const KeyLayout layout = MakeKeyLayout(ploidies, type_list);
  const std::size_t maxlen = MixtureLineLength(types);

  input.geno_count.Fill(0);
  input.class_genotypes.Fill(0);
  input.class_individuals.Fill(0);
  input.copies.Fill(0);
  input.sample_size = 0;
  input.nclasses = 0;
  input.ngenotypes = 0;
  input.record_id.clear();
  input.record_genotype.Free();
  input.record_line.Free();

  Vec<int> colmap(nc);
  for (int c = 1; c <= nc; ++c) colmap(c) = c;
  int id_field = 0;

  // Leading lines, up to the first record or the locus definition.
  int nfields = nc;  // fields of a record
  std::string line;
  bool first_record = false;
  for (;;) {
    int status = in.Read(line, maxlen);
    if (status < 0) {
      Error(run, 3017);
      return;
    }
    if (status > 0) {
      ReadError(run, status, in.LineNumber() + 1);
      return;
    }
    Leading kind = ClassifyLeading(run, line);
    if (kind == Leading::kRecord) {
      first_record = true;
      break;
    }
    if (kind == Leading::kCharacters) {
      nfields = ReadLocusDefinition(run, in, maxlen, nc, colmap, id_field);
      if (run.error.stop) return;
      break;
    }
  }

  // Field number -> character read from it (0: skipped).
  int last_field = 0;
  for (int c = 1; c <= nc; ++c) last_field = std::max(last_field, colmap(c));
  std::vector<int> field_char(static_cast<std::size_t>(std::max(last_field, nfields)) + 1, 0);
  for (int c = 1; c <= nc; ++c) {
    if (colmap(c) > 0) field_char[static_cast<std::size_t>(colmap(c))] = c;
  }

  const std::size_t geno_size = static_cast<std::size_t>(maxtyp) * static_cast<std::size_t>(nc);
  Mat<std::int8_t> work(maxtyp, nc);
  std::vector<double> key(static_cast<std::size_t>(layout.words));
  KeyTable table(layout.words, lookup);
  int ngeno = 0;
  int nclasses = 0;
  int sample = 0;
  int nbad = 0;
  int nskipped = 0;  // records with more missing characters than allowed
  // Records with fields after the last of the layout: how many, the first and its fields.
  int nlong = 0, long_record = 0, long_fields = 0;
  // Classes by their pattern of missing characters; per class its genotypes in
  // order of first occurrence; per genotype its class and its place there.
  std::unordered_map<std::string, int> class_of;
  std::vector<std::vector<int>> members;
  std::vector<int> geno_class;
  std::vector<int> geno_place;
  std::string pattern(static_cast<std::size_t>(nc), '0');
  // Per accepted record: its ID, its genotype (in order of first occurrence
  // until the genotypes are put in class order) and its line.
  std::vector<std::string> record_id;
  std::vector<std::int32_t> record_genotype;
  std::vector<std::int32_t> record_line;

  // A stored genotype is the one in the work array when their copies agree.
  auto same = [&](int g) {
    return geno_size == 0 || std::memcmp(work.Data(), input.copies.Ptr(1, 1, g), geno_size) == 0;
  };

  auto record = [&](const std::string& text) {
    std::size_t n = TrimmedLength(text);
    if (n == 0 || IsComment(text)) return;
    const int number = in.LineNumber();
    if (in.Cut()) {
      run.error.a1 = kKind;
      run.error.n1 = number;
      Error(run, 3011);
      return;
    }
    int fields = 0;
    Parsed parsed = Parsmix(run, std::string_view(text).substr(0, n), number, field_char, types,
                            work, &fields);
    if (fields > nfields && parsed == Parsed::kOk && ++nlong == 1) {
      long_record = number;
      long_fields = fields;
    }
    if (parsed == Parsed::kFatal || run.error.stop) return;
    if (parsed == Parsed::kIgnored) return;
    if (parsed == Parsed::kBad) {
      ++nbad;
      return;
    }
    int nmissing = 0;
    for (int c = 1; c <= nc; ++c) {
      bool missing = maxtyp == 0 || I1sum(maxtyp, work.Ptr(1, c), 1) == 0;
      pattern[static_cast<std::size_t>(c - 1)] = missing ? '1' : '0';
      if (missing) ++nmissing;
    }
    if (nmissing > par.max_missing) {
      run.error.n1 = nmissing;
      run.error.n2 = number;
      Error(run, 1015);
      ++nskipped;
      return;
    }
    if (sample == INT_MAX) {  // no count may wrap
      run.error.a1 = kKind;
      run.error.n1 = number;
      Error(run, 3011);
      return;
    }
    Cnvrt(run, layout, types, work, key.data());
    if (run.error.stop) return;
    if (!par.genotypes_given && ngeno >= max_genotypes) {
      max_genotypes = Grown(max_genotypes);
      if (!FitsMixture(geno_size, max_genotypes)) throw std::bad_alloc();
      input.geno_count.Extend(max_genotypes);
      input.copies.Extend3(max_genotypes);
    }
    bool is_new = false;
    const int g =
        Count(run, ngeno, max_genotypes, key.data(), table, input.geno_count, same, is_new);
    if (run.error.stop) return;
    ++sample;
    record_id.emplace_back(id_field > 0 ? FieldText(std::string_view(text).substr(0, n), id_field)
                                        : std::string_view());
    record_genotype.push_back(g);
    record_line.push_back(number);

    auto found = class_of.find(pattern);
    int k;
    if (found != class_of.end()) {
      k = found->second;
    } else {
      if (!par.classes_given && nclasses >= max_classes) {
        max_classes = Grown(max_classes);
        input.class_genotypes.Extend(max_classes);
        input.class_individuals.Extend(max_classes);
      }
      if (nclasses >= max_classes) {
        run.error.a1 = "classes";
        run.error.n1 = max_classes;
        Error(run, 3023);
        return;
      }
      k = ++nclasses;
      class_of.emplace(pattern, k);
      members.emplace_back();
    }
    ++input.class_individuals(k);
    if (is_new) {
      int place = ++input.class_genotypes(k);
      members[static_cast<std::size_t>(k - 1)].push_back(ngeno);
      geno_class.push_back(k);
      geno_place.push_back(place);
      if (geno_size > 0) std::memcpy(input.copies.Ptr(1, 1, ngeno), work.Data(), geno_size);
    }
  };

  if (first_record) {
    record(line);
    if (run.error.stop) return;
  }
  for (;;) {
    int status = in.Read(line, maxlen);
    if (status < 0) break;
    if (status > 0) {
      ReadError(run, status, in.LineNumber() + 1);
      return;
    }
    record(line);
    if (run.error.stop) return;
  }
  in.Close();

  // Class order: the n-th genotype of the walk over the classes and their
  // genotypes changes places with genotype n.
  std::vector<std::int32_t> class_order(static_cast<std::size_t>(ngeno) + 1, 0);
  {
    int walk = 0;
    for (const std::vector<int>& list : members)
      for (int g : list) class_order[static_cast<std::size_t>(g)] = ++walk;
  }
  int n = 0;
  for (int k = 1; k <= nclasses; ++k) {
    std::vector<int>& list = members[static_cast<std::size_t>(k - 1)];
    for (std::size_t place = 0; place < list.size(); ++place) {
      ++n;
      int g = list[place];
      if (g == n) continue;
      std::swap(input.geno_count(n), input.geno_count(g));
      if (geno_size > 0) {
        std::swap_ranges(input.copies.Ptr(1, 1, n), input.copies.Ptr(1, 1, n) + geno_size,
                         input.copies.Ptr(1, 1, g));
      }
      // The genotype that stood at n now stands at g.
      int kn = geno_class[static_cast<std::size_t>(n - 1)];
      int pn = geno_place[static_cast<std::size_t>(n - 1)];
      members[static_cast<std::size_t>(kn - 1)][static_cast<std::size_t>(pn - 1)] = g;
      geno_class[static_cast<std::size_t>(g - 1)] = kn;
      geno_place[static_cast<std::size_t>(g - 1)] = pn;
    }
  }

  input.ngenotypes = ngeno;
  input.sample_size = sample;
  input.record_id = std::move(record_id);
  input.record_genotype.Resize(sample);
  input.record_line.Resize(sample);
  for (int r = 1; r <= sample; ++r) {
    const std::size_t i = static_cast<std::size_t>(r - 1);
    input.record_genotype(r) = class_order[static_cast<std::size_t>(record_genotype[i])];
    input.record_line(r) = record_line[i];
  }
  input.nclasses = nclasses;
  par.sample_size = sample;
  par.nclasses = nclasses;
  par.max_genotypes = max_genotypes;
  par.max_classes = max_classes;

  if (nlong > 0) {
    run.error.n1 = nlong;
    run.error.n2 = long_record;
    run.error.n3 = long_fields;
    run.error.a1 = std::to_string(nfields);
    Error(run, 1018);
  }
  if (nskipped > 0) {
    // One line on the status text, whatever the number of records.
    run.error.n1 = nskipped;
    run.error.n2 = par.max_missing;
    Error(run, 1017);
    AppendStatus(run, "Warning: " + std::to_string(nskipped) +
                          " mixture records skipped for missing characters (see the log)");
  }

  if (nbad > 0) {
    run.error.a1 = kKind;
    Error(run, 3010);
  }
}

// a * b, or false when it does not fit a size.
bool Multiply(std::size_t& a, std::size_t b) {
  if (b != 0 && a > SIZE_MAX / b) return false;
  a *= b;
  return true;
}

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  x ^= x >> 31;
  return x;
}

}  // namespace

// ------------------------------------------------------------------ layout

KeyLayout MakeKeyLayout(const std::vector<int>& ploidies, const std::vector<int>& types) {
  KeyLayout layout;
  long long largest = 0;
  for (int p : ploidies) largest = std::max<long long>(largest, p);
  layout.base = static_cast<int>(std::clamp<long long>(largest + 1, 2, INT_MAX));
  float ratio = kKeyLog / std::log(static_cast<float>(layout.base));
  layout.digits = std::max(1, static_cast<int>(std::lround(ratio)) - 1);
  long long total = 0;
  for (int t : types) total += std::max(t, 0);
  layout.total = static_cast<int>(std::min<long long>(total, INT_MAX));
  long long words =
      std::max<long long>(1, std::llround(static_cast<double>(total) / layout.digits));
  if (words * layout.digits < total) ++words;
  layout.words = static_cast<int>(words);
  return layout;
}

// --------------------------------------------------------------- key table

KeyTable::KeyTable(int words, GenotypeLookup lookup)
    : words_(std::max(words, 1)), lookup_(lookup) {}

bool KeyTable::Equal(const double* key, int g) const {
  const double* stored = Key(g);
  if (lookup_ == GenotypeLookup::kLinear) {
    // The reference comparison: the sum of the words' absolute differences.
    double difference = 0.0;
    for (int m = 0; m < words_; ++m) difference += std::fabs(key[m] - stored[m]);
    return difference < 1.0e-9;
  }
  // Key words are exact integers, so equal sums of differences mean equal bits.
  for (int m = 0; m < words_; ++m) {
    if (std::bit_cast<std::uint64_t>(key[m] + 0.0) != std::bit_cast<std::uint64_t>(stored[m]))
      return false;
  }
  return true;
}

std::size_t KeyTable::Hash(const double* key) const {
  std::uint64_t h = 0x9e3779b97f4a7c15ULL;
  for (int m = 0; m < words_; ++m) h = Mix(h ^ std::bit_cast<std::uint64_t>(key[m] + 0.0));
  return static_cast<std::size_t>(h);
}

int KeyTable::Find(const double* key, const std::function<bool(int)>& same) const {
  if (lookup_ == GenotypeLookup::kLinear) {
    for (int g = 1; g <= size_; ++g) {
      if (Equal(key, g) && same(g)) return g;
    }
    return 0;
  }
  if (slots_.empty()) return 0;
  // Linear probing without deletions keeps genotypes of one key in the order
  // they were added, so the first accepted one is the linear scan's.
  std::size_t mask = slots_.size() - 1;
  for (std::size_t i = Hash(key) & mask; slots_[i] != 0; i = (i + 1) & mask) {
    int g = slots_[i];
    if (Equal(key, g) && same(g)) return g;
  }
  return 0;
}

void KeyTable::Rehash(std::size_t slots) {
  slots_.assign(slots, 0);
  std::size_t mask = slots - 1;
  for (int g = 1; g <= size_; ++g) {
    std::size_t i = Hash(Key(g)) & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = g;
  }
}

void KeyTable::Add(const double* key) {
  for (int m = 0; m < words_; ++m) keys_.push_back(key[m] + 0.0);
  ++size_;
  if (lookup_ == GenotypeLookup::kLinear) return;
  if (2 * static_cast<std::size_t>(size_) > slots_.size()) {
    Rehash(std::max<std::size_t>(16, 2 * slots_.size()));
    return;
  }
  std::size_t mask = slots_.size() - 1;
  std::size_t i = Hash(Key(size_)) & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = size_;
}

// ----------------------------------------------------------------- Parsmix

std::size_t MixtureLineLength(const Vec<int>& types) {
  std::size_t full = 0;
  for (int c = 1; c <= types.Size(); ++c)
    full += static_cast<std::size_t>(std::max(types(c), 0)) + 1;
  return std::max(kMixtureLineLength, full);
}

Parsed Parsmix(Run& run, std::string_view record, int record_number,
               const std::vector<int>& field_char, const Vec<int>& types, Mat<std::int8_t>& work,
               int* fields) {
  work.Fill(0);
  const int nc = types.Size();
  const std::size_t n = TrimmedLength(record);
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
    // The field may go on past its t digits: further zeros are accepted, every
    // other digit is a type the control file does not have. A character that is
    // not a digit leaves the field unreadable: the record is bad.
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
          run.error.n1 = record_number;
          run.error.a1 = run.chars(c).name;
          run.error.a2 = std::string(text);
          Error(run, 2008);
        }
        if (run.error.stop) return Parsed::kFatal;
        return Parsed::kBad;
      }
      if (record[p] != '0') {
        run.error.n1 = record_number;
        run.error.a1 = run.chars(c).name;
        run.error.n2 = t;
        Error(run, 2003);
        if (run.error.stop) return Parsed::kFatal;
        bad = true;
      }
      ++p;
    }
    if (p >= n) {  // the field ended the record
      if (read == 1 && sum == 0) {
        run.error.a1 = kKind;
        run.error.n1 = record_number;
        Error(run, 1010);
        return Parsed::kIgnored;
      }
      if (read < nc) {
        TooFewCharacters(run, record_number, read, nc);
        return Parsed::kFatal;
      }
    }
    if (sum != 0 && sum != 1 && sum != 2 && sum != 4) {
      run.error.a1 = run.chars(c).name;
      run.error.n2 = sum;
      run.error.n1 = record_number;
      Error(run, 2004);
      if (run.error.stop) return Parsed::kFatal;
      bad = true;
    }
  }
  // The fields after the last one read, which nothing reads.
  if (fields != nullptr) {
    while (p < n) {
      while (p < n && IsBlank(record[p])) ++p;
      if (p >= n) break;
      ++field;
      while (p < n && !IsBlank(record[p])) ++p;
    }
    *fields = field;
  }
  return bad ? Parsed::kBad : Parsed::kOk;
}

// ------------------------------------------------------------------- Cnvrt

void Cnvrt(Run& run, const KeyLayout& layout, const Vec<int>& types, const Mat<std::int8_t>& work,
           double* key) {
  const int w = layout.words;
  const int d = layout.digits;
  std::fill(key, key + w, 0.0);
  // Digit j goes to word min(w, ceil(j / d)); the words before the last hold d
  // digits each, lowest digit first.
  int word = 0;    // 0-based
  int filled = 0;  // digits already in the word
  double power = 1.0;
  for (int c = 1; c <= types.Size(); ++c) {
    for (int k = 1; k <= types(c); ++k) {
      if (filled == d && word < w - 1) {
        ++word;
        filled = 0;
        power = 1.0;
      }
      key[word] += work(k, c) * power;
      ++filled;
      power *= layout.base;
    }
  }
  for (int m = 0; m < w; ++m) {
    if ((key[m] + 1.0) - key[m] != 1.0) {
      Error(run, 3029);
      return;
    }
  }
}

// ------------------------------------------------------------------- Count

int Count(Run& run, int& ngenotypes, int max_genotypes, const double* key, KeyTable& table,
          Vec<std::int32_t>& counts, const std::function<bool(int)>& same, bool& is_new) {
  is_new = false;
  int g = table.Find(key, same);
  if (g > 0) {
    ++counts(g);
    return g;
  }
  if (ngenotypes >= max_genotypes || ngenotypes >= counts.Size()) {
    run.error.a1 = "geneotypes";
    run.error.n1 = max_genotypes;
    Error(run, 3023);
    return 0;
  }
  table.Add(key);
  ++ngenotypes;
  counts(ngenotypes) = 1;
  is_new = true;
  return ngenotypes;
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
