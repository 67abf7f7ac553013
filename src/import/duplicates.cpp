#include "import/duplicates.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "report/csv.hpp"

namespace velk {

namespace {

// The genotypes of every individual as bit planes: per 64 loci a word of
// "scored" bits and one word per bit of the genotype code.
struct Planes {
  std::size_t words = 0, bits = 0;
  std::vector<std::uint64_t> data;  // per individual: scored words, then bits x words

  const std::uint64_t* Of(std::size_t i) const { return data.data() + i * words * (bits + 1); }
};

// The genotype's code at a locus: 0 not scored, else one number per unordered
// set of types.
std::uint32_t GenotypeCode(const Locus& locus, const std::vector<std::string>& alleles) {
  if (alleles.empty()) return 0;
  std::uint32_t a = static_cast<std::uint32_t>(locus.type.at(alleles[0]));
  std::uint32_t c = alleles.size() > 1 ? static_cast<std::uint32_t>(locus.type.at(alleles[1])) : 0;
  if (c > a) std::swap(a, c);
  return a * (a + 1) / 2 + c;
}

Planes MakePlanes(const Built& b, const std::vector<const Individual*>& all) {
  Planes p;
  const std::size_t nloci = b.loci.size();
  p.words = (nloci + 63) / 64;
  std::uint32_t largest = 1;
  for (const Locus& l : b.loci) {
    const auto t = static_cast<std::uint32_t>(l.codes.size());
    largest = std::max(largest, t * (t + 1) / 2 + t);
  }
  p.bits = static_cast<std::size_t>(std::bit_width(largest));
  p.data.assign(all.size() * p.words * (p.bits + 1), 0);
  for (std::size_t i = 0; i < all.size(); ++i) {
    std::uint64_t* row = p.data.data() + i * p.words * (p.bits + 1);
    for (std::size_t l = 0; l < nloci; ++l) {
      const std::uint32_t code = GenotypeCode(b.loci[l], all[i]->alleles[l]);
      if (code == 0) continue;
      const std::uint64_t bit = std::uint64_t{1} << (l % 64);
      row[l / 64] |= bit;
      for (std::size_t k = 0; k < p.bits; ++k)
        if ((code >> k) & 1u) row[(k + 1) * p.words + l / 64] |= bit;
    }
  }
  return p;
}

}  // namespace

std::vector<DuplicatePair> FindDuplicates(const Built& b) {
  std::vector<const Individual*> all(b.reference);
  all.insert(all.end(), b.mixture.begin(), b.mixture.end());
  const Planes p = MakePlanes(b, all);
  const int least = static_cast<int>(kDuplicateOverlap * static_cast<double>(b.loci.size()) + 0.999999);
  auto sample = [&](std::size_t i) {
    return i < b.reference.size() ? SampleRef{false, i} : SampleRef{true, i - b.reference.size()};
  };
  std::vector<DuplicatePair> pairs;
  for (std::size_t i = 0; i < all.size(); ++i) {
    const std::uint64_t* x = p.Of(i);
    for (std::size_t j = i + 1; j < all.size(); ++j) {
      const std::uint64_t* y = p.Of(j);
      int compared = 0, differ = 0;
      for (std::size_t w = 0; w < p.words; ++w) {
        const std::uint64_t both = x[w] & y[w];
        std::uint64_t diff = 0;
        for (std::size_t k = 1; k <= p.bits; ++k) diff |= x[k * p.words + w] ^ y[k * p.words + w];
        compared += std::popcount(both);
        differ += std::popcount(diff & both);
      }
      if (compared < least || compared == 0) continue;
      if (static_cast<double>(compared - differ) < kDuplicateAgreement * compared) continue;
      pairs.push_back({sample(i), sample(j), compared, differ});
    }
  }
  return pairs;
}

std::string DuplicateTableText(const Built& b, const std::vector<DuplicatePair>& pairs) {
  CsvTable t({"sample_type_1", "collection_1", "indiv_1", "sample_type_2", "collection_2",
              "indiv_2", "loci_compared", "loci_differing"});
  auto describe = [&](const SampleRef& s) {
    if (s.mixture) {
      t.Text("mixture").Text(b.mix_collection[s.index]).Text(b.mix_id[s.index]);
    } else {
      t.Text("reference").Text(b.pops[static_cast<std::size_t>(b.ref_pop[s.index])].name);
      t.Text(b.ref_id[s.index]);
    }
  };
  for (const DuplicatePair& d : pairs) {
    describe(d.first);
    describe(d.second);
    t.Int(d.compared).Int(d.differ).EndRow();
  }
  return t.Data();
}

}  // namespace velk
