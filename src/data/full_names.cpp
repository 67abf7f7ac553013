#include "data/full_names.hpp"

#include <fstream>

#include "core/error.hpp"
#include "core/paths.hpp"

namespace velk {

std::vector<std::string> CsvFields(std::string_view line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t k = 0; k < line.size(); ++k) {
    const char c = line[k];
    if (quoted && c == '"' && k + 1 < line.size() && line[k + 1] == '"') {
      fields.back() += '"';
      ++k;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else if (c != '\r' || quoted) {
      fields.back() += c;
    }
  }
  return fields;
}

bool ReadFullNames(Run& run) {
  run.full_names = {};
  if (run.files.names.empty()) return true;
  std::ifstream in(run.files.names, std::ios::binary);
  if (!in) {
    Error(run, 3006, {.a1 = "names", .a2 = run.files.names});
    return false;
  }
  std::string line;
  for (int record = 1; std::getline(in, line); ++record) {
    if (record == 1 || line.empty() || line == "\r") continue;  // the header
    const std::vector<std::string> f = CsvFields(line);
    if (f.size() != 3 || f[1].empty() || f[2].empty()) {
      Error(run, 3011, {.a1 = "names file", .n1 = record});
      return false;
    }
    if (f[0] == "population") run.full_names.population[f[1]] = f[2];
    if (f[0] == "region") run.full_names.region[f[1]] = f[2];
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
