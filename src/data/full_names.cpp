#include "data/full_names.hpp"

#include <fstream>
#include <iterator>
#include <span>

#include "core/error.hpp"
#include "core/paths.hpp"
#include "data/csv_rows.hpp"

namespace velk {

bool ReadFullNames(Run& run) {
  run.full_names = {};
  if (run.files.names.empty()) return true;
  std::ifstream in(run.files.names, std::ios::binary);
  if (!in) {
    Error(run, 3006, {.a1 = "names", .a2 = run.files.names});
    return false;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int bad = 0;  // the first line of a row without its three fields
  CsvRows rows;
  rows.take = [&](std::span<const std::string> f, int line) {
    if (line == 1 || (f.size() == 1 && f[0].empty())) return;  // the header, a blank line
    if (f.size() != 3 || f[1].empty() || f[2].empty()) {
      if (bad == 0) bad = line;
      return;
    }
    if (f[0] == "population") run.full_names.population[f[1]] = f[2];
    if (f[0] == "region") run.full_names.region[f[1]] = f[2];
  };
  const CsvParse parsed = ParseCsvRows(text, rows);
  if (parsed == CsvParse::kBad && bad == 0) bad = rows.line;
  if (parsed == CsvParse::kNoMemory) {
    Error(run, 3000);
    return false;
  }
  if (bad > 0) {
    Error(run, 3011, {.a1 = "names file", .n1 = bad});
    return false;
  }
  return true;
}

std::string FullName(const std::unordered_map<std::string, std::string>& names,
                     const std::string& own) {
  const auto it = names.find(own);
  return it == names.end() ? own : it->second;
}

std::string PopulationName(const Run& run, int i) {
  return FullName(run.full_names.population, Trim(run.pops(i).name));
}

std::string RegionName(const Run& run, int r) {
  return FullName(run.full_names.region, Trim(run.regions.name(r)));
}

}  // namespace velk
