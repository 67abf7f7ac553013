#pragma once
// Report files: the output base name followed by the report's extension, on
// the unit of its report slot. A report grows under a working name beside its
// file ("NAME.part") and is renamed into place only when it is complete, so that
// a report cut short by a full disk, a stop or a killed run never looks finished.
#include <string>
#include <string_view>

#include "core/run.hpp"

namespace velk {

// Opens report slot `slot` as the output base name (trailing blanks removed)
// followed by the slot's extension (kReportTable), issues note 104 with
// `report_name` and the file name, sets the slot's report-written flag and
// appends a tab, `status_phrase` and the file name to the status text. A failed
// open is message 3030 (the run stops); so is a report file that is one of the
// run's input files (IsInputFile), which the report would overwrite. With the
// output base name "USER" no file is opened: note 107 says so in the log.
// Returns true only when the file is open.
bool OpenReport(Run& run, int slot, std::string_view report_name, std::string_view status_phrase);

// As OpenReport, but the status text is left alone: for the reports that add
// their status line when they are closed (the resample files).
bool OpenReportFile(Run& run, int slot, std::string_view report_name);

// Closes report slot `slot` when it is open and puts the file in place. A report
// whose writing, closing or renaming failed (a full disk, say) is message 3038
// with its name and file name, its working file is removed and the run stops: a
// half-written report is never taken for a finished one. True when the report
// was put in place whole or was not open.
bool CloseReport(Run& run, int slot);

// Ends every report still open when the run stops. `keep` (the user's stop):
// each is put in place as far as it was written, as CloseReport does. Otherwise
// none is finished: each working file is removed, with message 3038 for one
// whose writing had failed and note 118 for the others.
void EndReports(Run& run, bool keep);

// Whether every open report and the log has been written without a failure so
// far; the first that has not is message 3038 and the run stops.
bool ReportsSound(Run& run);

// Writes the run log, kept in memory while the control file is read, to its
// file (run.log_name) and goes on writing there. A log file that is one of the
// run's input files named so far is refused with message 3030 and the run stops,
// the input file left as it was; so is a log file that cannot be created. True
// when the log is in its file (or was not held in memory).
[[nodiscard]] bool PlaceLog(Run& run);

// Whether `path` names a file that the run reads: its control file, its
// baseline file or per-population baseline files, its mixture file or its
// reference individuals file (the same existing file under any name, a link
// or a hard link to it, or the same name of a file not made yet).
[[nodiscard]] bool IsInputFile(const Run& run, const std::string& path);

// The file name a report of this extension gets: the output base name
// (trailing blanks removed) followed by the extension.
std::string ReportName(const Run& run, std::string_view extension);

}  // namespace velk
