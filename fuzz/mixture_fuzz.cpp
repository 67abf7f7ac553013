// Fuzzes the mixture reader on the characters Loc1 (3 types), Loc2 (4 types)
// and Loc3 (2 types, haploid), with room for 50 genotypes in 4 classes and up
// to two missing characters: the input is the mixture file.
#include <cstddef>
#include <cstdint>

#include "data/getmix.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velk;
  Process process;
  fuzz::MemoryPlatform platform;
  Run run(process, platform);
  fuzz::Tables(run, 3, {3, 4, 2});
  run.par.max_genotypes = 50;
  run.par.max_classes = 4;
  run.par.max_missing = 2;
  run.output.unit[0].Open(platform.OpenFile("mix.log", "w"), "mix.log");
  run.files.mixture = platform.Put("fuzz.mix", fuzz::AsText(data, size));
  Getmix(run);
  return 0;
}
