// Fuzzes the genotype readers of the import: the input as a two-column table
// (reference and mixture rows, then mixture rows alone), as a GENEPOP file and
// as a population,region table.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_support.hpp"
#include "import/genotypes.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velk;
  const std::string_view text = fuzz::AsText(data, size);
  std::vector<ImportMessage> messages;
  for (SampleRole role : {SampleRole::kBoth, SampleRole::kMixture}) {
    GenotypeSet set;
    (void)ReadGenotypeTable(text, "in.csv", role, TableOptions{"sample_type", "-9"}, set, messages);
  }
  GenotypeSet set;
  if (LooksLikeGenepop(text)) (void)ReadGenepop(text, "in.gen", false, set, messages);
  std::vector<std::pair<std::string, std::string>> pairs;
  (void)ReadRegionTable(text, "regions.csv", pairs, messages);
  return 0;  // what each reader returns is not looked at: only that none crashes
}
