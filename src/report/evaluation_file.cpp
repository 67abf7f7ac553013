#include "report/evaluation_file.hpp"

#include "core/report_file.hpp"
#include "core/reports.hpp"

namespace velk {

namespace {

// The nested bootstrap's slot (.rnc), never written otherwise.
constexpr int kEvaluationSlot = 13;

}  // namespace

bool OpenEvaluationReport(Run& run, std::string_view extension, std::string_view report_name,
                          std::string_view status_phrase) {
  return OpenReport(run, kEvaluationSlot, extension, report_name, status_phrase);
}

Unit& EvaluationUnit(Run& run) {
  return run.output.unit[kEvaluationSlot];
}

bool CloseEvaluationReport(Run& run, std::string_view extension) {
  if (!CloseReport(run, kEvaluationSlot)) return false;
  // The slot's own file (.rnc) does not exist: the report is listed by its extension.
  run.output.written[kEvaluationSlot] = 0;
  MarkTableFile(run.output, extension);
  return true;
}

}  // namespace velk
