#pragma once
// The mixture file reader: reads one record per individual, condenses the
// individuals into distinct genotypes with their counts and groups the
// genotypes into classes of missing characters, stored class by class.
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/array.hpp"
#include "core/run.hpp"
#include "data/condense.hpp"

namespace velk {

// Longest mixture line of an analysis whose fields fit in it: 400 loci of up to
// 162 types, every field written at its full width with a blank after it. A
// record longer than the limit is refused (3011), never read cut.
inline constexpr std::size_t kMixtureLineLength = 65536;

// The longest mixture line read for characters of these types: the fixed
// length, or every field at its full width with a blank when that is longer.
std::size_t MixtureLineLength(const Vec<int>& types);

// Outcome of parsing one record.
enum class Parsed { kOk, kIgnored, kBad, kFatal };

// Fills the genotype work array (type, character) from one record. `field_char`
// names, for field f, the character read from it (0: a field that is skipped),
// for every field of a record; `types` holds the types of every character.
// Messages 1010, 2003, 2004, 2006, 2008 and 3025 carry `record` as the record
// number. `fields`, when given, gets the number of fields of the record.
[[nodiscard]] Parsed Parsmix(Run& run, std::string_view record, int record_number,
                             const std::vector<int>& field_char, const Vec<int>& types,
                             Mat<std::int8_t>& work, int* fields = nullptr);

// Allocates the mixture arrays of the input block with the capacities of the
// parameters, and the missing-baseline arrays. Sizes that overflow or that the
// machine cannot hold are message 3000; returns false then. Getmix calls it when
// the run sequence has not left the arrays at those capacities.
[[nodiscard]] bool AllocateMixtureArrays(Run& run);

// Reads the mixture file of run.files.mixture into run.input.
void Getmix(Run& run, GenotypeLookup lookup = GenotypeLookup::kHash);

}  // namespace velk
