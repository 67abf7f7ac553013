#include <gtest/gtest.h>

#include <vector>

#include "control/sections.hpp"
#include "support/control_run.hpp"

namespace velk {
namespace {

using test::SectionRun;

Opt Read(SectionRun& s, int estimation = 1) {
  s.run.opt.estimation = estimation;
  Oparse(s.run);
  return s.run.opt;
}

// Free sentences: comments and blank lines pass, the first keyword decides.
TEST(Oparse, FreeSentences) {
  SectionRun free(
      "/ Print baseline summary: no\r\nPlease RESAMPLE the mixture: Yes\r\n"
      "Resample baseline frequencies: True\r\n\r\nPrint the baseline summary: yes  \r\n"
      "Print condensed mixture: y\r\nPrint conditional stock probabilities: on\r\n"
      "Print conditional genotype probabilities: T\r\nPrint bootstrap estimates: true\r\n"
      "Print iteration history: yes\r\nPrint resample likelihoods: yes\r\n"
      "Compute confidence intervals: yes\r\nCompute jackknife: OFF\r\n"
      "Compute studentized intervals: yes\r\nCompute external reference: yes\r\n"
      "IRLS: on\r\nPella-Masuda model: yes\r\n * Parameters\r\n");
  Opt a = Read(free);
  EXPECT_EQ(free.run.error.stop, 0);
  for (auto f :
       {&Opt::compute_ci, &Opt::resample_mixture, &Opt::resample_baseline, &Opt::print_populations,
        &Opt::print_genotypes, &Opt::print_baseline, &Opt::print_mixture, &Opt::irls,
        &Opt::print_resamples, &Opt::print_iterations, &Opt::studentized, &Opt::print_likelihoods,
        &Opt::external_reference, &Opt::pella_masuda})
    EXPECT_EQ(a.*f, 1);
  EXPECT_EQ(a.compute_jackknife, 0);
  EXPECT_EQ(a.rannala_mountain, 0);
  EXPECT_EQ(free.run.parse.last_type, 0);
  EXPECT_EQ(free.run.parse.pos, 3);
}

TEST(Oparse, KeywordOrderEndOfLineAndModelOrder) {
  SectionRun s(
      "Resample printing of iterations: yes\n"   // "resa" has none of its own: on to "prin"
      "Compute and resample the mixture: yes\n"  // "comp" ends the line anyway
      "Print baseline\n"                         // the keyword ends the line: nothing
      "Print: mixture\n"
      "Ranala-Mountain model: yes\n"     // misspelt
      "Compute standard errors: yes\n"  // no such thing to compute
      "* Parameters\n");
  Opt o = Read(s);
  EXPECT_EQ(s.run.error.stop, 0);
  // Every line that set nothing is kept with its record number, and noted.
  std::vector<int> noted;
  for (const ControlLine& l : s.run.parse.not_understood) noted.push_back(l.line);
  EXPECT_EQ(noted, (std::vector<int>{4, 5, 6, 7, 8}));
  EXPECT_EQ(s.run.parse.not_understood[3].text, "Ranala-Mountain model: yes");
  EXPECT_EQ(s.run.error.last_code, 108);
  EXPECT_EQ(o.print_iterations, 1);
  EXPECT_EQ(o.resample_mixture, 0);
  EXPECT_EQ(o.print_baseline, 0);
  EXPECT_EQ(o.print_mixture, 0);

  // Rannala-Mountain given first rules Pella-Masuda out; given after, both stand.
  SectionRun rm("Rannala-Mountain model: yes\nPella-Masuda model: yes\n* Parameters\n");
  o = Read(rm);
  EXPECT_EQ(o.rannala_mountain, 1);
  EXPECT_EQ(o.pella_masuda, 0);
  SectionRun pm("Pella-Masuda model: yes\nRannala-Mountain model: yes\n* Parameters\n");
  o = Read(pm);
  EXPECT_EQ(o.rannala_mountain, 1);
  EXPECT_EQ(o.pella_masuda, 1);
}

TEST(Oparse, SimulationClearsMixtureSwitches) {
  const char* lines =
      "Resample mixture: yes\nResample baseline: yes\nPrint genotype probabilities: yes\n"
      "Print population probabilities: yes\nPrint mixture: yes\nCompute confidence: yes\n"
      "Print baseline: yes\nIRLS: yes\n* Parameters\n";
  SectionRun sim(lines), est(lines);
  Opt o = Read(sim, 0);
  for (auto f : {&Opt::print_genotypes, &Opt::print_populations, &Opt::print_mixture,
                 &Opt::compute_ci, &Opt::compute_jackknife, &Opt::resample_mixture})
    EXPECT_EQ(o.*f, 0);
  for (auto f : {&Opt::resample_baseline, &Opt::print_baseline, &Opt::irls}) EXPECT_EQ(o.*f, 1);
  o = Read(est, 1);
  for (auto f : {&Opt::print_genotypes, &Opt::compute_jackknife, &Opt::resample_mixture})
    EXPECT_EQ(o.*f, 1);
}

// The switches beyond the record; an "all ... like" line names no other "comp" switch.
TEST(Oparse, TablesAndAllLikelihoodIntervals) {
  struct Case {
    const char* line;
    bool tables, all;
    int ci;
  } cases[] = {
      {"Print tables: yes\n", true, false, 0},
      {"Print tables: no\n", false, false, 0},
      {"Compute all likelihood intervals: yes\n", false, true, 0},
      {"Compute ALL likelihood confidence intervals: yes\n", false, true, 0},
      {"Compute likelihood confidence intervals: yes\n", false, false, 1},
      {"Compute all confidence intervals: yes\n", false, false, 1},
  };
  for (const Case& c : cases) {
    SectionRun s(std::string(c.line) + "* Parameters\n");
    Opt o = Read(s);
    EXPECT_EQ(s.run.error.last_code, 0) << c.line;
    EXPECT_EQ(o.print_tables, c.tables) << c.line;
    EXPECT_EQ(o.all_likelihood_intervals, c.all) << c.line;
    EXPECT_EQ(o.compute_ci, c.ci) << c.line;
  }
  SectionRun sim("Compute all likelihood intervals: yes\nPrint tables: yes\n* Parameters\n");
  Opt o = Read(sim, 0);
  EXPECT_FALSE(o.all_likelihood_intervals);
  EXPECT_TRUE(o.print_tables);
}

TEST(Oparse, BadLogicalOrEndOfFileStops) {
  SectionRun s("IRLS: on\n\nCompute confidence intervals: maybe\nPrint mixture: yes\n* Run\n");
  Opt o = Read(s);
  EXPECT_EQ(s.run.error.stop, 1);
  EXPECT_EQ(s.run.error.last_code, 3011);
  EXPECT_EQ(s.run.error.a1, "options");
  EXPECT_EQ(s.run.error.n1, 5);
  EXPECT_EQ(o.print_mixture, 0);

  SectionRun eof("Print mixture: yes\n");
  o = Read(eof, 0);
  EXPECT_EQ(eof.run.error.stop, 1);
  EXPECT_EQ(eof.run.error.last_code, 3014);
  EXPECT_EQ(o.print_mixture, 1);  // nothing cleared: the section did not end at a header
}

}  // namespace
}  // namespace velk
