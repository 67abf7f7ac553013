// Fuzzes the baseline reader on three populations and the characters Loc1 (3
// types), Loc2 (4 types) and Loc3 (2 types, haploid). An input that begins with
// "!" is split at its "%%" lines into one file per population; any other input
// is the one baseline file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/base.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velk;
  std::string_view text = fuzz::AsText(data, size);
  Process process;
  fuzz::MemoryPlatform platform;
  Run run(process, platform);
  fuzz::Tables(run, 3, {3, 4, 2});
  run.output.unit[0].Open(platform.OpenFile("base.log", "w"), "base.log");
  if (!text.empty() && text[0] == '!') {
    text.remove_prefix(1);
    for (int pop = 1; pop <= 3; ++pop) {
      std::size_t cut = text.find("\n%%\n");
      std::string_view part = text.substr(0, cut);
      std::string name = "pop" + std::to_string(pop) + ".bse";
      if (pop < 3 || !part.empty()) platform.Put(name, part);
      run.pops(pop).file = name;
      text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 4);
    }
  } else {
    run.files.baseline = platform.Put("one.bse", text);
  }
  Base(run);
  return 0;
}
