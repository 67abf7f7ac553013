// The group builder: turns the hierarchy labels of the populations into the
// region table, regions numbered level by level and by increasing label.
#include <algorithm>
#include <vector>

#include "control/sections.hpp"
#include "core/error.hpp"

namespace velk {

void Setclv(Run& run) {
  const int np = run.par.npop;
  const int nlevels = run.par.nlevels;
  const int capacity = np * nlevels + 1;
  Regions& reg = run.regions;
  reg.level.Resize(capacity, 0);
  reg.label.Resize(capacity, 0);
  reg.size.Resize(capacity, 0);
  reg.parent.Resize(capacity, 0);
  reg.members.Resize(capacity, 0);

  int nreg = 0;
  int nmembers = 0;
  int levels_used = 0;
  for (int l = 1; l <= nlevels; ++l) {
    std::vector<int> labels;
    for (int i = 1; i <= np; ++i) {
      int label = run.pops(i).level[l - 1];
      if (label > 0) labels.push_back(label);
    }
    std::sort(labels.begin(), labels.end());
    labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
    if (!labels.empty()) ++levels_used;

    const int first = nreg + 1;
    nreg += static_cast<int>(labels.size());
    if (nreg > np) {
      Error(run, 3023, {.a1 = "groups", .n1 = np});
      return;
    }
    for (int r = first; r <= nreg; ++r) {
      const int label = labels[static_cast<std::size_t>(r - first)];
      reg.level(r) = l;
      reg.label(r) = label;
      int parent_label = 0;
      for (int i = 1; i <= np; ++i) {
        if (run.pops(i).level[l - 1] != label) continue;
        if (nmembers >= np * nlevels) {
          Error(run, 3023, {.a1 = "group indicies", .n1 = np * nlevels});
          return;
        }
        reg.members(++nmembers) = i;
        ++reg.size(r);
        if (l > 1 && parent_label == 0 && run.pops(i).level[l - 2] > 0)
          parent_label = run.pops(i).level[l - 2];
      }
      // The parent is the region of the level above named by the first member
      // that has a label there.
      if (parent_label > 0)
        for (int q = 1; q < first; ++q)
          if (reg.level(q) == l - 1 && reg.label(q) == parent_label) {
            reg.parent(r) = q;
            break;
          }
    }
  }
  run.par.nregions = nreg;
  run.par.nlevels = levels_used;
}

}  // namespace velk
