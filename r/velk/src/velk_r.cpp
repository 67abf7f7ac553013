// The package's entry into the engine: writes a data frame's columns as the
// import's two-column table, runs the import and control files in process, and
// hands back their messages. The R side shapes the tables.
#include <Rcpp.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "import/import.hpp"
#include "run/velk.hpp"

namespace {

// A CSV field as the table reader reads it back: quoted when it holds a
// separator, a quote or a line end; a missing value is NA.
void AppendField(std::string& line, SEXP value) {
  if (value == NA_STRING) {
    line += "NA";
    return;
  }
  const char* text = CHAR(value);
  const std::string field(text);
  if (field.find_first_of(",\"\r\n") == std::string::npos) {
    line += field;
    return;
  }
  line += '"';
  for (char c : field) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

Rcpp::DataFrame MessageFrame(const std::vector<int>& numbers, const std::vector<int>& severities,
                             const std::vector<std::string>& texts) {
  return Rcpp::DataFrame::create(Rcpp::Named("number") = numbers,
                                 Rcpp::Named("severity") = severities,
                                 Rcpp::Named("text") = texts,
                                 Rcpp::Named("stringsAsFactors") = false);
}

}  // namespace

// Writes the character columns `columns` under `header` to `path`, one row
// per element; false when the file cannot be written whole.
// [[Rcpp::export(.velk_write_table)]]
bool WriteTable(Rcpp::CharacterVector header, Rcpp::List columns, std::string path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::string line;
  for (R_xlen_t c = 0; c < header.size(); ++c) {
    if (c > 0) line += ',';
    AppendField(line, header[c]);
  }
  line += '\n';
  const R_xlen_t ncol = columns.size();
  std::vector<Rcpp::CharacterVector> cols;
  cols.reserve(ncol);
  for (R_xlen_t c = 0; c < ncol; ++c) cols.emplace_back(columns[c]);
  const R_xlen_t nrow = ncol == 0 ? 0 : cols[0].size();
  bool ok = true;
  for (R_xlen_t r = 0; r < nrow && ok; ++r) {
    for (R_xlen_t c = 0; c < ncol; ++c) {
      if (c > 0) line += ',';
      AppendField(line, cols[c][r]);
    }
    line += '\n';
    if (line.size() > (1u << 20)) {
      ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
      line.clear();
    }
  }
  if (ok) ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
  return std::fclose(file) == 0 && ok;
}

// Runs the import of `input` (and `mixture`, when not empty) to `out`
// (DIR/NAME): its status, the control files of its analyses and its messages
// as the command line prints them.
// [[Rcpp::export(.velk_import)]]
Rcpp::List RunImport(std::string input, std::string mixture, std::string regions,
                     std::string out, bool pool) {
  velk::SilentPlatform platform;
  velk::ImportRequest request;
  request.input = input;
  request.mixture = mixture;
  request.regions = regions;
  request.out = out;
  request.pool = pool;
  request.platform = &platform;
  const velk::ImportOutcome outcome = velk::Import(request);
  std::vector<int> numbers, severities;
  std::vector<std::string> texts;
  for (const velk::ImportMessage& m : outcome.messages) {
    numbers.push_back(m.number);
    severities.push_back(m.number >= 2000 ? 2 : (m.number >= 1000 ? 1 : 0));
    texts.push_back(velk::FormatImportMessage(m));
  }
  return Rcpp::List::create(Rcpp::Named("status") = outcome.status,
                            Rcpp::Named("analyses") = outcome.analyses,
                            Rcpp::Named("written") = outcome.written,
                            Rcpp::Named("messages") = MessageFrame(numbers, severities, texts));
}

// Runs one control file: how it ended, its output base and its messages
// (severity 0 note, 1 warning or error, 2 stopping).
// [[Rcpp::export(.velk_run)]]
Rcpp::List RunControlFile(std::string control_file, int threads) {
  velk::Process process;
  velk::SilentPlatform platform;
  velk::Request request;
  request.control_file = control_file;
  request.threads = threads;
  const velk::Outcome outcome = velk::Velk(process, platform, request);
  std::vector<int> numbers, severities;
  std::vector<std::string> texts;
  for (const velk::RunMessage& m : outcome.messages) {
    numbers.push_back(m.number);
    severities.push_back(m.severity);
    texts.push_back(m.text);
  }
  return Rcpp::List::create(Rcpp::Named("aborted") = outcome.aborted,
                            Rcpp::Named("status") = outcome.status,
                            Rcpp::Named("output_base") = outcome.output_base,
                            Rcpp::Named("log") = outcome.log_name,
                            Rcpp::Named("messages") = MessageFrame(numbers, severities, texts));
}
