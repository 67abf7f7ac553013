// Fuzzes the import against the mixture reader: the input's bytes make a small
// two-column genotype table (up to 3 loci, 3 populations, 8 reference and 8
// mixture individuals, alleles from a few codes, loci unscored), `Import`
// writes the analysis into a temporary folder, `Velk` runs the control file it
// wrote, and the estimates report's counts of individuals, distinct genotypes
// and classes must equal the import's (abort otherwise). Every individual keeps
// at least one scored locus: a mixture individual with none is skipped by the
// reader (warning 1015) but counted by the import, and a population whose
// reference individuals have none is written into the baseline without data,
// which the baseline reader refuses (2002, 3010).
//
// Unlike the other targets this one writes real files (the import reads and
// writes the disk), each input in a folder of its own that is removed after it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

#include "core/run.hpp"
#include "import/import.hpp"
#include "run/velk.hpp"

namespace {

namespace fs = std::filesystem;

class QuietPlatform : public velk::Platform {
 public:
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
};

// The fuzzer's bytes one at a time, 0 once they are used up.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  int Next(int n) { return at_ < size_ ? data_[at_++] % n : 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The genotype of one locus: two allele columns, both scored or both "NA".
std::string Locus(Bytes& bytes, bool scored) {
  static const char* const kCodes[] = {"A", "C", "G", "T"};
  if (!scored) return ",NA,NA";
  return std::string(",") + kCodes[bytes.Next(4)] + "," + kCodes[bytes.Next(4)];
}

std::string Table(Bytes& bytes) {
  const int nloci = 1 + bytes.Next(3);
  const int npop = 1 + bytes.Next(3);
  const int nref = npop + bytes.Next(6);
  const int nmix = 1 + bytes.Next(8);
  std::ostringstream t;
  t << "sample_type,repunit,collection,indiv";
  for (int l = 1; l <= nloci; ++l) t << ",L" << l << ",L" << l << ".1";
  t << '\n';
  for (int i = 0; i < nref; ++i) {
    t << "reference,NA,P" << (i < npop ? i : bytes.Next(npop)) << ",r" << i;
    const int kept = bytes.Next(nloci);  // a locus that is always scored
    for (int l = 0; l < nloci; ++l) t << Locus(bytes, l == kept || bytes.Next(4) != 0);
    t << '\n';
  }
  for (int i = 0; i < nmix; ++i) {
    t << "mixture,NA,catch,m" << i;
    const int kept = bytes.Next(nloci);  // a locus that is always scored
    for (int l = 0; l < nloci; ++l) t << Locus(bytes, l == kept || bytes.Next(3) != 0);
    t << '\n';
  }
  return t.str();
}

// The number after `label` in `text`; -1 when the label is not there.
long After(const std::string& text, const std::string& label) {
  const std::size_t at = text.find(label);
  if (at == std::string::npos) return -1;
  return std::strtol(text.c_str() + at + label.size(), nullptr, 10);
}

void Check(bool ok, const char* what, const std::string& detail) {
  if (ok) return;
  std::fprintf(stderr, "import and mixture reader disagree: %s\n%s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velk;
  Bytes bytes(data, size);
  const fs::path dir = fs::temp_directory_path() / ("velk-roundtrip-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path table = dir / "g.csv";
  std::ofstream(table) << Table(bytes);

  ImportRequest request;
  request.input = table.string();
  request.out = (dir / "a").string();
  const ImportOutcome imported = Import(request);
  if (imported.status != 0) {
    fs::remove_all(dir);
    return 0;
  }
  Process process;
  QuietPlatform platform;
  Request run;
  run.control_file = (dir / "a.ctl").string();
  run.threads = 1;
  const Outcome outcome = Velk(process, platform, run);
  // The readers' fatal messages: the files the import wrote must read.
  for (const RunMessage& m : outcome.messages)
    for (int fatal : {3006, 3010, 3011, 3014, 3017, 3023, 3025, 3029})
      Check(m.number != fatal, "the files did not read", m.text);

  std::ifstream est(dir / "a.est");
  std::ostringstream report;
  report << est.rdbuf();
  const std::string& s = imported.summary;
  if (!report.str().empty()) {
    const long individuals = After(s, "Mixture individuals: ");
    Check(After(report.str(), "Number of observations") == individuals, "individuals", s);
    Check(After(report.str(), "Number of types") == After(s, "Distinct mixture genotypes: "),
          "genotypes", s);
    // The report lists the classes only when there are more than one.
    const long classes = After(report.str(), "Classes");
    const std::size_t in = s.find(" in ", s.find("Distinct mixture genotypes: "));
    Check(in != std::string::npos &&
              (classes < 0 ? 1 : classes) == std::strtol(s.c_str() + in + 4, nullptr, 10),
          "classes", s);
  }
  fs::remove_all(dir);
  return 0;
}
