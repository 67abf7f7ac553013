#pragma once
// The scenarios file of a scenario simulation: compositions of known truth,
// each estimated over the run's resamples.
//
// One scenario a line: its name, a colon, then comma-separated pairs of a unit
// and its true share, the unit by name (the control file's, or the names
// file's full name) or by number (a population, or a region of the first level
// with "Scenario units: regions"):
//
//   Fishery mix : Upper river = 0.6, Lower river = 0.4
//   Even split  : 1 = 0.5, 2 = 0.5
//
// Lines with "\" or "/" in column 1 are comments, blank lines are passed over.
// Units not named have share 0. A unit written as digits alone is a number.
// Every scenario's shares lie in 0..1 and sum to 1 within 1e-6.
#include <string>
#include <vector>

#include "core/array.hpp"

namespace velk {

struct Run;

struct Scenario {
  std::string name;   // as written, trimmed
  int line = 0;       // its line of the file
  Vec<double> share;  // per unit: its true share
};

struct ScenarioList {
  bool by_region = false;  // units: regions of the first level (else populations)
  int nunits = 0;
  std::vector<Scenario> list;
};

// Reads run.files.scenarios into `scenarios`, naming the units by the run's
// populations or regions of the first level (`by_region`, `nunits` set by the
// caller). Every faulty line is an error naming the file, line and field
// (2063-2068), a file without scenarios 2069; then fatal 3010. A file that
// cannot be opened is fatal 3006.
void ReadScenarios(Run& run, ScenarioList& scenarios);

}  // namespace velk
