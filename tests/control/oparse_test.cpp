#include <gtest/gtest.h>

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

TEST(Oparse, FreeSentencesReadLikeTerseForms) {
  SectionRun free(
      "/ Print baseline summary: no\r\n"
      "Please RESAMPLE the mixture: Yes\r\n"
      "Resample baseline frequencies: True\r\n"
      "\r\n"
      "Print the baseline summary: yes  \r\n"
      "Print condensed mixture: y\r\n"
      "Print conditional stock probabilities: on\r\n"
      "Print conditional genotype probabilities: T\r\n"
      "Print bootstrap estimates: true\r\n"
      "Print iteration history: yes\r\n"
      "Print resample likelihoods: yes\r\n"
      "Compute confidence intervals: yes\r\n"
      "Compute jackknife: OFF\r\n"
      "Compute studentized intervals: yes\r\n"
      "Compute external reference: yes\r\n"
      "IRLS: on\r\n"
      "Pella-Masuda model: yes\r\n"
      " * Parameters\r\n");
  SectionRun terse(
      "resa mixt y\nresa base y\nprin base y\nprin mixt y\nprin popu y\nprin geno y\n"
      "prin boot y\nprin iter y\nprin like y\ncomp conf y\ncomp jack n\ncomp stud y\n"
      "comp exte y\nirls y\npell y\n*parameters\n");
  Opt a = Read(free), b = Read(terse);
  EXPECT_EQ(free.run.error.stop, 0);
  EXPECT_EQ(a.resample_mixture, 1);
  EXPECT_EQ(a.resample_baseline, 1);
  EXPECT_EQ(a.print_baseline, 1);
  EXPECT_EQ(a.print_mixture, 1);
  EXPECT_EQ(a.print_populations, 1);
  EXPECT_EQ(a.print_genotypes, 1);
  EXPECT_EQ(a.print_resamples, 1);
  EXPECT_EQ(a.print_iterations, 1);
  EXPECT_EQ(a.print_likelihoods, 1);
  EXPECT_EQ(a.compute_ci, 1);
  EXPECT_EQ(a.compute_jackknife, 0);
  EXPECT_EQ(a.studentized, 1);
  EXPECT_EQ(a.external_reference, 1);
  EXPECT_EQ(a.irls, 1);
  EXPECT_EQ(a.rannala_mountain, 0);
  EXPECT_EQ(a.pella_masuda, 1);
  const int Opt::*all[] = {&Opt::compute_ci,         &Opt::resample_mixture,
                           &Opt::resample_baseline,  &Opt::switch5,
                           &Opt::print_populations,  &Opt::compute_jackknife,
                           &Opt::print_genotypes,    &Opt::print_baseline,
                           &Opt::print_mixture,      &Opt::irls,
                           &Opt::print_resamples,    &Opt::print_iterations,
                           &Opt::studentized,        &Opt::print_likelihoods,
                           &Opt::external_reference, &Opt::rannala_mountain,
                           &Opt::pella_masuda};
  for (auto f : all) EXPECT_EQ(a.*f, b.*f);
  EXPECT_EQ(free.run.parse.last_type, 0);
  EXPECT_EQ(free.run.parse.pos, 3);
}

TEST(Oparse, KeywordOrderAndEndOfLine) {
  SectionRun s(
      "Resample printing of iterations: yes\n"   // "resa" has none of its own: on to "prin"
      "Compute and resample the mixture: yes\n"  // "comp" ends the line anyway
      "Print baseline\n"                         // the keyword ends the line: nothing
      "Print: mixture\n"
      "* Parameters\n");
  Opt o = Read(s);
  EXPECT_EQ(s.run.error.last_code, 0);
  EXPECT_EQ(o.print_iterations, 1);
  EXPECT_EQ(o.resample_mixture, 0);
  EXPECT_EQ(o.print_baseline, 0);
  EXPECT_EQ(o.print_mixture, 0);
}

TEST(Oparse, SimulationClearsMixtureSwitches) {
  const char* lines =
      "Resample mixture: yes\nResample baseline: yes\nPrint genotype probabilities: yes\n"
      "Print population probabilities: yes\nPrint mixture: yes\nCompute confidence: yes\n"
      "Print baseline: yes\nIRLS: yes\n* Parameters\n";
  SectionRun sim(lines);
  Opt o = Read(sim, 0);
  EXPECT_EQ(o.print_genotypes, 0);
  EXPECT_EQ(o.print_populations, 0);
  EXPECT_EQ(o.print_mixture, 0);
  EXPECT_EQ(o.compute_ci, 0);
  EXPECT_EQ(o.compute_jackknife, 0);
  EXPECT_EQ(o.resample_mixture, 0);
  EXPECT_EQ(o.resample_baseline, 1);
  EXPECT_EQ(o.print_baseline, 1);
  EXPECT_EQ(o.irls, 1);

  SectionRun est(lines);
  o = Read(est, 1);
  EXPECT_EQ(o.print_genotypes, 1);
  EXPECT_EQ(o.compute_jackknife, 1);
  EXPECT_EQ(o.resample_mixture, 1);
}

TEST(Oparse, RannalaMountainBeforePellaMasuda) {
  SectionRun rm_first("Rannala-Mountain model: yes\nPella-Masuda model: yes\n* Parameters\n");
  Opt o = Read(rm_first);
  EXPECT_EQ(o.rannala_mountain, 1);
  EXPECT_EQ(o.pella_masuda, 0);

  SectionRun pm_first("Pella-Masuda model: yes\nRannala-Mountain model: yes\n* Parameters\n");
  o = Read(pm_first);
  EXPECT_EQ(o.rannala_mountain, 1);
  EXPECT_EQ(o.pella_masuda, 1);
}

TEST(Oparse, BadLogicalIsFatalForItsRecord) {
  SectionRun s("IRLS: on\n\nCompute confidence intervals: maybe\nPrint mixture: yes\n* Run\n");
  Opt o = Read(s);
  EXPECT_EQ(s.run.error.stop, 1);
  EXPECT_EQ(s.run.error.last_code, 3011);
  EXPECT_EQ(s.run.error.a1, "options");
  EXPECT_EQ(s.run.error.n1, 5);
  EXPECT_EQ(o.print_mixture, 0);
}

TEST(Oparse, EndOfFileInsideTheSection) {
  SectionRun s("Print mixture: yes\n");
  Opt o = Read(s, 0);
  EXPECT_EQ(s.run.error.stop, 1);
  EXPECT_EQ(s.run.error.last_code, 3014);
  EXPECT_EQ(o.print_mixture, 1);  // nothing cleared: the section did not end at a header
}

}  // namespace
}  // namespace velk
