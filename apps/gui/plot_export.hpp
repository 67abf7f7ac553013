#pragma once
// velk-gui --export-plot OUT.svg|OUT.png [--plot regions|populations]
// [--size WxH] FILE.ctl: the estimates plot of a finished run, read from its
// estimates table, written without a window (on Qt's offscreen platform).
#include <QStringList>

namespace velk::gui {

// Exit codes of the export.
inline constexpr int kExportWritten = 0;
inline constexpr int kExportNoResults = 1;  // no estimates table, or it could not be written
inline constexpr int kExportUsage = 2;

// True when the command line asks for an export (the platform must be chosen
// before the application starts).
bool WantsExport(int argc, char** argv);

// Runs the export the arguments (program name left out) describe; what went
// wrong goes to standard error.
int ExportPlot(const QStringList& args);

}  // namespace velk::gui
