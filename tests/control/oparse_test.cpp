#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/sections.hpp"
#include "support/control_run.hpp"

namespace velk {
namespace {

using test::SectionRun;

// The switches an options section leaves on, by name ("jack" is on by default).
std::string On(const Opt& o) {
  const std::pair<const char*, bool> flags[] = {{"ci", o.compute_ci},
                                                {"rmix", o.resample_mixture},
                                                {"rbase", o.resample_baseline},
                                                {"pop", o.print_populations},
                                                {"jack", o.compute_jackknife},
                                                {"gen", o.print_genotypes},
                                                {"bsl", o.print_baseline},
                                                {"cmx", o.print_mixture},
                                                {"irls", o.irls},
                                                {"rsm", o.print_resamples},
                                                {"itr", o.print_iterations},
                                                {"stud", o.studentized},
                                                {"like", o.print_likelihoods},
                                                {"ext", o.external_reference},
                                                {"rm", o.rannala_mountain},
                                                {"pm", o.pella_masuda},
                                                {"tables", o.print_tables},
                                                {"all", o.all_likelihood_intervals}};
  std::string on;
  for (const auto& [name, set] : flags)
    if (set) on.append(on.empty() ? "" : " ").append(name);
  return on;
}

// Free sentences: comments and blank lines pass, the first keyword decides, a
// line that sets nothing is noted (108); a simulation clears the mixture's switches.
TEST(Oparse, SwitchesFromFreeSentences) {
  const std::string sim_lines =
      "Resample mixture: yes\nResample baseline: yes\nPrint genotype probabilities: yes\n"
      "Print population probabilities: yes\nPrint mixture: yes\nCompute confidence: yes\n"
      "Print baseline: yes\nIRLS: yes\n* Parameters\n";
  struct Case {
    std::string text;
    int estimation;
    const char* on;
    int code;
  };
  // clang-format off
  const Case cases[] = {
      {"/ Print baseline summary: no\r\nPlease RESAMPLE the mixture: Yes\r\n"
       "Resample baseline frequencies: True\r\n\r\nPrint the baseline summary: yes  \r\n"
       "Print condensed mixture: y\r\nPrint conditional stock probabilities: on\r\n"
       "Print conditional genotype probabilities: T\r\nPrint bootstrap estimates: true\r\n"
       "Print iteration history: yes\r\nPrint resample likelihoods: yes\r\n"
       "Compute confidence intervals: yes\r\nCompute jackknife: OFF\r\n"
       "Compute studentized intervals: yes\r\nCompute external reference: yes\r\n"
       "IRLS: on\r\nPella-Masuda model: yes\r\n * Parameters\r\n", 1,
       "ci rmix rbase pop gen bsl cmx irls rsm itr stud like ext pm", 0},
      {"Resample printing of iterations: yes\n"   // "resa" has none of its own: on to "prin"
       "Compute and resample the mixture: yes\n"  // "comp" ends the line anyway
       "Print baseline\n"                         // the keyword ends the line: nothing
       "Print: mixture\nRanala-Mountain model: yes\n"  // misspelt
       "Compute standard errors: yes\n* Parameters\n", 1, "jack itr", 108},
      // Rannala-Mountain given first rules Pella-Masuda out; given after, both stand.
      {"Rannala-Mountain model: yes\nPella-Masuda model: yes\n* Parameters\n", 1, "jack rm", 0},
      {"Pella-Masuda model: yes\nRannala-Mountain model: yes\n* Parameters\n", 1, "jack rm pm", 0},
      {sim_lines, 0, "rbase bsl irls", 0},
      {sim_lines, 1, "ci rmix rbase pop jack gen bsl cmx irls", 0},
      // The switches beyond the record; an "all ... like" line names no other "comp" switch.
      {"IRLS: .TRUE.\nPrint tables: TRUE\nPrint mixture: .false.\n* Parameters\n", 1,
       "jack irls tables", 0},  // the dotted forms
      {"Print tables: yes\n* Parameters\n", 1, "jack tables", 0},
      {"Print tables: no\n* Parameters\n", 1, "jack", 0},
      {"Compute all likelihood intervals: yes\n* Parameters\n", 1, "jack all", 0},
      {"Compute ALL likelihood confidence intervals: yes\n* Parameters\n", 1, "jack all", 0},
      {"Compute likelihood confidence intervals: yes\n* Parameters\n", 1, "ci jack", 0},
      {"Compute all confidence intervals: yes\n* Parameters\n", 1, "ci jack", 0},
      {"Compute all likelihood intervals: yes\nPrint tables: yes\n* Parameters\n", 0, "tables", 0},
      // A bad logical stops at its record; the end of the file clears nothing.
      {"IRLS: on\n\nCompute confidence intervals: maybe\nPrint mixture: yes\n* Run\n", 1,
       "ci jack irls", 3011},
      {"Print mixture: yes\n", 0, "jack cmx", 3014},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SectionRun s(c.text);
    s.run.opt.estimation = c.estimation;
    Oparse(s.run);
    EXPECT_EQ(On(s.run.opt), c.on);
    EXPECT_EQ(s.run.error.last_code, c.code);
    EXPECT_EQ(s.run.error.stop, c.code > 3000 ? 1 : 0);
    EXPECT_TRUE(c.code || s.run.parse.last_type == 0);  // the header is handed back
  }
  SectionRun s(cases[1].text);  // lines that set nothing are kept with their record numbers
  Oparse(s.run);
  std::vector<int> noted;
  for (const ControlLine& l : s.run.parse.not_understood) noted.push_back(l.line);
  EXPECT_EQ(noted, (std::vector<int>{4, 5, 6, 7, 8}));
  EXPECT_EQ(s.run.parse.not_understood[3].text, "Ranala-Mountain model: yes");
}

}  // namespace
}  // namespace velk
