#include "plot_export.hpp"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "menus.hpp"
#include "plot_rows.hpp"
#include "plot_view.hpp"
#include "run/velk.hpp"

namespace velk::gui {

namespace {

// The engine's platform for reading the control file: it shows nothing.
using QuietPlatform = SilentPlatform;

struct ExportArgs {
  QString out, control;
  QString plot;  // "regions", "populations" or empty: regions when there are any
  int width = 1000, height = 0;
};

int Fail(int code, const QString& text) {
  std::fprintf(stderr, "velk-gui: %s\n", text.toLocal8Bit().constData());
  return code;
}

// False (and the reason in `error`) for a command line the export cannot use.
bool ParseArgs(const QStringList& args, ExportArgs& a, QString& error) {
  QStringList rest;
  for (qsizetype k = 0; k < args.size(); ++k) {
    const QString& arg = args[k];
    const bool valued = arg == QLatin1String("--export-plot") || arg == QLatin1String("--plot") ||
                        arg == QLatin1String("--size");
    if (valued && k + 1 >= args.size()) return error = arg + QStringLiteral(" needs a value"), false;
    if (arg == QLatin1String("--export-plot")) a.out = args[++k];
    else if (arg == QLatin1String("--plot")) a.plot = args[++k];
    else if (arg == QLatin1String("--size")) {
      const auto m = QRegularExpression(QStringLiteral("^(\\d{2,5})x(\\d{1,5})$")).match(args[++k]);
      if (!m.hasMatch()) return error = QStringLiteral("--size wants WIDTHxHEIGHT, as 1000x800"), false;
      a.width = m.captured(1).toInt();
      a.height = m.captured(2).toInt();
    } else rest << arg;
  }
  const QString suffix = QFileInfo(a.out).suffix().toLower();
  if (suffix != QLatin1String("svg") && suffix != QLatin1String("png"))
    return error = QStringLiteral("the plot is written as OUT.svg or OUT.png"), false;
  if (!a.plot.isEmpty() && a.plot != QLatin1String("regions") && a.plot != QLatin1String("populations"))
    return error = QStringLiteral("--plot is regions or populations"), false;
  if (rest.size() != 1) return error = QStringLiteral("name one control file"), false;
  a.control = rest[0];
  return true;
}

}  // namespace

bool WantsExport(int argc, char** argv) {
  for (int k = 1; k < argc; ++k)
    if (std::strcmp(argv[k], "--export-plot") == 0) return true;
  return false;
}

int ExportPlot(const QStringList& args) {
  ExportArgs a;
  QString error;
  if (!ParseArgs(args, a, error))
    return Fail(kExportUsage, error + QStringLiteral(
                                          "\nusage: velk-gui --export-plot OUT.svg|OUT.png "
                                          "[--plot regions|populations] [--size WxH] FILE.ctl"));
  QuietPlatform platform;
  Process process;
  Request request;
  request.control_file = QFile::encodeName(a.control).toStdString();
  request.load_only = true;
  const Outcome outcome = Velk(process, platform, request);
  const int slot = kReportSlots;  // the estimates table, first of the tables
  const QString table = QFile::decodeName(ResultsItemFile(slot, request.control_file, outcome.output_base).c_str());
  if (outcome.aborted || !outcome.table_flags[0])
    return Fail(kExportNoResults, QStringLiteral("%1: no estimates table %2 (the run needs \"Print tables: yes\")")
                                      .arg(a.control, table));
  QFile file(table);
  if (!file.open(QIODevice::ReadOnly)) return Fail(kExportNoResults, QStringLiteral("cannot read ") + table);
  const QByteArray csv = file.readAll();
  const std::vector<EstimateRow> rows = ReadEstimateTable(std::string_view(csv.constData(), csv.size()));
  const bool regions = std::any_of(rows.begin(), rows.end(), [](const EstimateRow& r) { return r.level == 1; });
  if (rows.empty()) return Fail(kExportNoResults, table + QStringLiteral(" holds no estimates"));
  if (a.plot == QLatin1String("regions") && !regions)
    return Fail(kExportNoResults, a.control + QStringLiteral(": the run has no regions"));
  const PlotLevel level =
      a.plot == QLatin1String("populations") || !regions ? PlotLevel::kPopulations : PlotLevel::kRegions;
  if (!SaveEstimatesPlot(rows, level, a.out, a.width, a.height))
    return Fail(kExportNoResults, QStringLiteral("could not write ") + a.out);
  return kExportWritten;
}

}  // namespace velk::gui
