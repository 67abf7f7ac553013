#include "control/describe.hpp"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/paths.hpp"

namespace velk {

namespace {

std::string Int(long long v) {
  return std::to_string(v);
}

std::string Real(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

std::string YesNo(int v) {
  return v ? "yes" : "no";
}

// One "  label  value" line, the values starting in one column.
void Setting(std::string& out, std::string_view label, const std::string& value) {
  std::string line = "  ";
  line += label;
  if (line.size() < 40)
    line.resize(40, ' ');
  else
    line += ' ';
  out += line + value + "\n";
}

// Right-aligned in `w` columns.
std::string Col(const std::string& text, std::size_t w) {
  return text.size() >= w ? text : std::string(w - text.size(), ' ') + text;
}

// File names as the files section resolved them (relative names taken from
// the control file's folder).
std::string FileName(const std::string& name) {
  std::string n = Trim(name);
  return n.empty() ? std::string("(none)") : n;
}

// The parameter record, as the control file set it.
void DescribeParameters(const Run& run, std::string& out) {
  const Par& p = run.par;
  const Opt& o = run.opt;
  out += "\nParameters\n";
  Setting(out, "analysis kind", Int(p.kind));
  Setting(out, "number of populations", Int(p.npop));
  Setting(out, "number of characters", Int(p.nchar));
  Setting(out, "mixture sample size", Int(p.sample_size));
  Setting(out, "number of resamples", Int(p.nresamples));
  Setting(out, "maximum number of iterations", Int(p.max_iterations));
  Setting(out, "random seed", Int(p.seed));
  const std::string from_file = "from the mixture file";
  Setting(out, "maximum number of genotypes",
          p.genotypes_given ? Int(p.max_genotypes) : from_file);
  Setting(out, "number of hierarchy levels", Int(p.nlevels));
  Setting(out, "number of regions", Int(p.nregions));
  Setting(out, "largest number of types", Int(p.max_types));
  Setting(out, "number of classes", Int(p.nclasses));
  Setting(out, "maximum number of classes", p.classes_given ? Int(p.max_classes) : from_file);
  Setting(out, "maximum missing characters", Int(p.max_missing));
  Setting(out, "confidence level", Int(p.confidence));
  Setting(out, "second random seed", Int(p.seco));
  Setting(out, "estimate convergence tolerance", Real(p.eps));
  Setting(out, "likelihood tolerance", Real(p.ftol));
  Setting(out, "guaranteed percent of maximum", Real(p.gpa));
  Setting(out, "IRLS switch threshold", Real(p.irls_switch));
  Setting(out, "genotype tolerance",
          p.geno_tol == p.geno_tol ? Real(p.geno_tol) : "not set (probability 0 only)");
  const bool scenarios = !Trim(run.files.scenarios).empty();
  if (scenarios && o.within_dirichlet)
    Setting(out, "Dirichlet concentration", Real(p.dirichlet_concentration));

}

// The switches of the options section.
void DescribeOptions(const Run& run, std::string& out) {
  const Opt& o = run.opt;
  out += "\nOptions\n";
  const bool scenarios = !Trim(run.files.scenarios).empty();
  Setting(out, "estimation run", YesNo(o.estimation));
  Setting(out, "compute confidence intervals", YesNo(o.compute_ci));
  Setting(out, "resample mixture", YesNo(o.resample_mixture));
  Setting(out, "resample baseline", YesNo(o.resample_baseline));
  Setting(out, "print population probabilities", YesNo(o.print_populations));
  Setting(out, "compute jackknife", YesNo(o.compute_jackknife));
  Setting(out, "print genotype probabilities", YesNo(o.print_genotypes));
  Setting(out, "print baseline summary", YesNo(o.print_baseline));
  Setting(out, "print condensed mixture", YesNo(o.print_mixture));
  Setting(out, "IRLS allowed", YesNo(o.irls));
  Setting(out, "print resample estimates", YesNo(o.print_resamples));
  Setting(out, "print iterations", YesNo(o.print_iterations));
  Setting(out, "studentized bootstrap intervals", YesNo(o.studentized));
  Setting(out, "print resample likelihoods", YesNo(o.print_likelihoods));
  Setting(out, "external reference proportions", YesNo(o.external_reference));
  Setting(out, "Rannala-Mountain model", YesNo(o.rannala_mountain));
  if (o.predictive) Setting(out, "predictive genotype model", YesNo(o.predictive));
  if (o.bayesian) {
    Setting(out, "Bayesian estimate", YesNo(o.bayesian));
    Setting(out, "prior by region", YesNo(o.prior_by_region ? 1 : 0));
  }
  if (o.bias_corrected) Setting(out, "bias-corrected regions", YesNo(o.bias_corrected));
  Setting(out, "Pella-Masuda model", YesNo(o.pella_masuda));
  Setting(out, "print tables", YesNo(o.print_tables));
  Setting(out, "compute all likelihood intervals", YesNo(o.all_likelihood_intervals));
  Setting(out, "hundred percent simulations",
          !o.hundred_percent ? std::string("no")
                             : (o.hundred_by_region ? "yes, by region" : "yes, by population"));
  Setting(out, "leave-one-out", YesNo(o.leave_one_out ? 1 : 0));
  Setting(out, "simulated individuals", o.held_out ? "held out" : "in sample");
  if (scenarios) {
    Setting(out, "scenario units", o.scenarios_by_region ? "regions" : "populations");
    Setting(out, "within-region shares", o.within_dirichlet ? "Dirichlet" : "equal");
  }

}

// The files and the lines the reader did not understand.
void DescribeFiles(const Run& run, std::string& out) {
  out += "\nFiles\n";
  const bool scenarios = !Trim(run.files.scenarios).empty();
  Setting(out, "baseline file", FileName(run.files.baseline));
  Setting(out, "mixture file", FileName(run.files.mixture));
  Setting(out, "population file folder", FileName(run.files.path));
  Setting(out, "reference individuals file", FileName(run.files.reference));
  if (scenarios) Setting(out, "scenarios file", FileName(run.files.scenarios));
  Setting(
      out, "output base name",
      Trim(run.files.output) == "USER" ? std::string("(none)") : FileName(run.files.output));

  const std::vector<ControlLine>& lines = run.parse.not_understood;
  out += "\nLines not understood: " + (lines.empty() ? std::string("none") : Int(lines.size())) +
         "\n";
  for (const ControlLine& l : lines) out += Col(Int(l.line), 6) + "  " + l.text + "\n";

}

// The characters, populations and regions tables.
void DescribeTables(const Run& run, std::string& out) {
  const Par& p = run.par;
  out += "\nCharacters: " + Int(run.chars.Size()) + "\n";
  if (!run.chars.Empty()) {
    out += "     #     ID  types  ploidy  name\n";
    for (int i = 1; i <= run.chars.Size(); ++i) {
      const Character& c = run.chars(i);
      out += Col(Int(i), 6) + Col(Int(c.id), 7) + Col(Int(c.ntypes), 7) + Col(Int(c.ploidy), 8) +
             "  " + Trim(c.name) + "\n";
    }
  }

  out += "\nPopulations: " + Int(run.pops.Size()) + "\n";
  if (!run.pops.Empty()) {
    out += "     #     ID    estimate  lev1  lev2  lev3  name | file\n";
    for (int i = 1; i <= run.pops.Size(); ++i) {
      const Population& q = run.pops(i);
      out += Col(Int(i), 6) + Col(Int(q.id), 7) + Col(Real(q.estimate), 12) +
             Col(Int(q.level[0]), 6) + Col(Int(q.level[1]), 6) + Col(Int(q.level[2]), 6) + "  " +
             Trim(q.name) + " | " + Trim(q.file) + "\n";
    }
  }

  out += "\nRegions: " + Int(p.nregions) + "\n";
  const Regions& g = run.regions;
  if (p.nregions > 0) {
    out += "     #  level  label  size  parent  name | members\n";
    int first = 1;  // members of region r follow those of regions 1 .. r-1
    for (int r = 1; r <= p.nregions; ++r) {
      auto at = [r](const Vec<int>& v) { return r <= v.Size() ? v(r) : 0; };
      int size = at(g.size);
      std::string name = r <= g.name.Size() ? Trim(g.name(r)) : std::string();
      std::string members;
      for (int k = first; k < first + size && k <= g.members.Size(); ++k) {
        if (!members.empty()) members += ' ';
        members += Int(g.members(k));
      }
      first += size;
      out += Col(Int(r), 6) + Col(Int(at(g.level)), 7) + Col(Int(at(g.label)), 7) +
             Col(Int(size), 6) + Col(Int(at(g.parent)), 8) + "  " + name + " | " + members + "\n";
    }
  }
}

}  // namespace

std::string Describe(const Run& run) {
  std::string out;
  out += std::string("Analysis: ") + (run.par.kind == 1 ? "estimation" : "simulation") + "\n";
  out += "Title: " + Trim(run.title) + "\n";

  DescribeParameters(run, out);
  DescribeOptions(run, out);
  DescribeFiles(run, out);
  DescribeTables(run, out);
  return out;
}

}  // namespace velk
