#pragma once
// Opening a report file: the output base name followed by the report's
// extension, on the unit of its report slot.
#include <string>
#include <string_view>

#include "core/run.hpp"

namespace velk {

// Opens report slot `slot` as the output base name (trailing blanks removed)
// followed by `extension`, issues note 104 with `report_name` and the file name,
// sets the slot's report-written flag and appends a tab, `status_phrase` and the
// file name to the status text. A failed open is message 3030 (the run stops).
// With the output base name "USER" no file is opened: note 107 says so in the
// log. Returns true only when the file is open.
bool OpenReport(Run& run, int slot, std::string_view extension, std::string_view report_name,
                std::string_view status_phrase);

// As OpenReport, but the status text is left alone: for the reports that add
// their status line when they are closed (the resample files).
bool OpenReportFile(Run& run, int slot, std::string_view extension, std::string_view report_name);

// The file name a report of this extension gets: the output base name
// (trailing blanks removed) followed by the extension.
std::string ReportName(const Run& run, std::string_view extension);

}  // namespace velk
