#pragma once
// The baseline evaluation reports (.hps of the hundred percent simulations,
// .loo of the leave-one-out self-assignment). They are written on the report
// slot of the nested bootstrap, which no run writes, one after the other, and
// are listed with the tables (kTableFiles) under their own extensions.
#include <string_view>

#include "core/run.hpp"

namespace velk {

// Opens the evaluation report: the output base name followed by `extension`,
// as every report is opened (note 104, status line, message 3030 on failure).
bool OpenEvaluationReport(Run& run, std::string_view extension, std::string_view report_name,
                          std::string_view status_phrase);
Unit& EvaluationUnit(Run& run);
// Closes it, keeping the file, and flags it as written under `extension`;
// message 3038 when it could not be written whole.
bool CloseEvaluationReport(Run& run, std::string_view extension);

}  // namespace velk
