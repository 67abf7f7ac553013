#include "report/prtloo.hpp"

#include <cmath>
#include <vector>

#include "core/fields.hpp"
#include "core/paths.hpp"
#include "core/report_file.hpp"
#include "core/reports.hpp"
#include "core/run.hpp"
#include "data/full_names.hpp"
#include "report/csv.hpp"
#include "report/prtfrq.hpp"

namespace velk {

namespace {

constexpr const char* kRow = "(1x,i3,2x,a30,1x,i6,2(2x,f6.4,2x),1x,a30,1x,f6.4)";

// One group of individuals (a population or a region): how many, how many
// assigned back to their population and region, and where the others went.
struct Tally {
  int fish = 0, own_pop = 0, own_region = 0;
  std::vector<int> wrong;  // per destination (1-based)
};

void Row(Unit& out, int number, const std::string& name, const Tally& t,
         const std::vector<std::string>& destinations) {
  const double n = t.fish > 0 ? t.fish : 1.0;
  int worst = 0;
  for (std::size_t d = 1; d < t.wrong.size(); ++d)
    if (t.wrong[d] > (worst > 0 ? t.wrong[static_cast<std::size_t>(worst)] : 0))
      worst = static_cast<int>(d);
  const std::string where = worst > 0 ? destinations[static_cast<std::size_t>(worst)] : "none";
  out.Write(kRow, {number, Padded(name, kNameWidth), t.fish, t.own_pop / n, t.own_region / n,
                   Padded(where, kNameWidth),
                   worst > 0 ? t.wrong[static_cast<std::size_t>(worst)] / n : 0.0});
}

}  // namespace

void Prtloo(Run& run, const ReferenceFish& fish, const SelfAssignment& a) {
  const int np = run.par.npop;
  const int nr = a.nregions1;
  std::vector<Tally> pops(static_cast<std::size_t>(np) + 1),
      regions(static_cast<std::size_t>(nr) + 1);
  for (Tally& t : pops) t.wrong.assign(static_cast<std::size_t>(np) + 1, 0);
  for (Tally& t : regions) t.wrong.assign(static_cast<std::size_t>(nr) + 1, 0);
  Tally all;
  int unassigned = 0;
  for (int n = 1; n <= fish.count; ++n) {
    const int j = fish.pop(n);
    const int rj = a.region_of(j);
    const int to = a.assigned(n);
    const int rto = a.region(n);
    if (to == 0) ++unassigned;
    Tally& p = pops[static_cast<std::size_t>(j)];
    for (Tally* t : {&p, &all, rj > 0 ? &regions[static_cast<std::size_t>(rj)] : nullptr}) {
      if (t == nullptr) continue;
      ++t->fish;
      if (to == j) ++t->own_pop;
      if (rj > 0 && rto == rj) ++t->own_region;
    }
    if (to > 0 && to != j) ++p.wrong[static_cast<std::size_t>(to)];
    if (rj > 0 && rto > 0 && rto != rj)
      ++regions[static_cast<std::size_t>(rj)].wrong[static_cast<std::size_t>(rto)];
  }
  std::vector<std::string> pop_names(static_cast<std::size_t>(np) + 1),
      region_names(static_cast<std::size_t>(nr) + 1);
  for (int i = 1; i <= np; ++i) pop_names[static_cast<std::size_t>(i)] = Trim(run.pops(i).name);
  for (int r = 1; r <= nr; ++r)
    region_names[static_cast<std::size_t>(r)] = Trim(run.regions.name(r));

  if (!OpenReport(run, Report::kLeaveOneOut, "Leave-one-out", "Leave-one-out output to ")) return;
  Unit& out = run.output.unit[Report::kLeaveOneOut];
  out.Write("(/2x,70a)", std::vector<Item>(70, "_"));
  out.Write("(/2x,a,a,a)", {"Leave-one-out Self-assignment", ": ", Padded(run.title, kTitleWidth)});
  out.Write("(/2x,a,i12)", {"Reference individuals       :", fish.count});
  if (unassigned > 0) out.Write("(2x,a,i12)", {"Not assigned (probability 0):", unassigned});
  out.Write("(2x,a,1x,a)", {"Prior proportions           :", "equal"});
  WriteFrequencyModel(run, out);

  const char* header = "(/t46,a,t56,a,/6x,a,t40,a,t46,a,t56,a,t65,a,t96,a)";
  out.Write(header, {"Correct", "Correct", "Population", "Fish", "Pop.", "Region",
                     "Most common wrong population", "Share"});
  for (int i = 1; i <= np; ++i)
    Row(out, i, pop_names[static_cast<std::size_t>(i)], pops[static_cast<std::size_t>(i)],
        pop_names);
  if (nr > 0) {
    out.Write(header, {"Correct", "Correct", "Region", "Fish", "Pop.", "Region",
                       "Most common wrong region", "Share"});
    for (int r = 1; r <= nr; ++r)
      Row(out, r, region_names[static_cast<std::size_t>(r)], regions[static_cast<std::size_t>(r)],
          region_names);
  }
  const double n = all.fish > 0 ? all.fish : 1.0;
  out.Write("(/6x,a30,1x,i6,2(2x,f6.4,2x))", {Padded("All reference individuals", kNameWidth),
                                              all.fish, all.own_pop / n, all.own_region / n});
  if (nr > 0)
    out.Write("(/6x,a/6x,a)", {"A fish goes to the region of its largest summed posterior, which",
                               "need not hold its likeliest population: Correct Region can be lower."});
  out.Write("(/70a)", std::vector<Item>(70, "_"));
  if (!CloseReport(run, Report::kLeaveOneOut) || !run.opt.print_tables) return;

  // The table carries the full names of the names file.
  for (int i = 1; i <= np; ++i) pop_names[static_cast<std::size_t>(i)] = PopulationName(run, i);
  for (int r = 1; r <= nr; ++r) region_names[static_cast<std::size_t>(r)] = RegionName(run, r);
  CsvTable table({"id", "population", "region", "assigned_population", "assigned_region",
                  "posterior_population", "posterior_region", "z"});
  for (int k = 1; k <= fish.count; ++k) {
    const int j = fish.pop(k);
    const int to = a.assigned(k);
    table.Text(fish.id[static_cast<std::size_t>(k) - 1])
        .Text(pop_names[static_cast<std::size_t>(j)]);
    table.Text(a.region_of(j) > 0 ? region_names[static_cast<std::size_t>(a.region_of(j))] : "");
    table.Text(to > 0 ? pop_names[static_cast<std::size_t>(to)] : "");
    table.Text(a.region(k) > 0 ? region_names[static_cast<std::size_t>(a.region(k))] : "");
    table.Real(to > 0 ? a.posterior(to, k) : std::nan(""));
    table.Real(a.region_posterior(k)).Real(a.z(k));
    table.EndRow();
  }
  WriteCsvTable(run, ".loo.csv", "Leave-one-out table", table);
}

}  // namespace velk
