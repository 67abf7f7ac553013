#include "plot_rows.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

namespace velk::gui {

namespace {

std::string Trimmed(const std::string& s) {
  const std::size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

double Top(const PlotRow& r) {
  double top = r.estimate;
  for (double v : {r.normal_hi, r.likelihood_hi})
    if (!std::isnan(v)) top = std::max(top, v);
  return top;
}

}  // namespace

std::vector<PlotRow> PlotRows(const std::vector<EstimateRow>& rows, PlotLevel level,
                              PlotOrder order, double min_share) {
  std::map<int, std::string> regions;
  for (const EstimateRow& r : rows)
    if (r.level == 1) regions[r.id] = Trimmed(r.name);
  const int wanted = level == PlotLevel::kPopulations ? 0 : 1;
  std::vector<PlotRow> out;
  for (const EstimateRow& r : rows) {
    if (r.level != wanted || std::isnan(r.estimate)) continue;
    PlotRow p{Trimmed(r.name), {}, 0, r.estimate, r.normal_lo, r.normal_hi, r.likelihood_lo, r.likelihood_hi};
    if (wanted == 0 && r.parents[0] > 0) {
      p.group = r.parents[0];
      p.region = regions.count(p.group) ? regions[p.group] : std::to_string(p.group);
    }
    if (Top(p) >= min_share) out.push_back(std::move(p));
  }
  if (order == PlotOrder::kByEstimate)
    std::stable_sort(out.begin(), out.end(),
                     [](const PlotRow& a, const PlotRow& b) { return a.estimate > b.estimate; });
  else if (wanted == 0)
    std::stable_sort(out.begin(), out.end(), [](const PlotRow& a, const PlotRow& b) {
      return (a.group == 0 ? 1 << 30 : a.group) < (b.group == 0 ? 1 << 30 : b.group);
    });
  return out;
}

double TickStep(double top, int most) {
  if (!(top > 0) || most < 1) return 1;
  const double raw = top / most;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (m * power >= raw * (1 - 1e-12)) return m * power;
  return 10 * power;
}

namespace {

// The fields of one CSV record from `pos` on (RFC 4180 quoting); `pos` moves past it.
std::vector<std::string> CsvRecord(std::string_view text, std::size_t& pos) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (quoted) {
      if (c != '"') fields.back() += c;
      else if (pos + 1 < text.size() && text[pos + 1] == '"') fields.back() += '"', ++pos;
      else quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\n' || c == '\r') {
      while (pos < text.size() && (text[pos] == '\n' || text[pos] == '\r')) ++pos;
      break;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

double Value(const std::string& s) {
  if (s.empty()) return kNotComputed;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  return *end ? kNotComputed : v;
}

}  // namespace

std::vector<EstimateRow> ReadEstimateTable(std::string_view csv) {
  std::size_t pos = 0;
  const std::vector<std::string> head = CsvRecord(csv, pos);
  std::map<std::string, std::size_t> col;
  for (std::size_t k = 0; k < head.size(); ++k) col[head[k]] = k;
  for (const char* need : {"level", "id", "name", "estimate"})
    if (!col.count(need)) return {};
  std::vector<EstimateRow> rows;
  while (pos < csv.size()) {
    const std::vector<std::string> f = CsvRecord(csv, pos);
    if (f.size() != head.size()) continue;
    auto at = [&](const char* name) { return col.count(name) ? Value(f[col[name]]) : kNotComputed; };
    EstimateRow r;
    r.level = static_cast<int>(at("level"));
    r.id = static_cast<int>(at("id"));
    r.name = f[col["name"]];
    const char* parents[] = {"level1_region", "level2_region", "level3_region"};
    for (int k = 0; k < 3; ++k) {
      const double p = at(parents[k]);
      r.parents[static_cast<std::size_t>(k)] = std::isnan(p) ? 0 : static_cast<int>(p);
    }
    r.estimate = at("estimate"), r.se = at("std_error"), r.cv = at("cv");
    r.normal_lo = at("normal_lower"), r.normal_hi = at("normal_upper");
    r.likelihood_lo = at("likelihood_lower"), r.likelihood_hi = at("likelihood_upper");
    r.p_lo = at("likelihood_lower_p"), r.p_hi = at("likelihood_upper_p"), r.score = at("score");
    rows.push_back(std::move(r));
  }
  return rows;
}

}  // namespace velk::gui
