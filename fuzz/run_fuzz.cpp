// Fuzzes a whole run on a small fixed baseline (three populations, loci Loc1 of
// 3 types and Loc2 of 4 types, the haploid Loc3 of 2 types): the input is a
// control file, then a line "%%", then the mixture file. The control file may
// name "base.bse" and "fuzz.mix" in its files section; the run goes through the
// run driver as the velk command would run it, reports and all.
//
// Inputs whose control file holds a number above 999 are passed over: sizes and
// counts that large only make the run long (the control-file target reads them).
// The files live in memory: the reports, the log and the folders the run makes
// never reach the disk. The resamples are estimated on the driving thread.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "run/velk.hpp"
#include "fuzz_support.hpp"

namespace {

constexpr std::string_view kBaseline =
    "#1 Pop 1\n"
    "Loc1 10 20 30\n"
    "Loc2 5 5 10 20\n"
    "Loc3 12 8\n"
    "#2 Pop 2\n"
    "Loc1 30 20 10\n"
    "Loc2 20 10 5 5\n"
    "Loc3 3 17\n"
    "#3 Pop 3\n"
    "Loc1 0.2 0.5 0.3 40\n"
    "Loc2 8 12 12 8\n"
    "Loc3 10 10\n";

// Whether every number of the text is at most 999 in size.
bool SmallNumbers(std::string_view text) {
  std::string copy(text);
  const char* p = copy.c_str();
  while (*p) {
    if ((*p >= '0' && *p <= '9') || (*p == '.' && p[1] >= '0' && p[1] <= '9')) {
      char* end = nullptr;
      double v = std::strtod(p, &end);
      if (!(std::fabs(v) <= 999.0)) return false;
      p = end > p ? end : p + 1;
    } else {
      ++p;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velk;
  std::string_view text = fuzz::AsText(data, size);
  std::size_t cut = text.find("\n%%\n");
  std::string_view control = text.substr(0, cut);
  std::string_view mixture =
      cut == std::string_view::npos ? std::string_view() : text.substr(cut + 4);
  if (!SmallNumbers(control)) return -1;
  Process process;
  fuzz::MemoryPlatform platform;
  platform.Put("base.bse", kBaseline);
  platform.Put("fuzz.mix", mixture);
  Request request;
  request.control_file = platform.Put("run.ctl", control);
  request.threads = 1;
  Velk(process, platform, request);
  return 0;
}
