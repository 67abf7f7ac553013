#pragma once
// The names file: the full names of the populations and regions whose names
// the control file gives shortened (velk import writes NAME.names.csv), for the
// CSV tables and the window shell, where no width limits a name.
#include <string>
#include <string_view>
#include <vector>

#include "core/run.hpp"

namespace velk {

// Reads the file of "Names file:", when one is named: a CSV of kind
// (population, region or locus), short name and full name, after a header
// row. A file that cannot be opened is message 3006, a row without its three
// fields 3011. Returns false when the run stopped.
[[nodiscard]] bool ReadFullNames(Run& run);

// The full name of population i or region r: the names file's, else the
// control file's (trailing blanks removed).
std::string PopulationName(const Run& run, int i);
std::string RegionName(const Run& run, int r);
// The full name of the short name `own` in one map of the names file.
std::string FullName(const std::unordered_map<std::string, std::string>& names,
                     const std::string& own);

}  // namespace velk
