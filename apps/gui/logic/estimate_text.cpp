#include "estimate_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velk::gui {

namespace {

constexpr EstimateColumn kValueColumns[] = {
    {"Estimate", &EstimateRow::estimate, 4},
    {"Std. error", &EstimateRow::se, 4},
    {"CV", &EstimateRow::cv, -1},
    {"Normal lower", &EstimateRow::normal_lo, 3},
    {"Normal upper", &EstimateRow::normal_hi, 3},
    {"Likelihood lower", &EstimateRow::likelihood_lo, 3},
    {"Likelihood upper", &EstimateRow::likelihood_hi, 3},
    {"P lower", &EstimateRow::p_lo, 3},
    {"P upper", &EstimateRow::p_hi, 3},
    {"Score", &EstimateRow::score, 1},
};

std::string Number(double v, const char* format, int digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, digits, v);
  return buf;
}

std::string Csv(std::string s) {
  if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

}  // namespace

std::vector<EstimateColumn> EstimateColumns(const std::vector<EstimateRow>& rows) {
  std::vector<EstimateColumn> cols{{"Level", nullptr, 0}, {"ID", nullptr, 0}, {"Name", nullptr, 0}};
  for (const EstimateColumn& c : kValueColumns)
    if (std::any_of(rows.begin(), rows.end(), [&c](const EstimateRow& r) { return !std::isnan(r.*c.field); }))
      cols.push_back(c);
  return cols;
}

std::vector<EstimateRow> ShownRows(const std::vector<EstimateRow>& rows, EstimateScope scope) {
  std::vector<EstimateRow> shown;
  for (const EstimateRow& r : rows)
    if (scope == EstimateScope::kBoth || (r.level == 0) == (scope == EstimateScope::kPopulations))
      shown.push_back(r);
  return shown;
}

std::vector<EstimateColumn> ShownColumns(const std::vector<EstimateRow>& shown) {
  std::vector<EstimateColumn> cols{{"Name", nullptr, 0}};
  if (std::any_of(shown.begin(), shown.end(), [](const EstimateRow& r) { return r.level == 0; }))
    cols.push_back({"Region", nullptr, 0});
  std::vector<EstimateColumn> some;
  for (const EstimateColumn& c : kValueColumns) {
    const auto held = std::count_if(shown.begin(), shown.end(),
                                    [&c](const EstimateRow& r) { return !std::isnan(r.*c.field); });
    if (held == static_cast<long>(shown.size()) && held > 0)
      cols.push_back(c);
    else if (held > 0)
      some.push_back(c);
  }
  cols.insert(cols.end(), some.begin(), some.end());
  cols.push_back({"Level", nullptr, 0});
  cols.push_back({"ID", nullptr, 0});
  return cols;
}

std::string RegionOf(const std::vector<EstimateRow>& rows, const EstimateRow& row) {
  if (row.level != 0 || row.parents[0] <= 0) return {};
  for (const EstimateRow& r : rows)
    if (r.level == 1 && r.id == row.parents[0]) {
      std::string name = r.name;
      name.erase(name.find_last_not_of(' ') + 1);
      return name;
    }
  return std::to_string(row.parents[0]);
}

std::string LevelName(int level) {
  return level == 0 ? "Population" : "Region level " + std::to_string(level);
}

std::string CellText(const EstimateRow& row, const EstimateColumn& c) {
  if (!c.field) {
    if (c.heading[0] == 'L') return LevelName(row.level);
    if (c.heading[0] == 'I') return std::to_string(row.id);
    if (c.heading[0] == 'R') return {};  // the region's name needs the other rows: RegionOf
    std::string name = row.name;
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
  }
  const double v = row.*c.field;
  if (std::isnan(v)) return {};
  return c.decimals < 0 ? Number(v, "%.*g", 2) : Number(v, "%.*f", c.decimals);
}

std::string CsvText(const std::vector<EstimateRow>& rows) {
  const std::vector<EstimateColumn> cols = EstimateColumns(rows);
  std::string out;
  for (std::size_t c = 0; c < cols.size(); ++c) {
    if (c) out += ',';
    out += Csv(cols[c].heading);
  }
  out += "\r\n";
  for (const EstimateRow& r : rows) {
    for (std::size_t c = 0; c < cols.size(); ++c) {
      if (c) out += ',';
      const double v = cols[c].field ? r.*cols[c].field : 0;
      out += !cols[c].field ? Csv(CellText(r, cols[c])) : std::isnan(v) ? "" : Number(v, "%.*g", 10);
    }
    out += "\r\n";
  }
  return out;
}

Histogram MakeHistogram(const std::vector<double>& values, int bins) {
  Histogram h;
  double lo = INFINITY, hi = -INFINITY;
  for (double v : values)
    if (!std::isnan(v)) lo = std::min(lo, v), hi = std::max(hi, v);
  if (lo > hi || bins < 1) return h;
  if (hi - lo < 1e-9) {  // every resample alike: one narrow bin around it
    lo -= 0.005;
    hi += 0.005;
  }
  h.low = lo;
  h.width = (hi - lo) / bins;
  h.counts.assign(static_cast<std::size_t>(bins), 0);
  for (double v : values)
    if (!std::isnan(v))
      ++h.counts[static_cast<std::size_t>(std::clamp(static_cast<int>((v - lo) / h.width), 0, bins - 1))];
  return h;
}

}  // namespace velk::gui
