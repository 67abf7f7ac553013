// The result window's tabs, the progress bar, the built-in viewer and the
// control-file editor, driven on the offscreen platform.
#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QImage>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTableWidget>
#include <QXmlStreamReader>
#include <map>
#include <set>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QComboBox>

#include "editor_window.hpp"
#include "dot_plot.hpp"
#include "estimate_text.hpp"
#include "estimates_view.hpp"
#include "plot_view.hpp"
#include "frame_fixture.hpp"
#include "import_dialog.hpp"
#include "menus.hpp"
#include "messages_view.hpp"
#include "reports_view.hpp"
#include "text_viewer.hpp"

namespace velk::gui {
namespace {

// A message box the frame or a window opened without waiting for it.
QMessageBox* OpenBox(const QString& name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->objectName() == name && box->isVisible())
      return box;
  return nullptr;
}

// The values of a table of the estimates report by name: "Area" and
// "Population" rows give estimate and standard error, the interval blocks
// their lower and upper bounds.
std::map<QString, QStringList> ReportValues(const std::string& est, const QString& block) {
  std::map<QString, QStringList> values;
  bool inside = false;
  static const QRegularExpression table("^\\s+\\d+\\s+(.+?)\\s+(\\d*\\.\\d+)\\s+(\\d*\\.\\d+)\\s");
  static const QRegularExpression bounds("^  (\\S.*?)\\s+(\\d*\\.\\d+)\\s+(\\d*\\.\\d+)$");
  for (const QString& line : Q(est).split('\n')) {
    if (line.trimmed().startsWith(block)) inside = true;
    else if (inside && !values.empty() &&
             (line.startsWith("___") || (line.trimmed().isEmpty() && block != "Area")))
      inside = false;
    else if (inside) {
      QRegularExpressionMatch m = (block == "Area" || block == "Population" ? table : bounds).match(line);
      if (m.hasMatch()) values[m.captured(1)] = {m.captured(2), m.captured(3)};
    }
  }
  return values;
}

// The Estimates tab of the example holds the numbers its estimates report
// prints; the plot saves as an SVG that parses and a PNG that is not blank.
TEST_F(FrameTest, TheEstimatesAreTheReportsAndThePlotSaves) {
  Frame frame;
  frame.RunFiles({Example("first")}, false);
  ASSERT_TRUE(WaitIdle(frame));
  ResultWindow* w = frame.CurrentResult();
  QTableWidget* t = w->Estimates()->Table();
  EXPECT_EQ(t->rowCount(), 6);  // the regions at first
  w->Estimates()->Scope()->setCurrentIndex(static_cast<int>(EstimateScope::kBoth));
  std::map<QString, int> col;
  for (int c = 0; c < t->columnCount(); ++c) col[t->horizontalHeaderItem(c)->text()] = c;
  ASSERT_EQ(t->rowCount(), 12);  // six populations, two regions of level 1 and four of level 2
  const std::string est = ReadFile(dir_.Path() / "out" / "first.est");
  const struct {
    const char* block;
    const char* lower;
    const char* upper;
    bool populations;
  } blocks[] = {{"Area", "Estimate", "Std. error", false},
                {"Population  ", "Estimate", "Std. error", true},
                {"Normal Distribution", "Normal lower", "Normal upper", false},
                {"Likelihood", "Likelihood lower", "Likelihood upper", false}};
  int compared = 0;
  for (const auto& b : blocks) {
    const auto values = ReportValues(est, QString(b.block).trimmed());
    EXPECT_GE(values.size(), 6u) << b.block;
    for (int r = 0; r < t->rowCount(); ++r) {
      const bool population = t->item(r, col["Level"])->text() == "Population";
      auto it = values.find(t->item(r, col["Name"])->text());
      if (population != b.populations || it == values.end()) continue;
      EXPECT_EQ(t->item(r, col[b.lower])->text(), it->second[0]) << b.block << " " << it->first.toStdString();
      EXPECT_EQ(t->item(r, col[b.upper])->text(), it->second[1]) << b.block << " " << it->first.toStdString();
      ++compared;
    }
  }
  EXPECT_EQ(compared, 6 + 6 + 6 + 6);
  // Sorting by the estimate puts the largest last.
  t->sortItems(col["Estimate"]);
  EXPECT_EQ(t->item(t->rowCount() - 1, col["Name"])->text(), "South");

  PlotView* plot = w->Plot();
  for (bool populations : {false, true}) {
    plot->Show(0, populations, 0);
    // Normal and likelihood intervals for the regions, normal ones for the populations.
    EXPECT_TRUE(plot->Dots()->Shows(IntervalKind::kNormal));
    EXPECT_EQ(plot->Dots()->Shows(IntervalKind::kLikelihood), !populations);
    const std::string png = (dir_.Path() / "plot.png").string(), svg = (dir_.Path() / "plot.svg").string();
    ASSERT_TRUE(plot->SavePng(Q(png)));
    ASSERT_TRUE(plot->SaveSvg(Q(svg)));
    QImage image(Q(png));
    ASSERT_FALSE(image.isNull());
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4)
      for (int x = 0; x < image.width(); x += 4) colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 10u);
    QXmlStreamReader xml(Q(ReadFile(svg)));
    while (!xml.atEnd()) xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(QSvgRenderer(Q(svg)).isValid());
  }
}

// A bootstrap's bar counts its resamples up to the total; its plot shows the
// distribution of a unit's resample estimates.
TEST_F(FrameTest, ABootstrapCountsAndPlotsItsResamples) {
  Frame frame;
  frame.RunFiles({Bootstrap("boot", 40)}, false);
  ASSERT_TRUE(WaitIdle(frame));
  QProgressBar* bar = frame.CurrentResult()->Progress();
  EXPECT_FALSE(bar->isHidden());
  EXPECT_EQ(bar->maximum(), 40);
  EXPECT_EQ(bar->value(), 40);
  EXPECT_EQ(bar->format(), "Resample 40 of 40");
  PlotView* plot = frame.CurrentResult()->Plot();
  ASSERT_EQ(plot->Mode()->count(), 2);
  ASSERT_GT(plot->Units()->count(), 1);
  plot->Show(1, false, 1);
  EXPECT_TRUE(plot->Chart()->title().endsWith("estimates in 40 resamples")) << plot->Chart()->title().toStdString();
  EXPECT_GE(plot->Chart()->series().size(), 1);
}

// Two runs that stop (no header; a missing mixture file): both end red and the
// Window menu lists them; Messages shows the fatal message first, its full text
// on a double-click.
TEST_F(FrameTest, AbortedRunsEndRedAndShowTheirFatalMessageFirst) {
  WriteFile(Ini(), "[VELK]\nShowMSG=OFF\n");
  WriteFile(dir_.Path() / "a.ctl", "no header\n");
  const fs::path dir = fs::path(VELK_SOURCE_DIR) / "examples";
  fs::copy_file(dir / "example.bse", dir_.Path() / "example.bse");
  std::string ctl = ReadFile(dir / "first.ctl");
  WriteFile(dir_.Path() / "lost.ctl", ctl.replace(ctl.find("example.mix"), 11, "nowhere.mix"));
  Frame frame;
  frame.show();
  frame.RunFiles({Q((dir_.Path() / "a.ctl").string()), Q((dir_.Path() / "lost.ctl").string())},
                 false);
  ASSERT_TRUE(WaitIdle(frame));
  for (ResultWindow* w : frame.Results()) {
    EXPECT_TRUE(w->windowTitle().endsWith(" - Aborted"));
    EXPECT_EQ(w->Pane()->Status().substr(0, 9), "200000000");
    EXPECT_NE(w->Pane()->Status().find("Analysis Aborted"), std::string::npos);
  }
  EXPECT_TRUE(frame.Action(kCmdLogFile)->isEnabled());
  EXPECT_FALSE(frame.Action(kCmdEstimation)->isEnabled());

  // The fatal message first; the notes (that the log was opened) only once asked for.
  MessagesView* messages = frame.CurrentResult()->Messages();
  QTreeWidget* list = messages->List();
  ASSERT_GE(list->topLevelItemCount(), 1);
  EXPECT_EQ(list->topLevelItem(0)->text(1), "Fatal error");
  EXPECT_GE(list->topLevelItem(0)->text(0).toInt(), 3000);
  EXPECT_TRUE(list->topLevelItem(0)->text(2).contains("nowhere.mix")) << list->topLevelItem(0)->text(2).toStdString();
  EXPECT_EQ(list->findItems("Note", Qt::MatchExactly, 1).size(), 0);
  messages->Filter(MessageLevel::kNote)->setChecked(true);
  EXPECT_EQ(list->topLevelItem(list->topLevelItemCount() - 1)->text(1), "Note");
  emit list->itemDoubleClicked(list->topLevelItem(0), 0);
  QMessageBox* box = OpenBox("MessageText");
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->text().startsWith("*** Fatal Error: ")) << box->text().toStdString();
  box->close();

  QMenu* window = frame.Menu("&Window");
  emit window->aboutToShow();
  QStringList texts;
  for (QAction* a : window->actions())
    if (!a->isSeparator()) texts << a->text();
  EXPECT_EQ(texts, (QStringList{"&Cascade", "&Tile", "Arrange &Icons",
                                "&1 VELK Analysis   1:   a.ctl - Aborted",
                                "&2 VELK Analysis   2:   lost.ctl - Aborted"}));
  // Choosing a listed window activates it.
  window->actions().at(4)->trigger();
  EXPECT_EQ(frame.CurrentResult(), frame.Results()[0]);
}

// The Reports tab lists the files the run wrote and shows them in the viewer;
// an editor that cannot start, or that fails at once, says so and the file
// goes to the built-in viewer.
TEST_F(FrameTest, ReportsShowInTheViewerAndAFailingEditorFallsBackToIt) {
  const fs::path failing = dir_.Path() / "fails.sh";
  WriteFile(failing, "#!/bin/sh\nexit 3\n");
  fs::permissions(failing, fs::perms::owner_all);
  Frame frame;
  frame.RunFiles({Example("first")}, false);
  ASSERT_TRUE(WaitIdle(frame));
  ResultWindow* w = frame.CurrentResult();
  QListWidget* list = w->Reports()->List();
  QStringList names;
  for (int k = 0; k < list->count(); ++k) names << list->item(k)->text();
  EXPECT_TRUE(names.contains("Estimation Output (first.est)")) << names.join(",").toStdString();
  EXPECT_TRUE(names.contains("Control File (first.ctl)"));
  EXPECT_FALSE(names.contains("Bootstrap Output (first.bot)"));
  list->setCurrentRow(static_cast<int>(names.indexOf("Estimation Output (first.est)")));
  EXPECT_EQ(w->Reports()->Viewer()->toPlainText().trimmed(),
            Q(ReadFile(dir_.Path() / "out" / "first.est")).trimmed());

  for (const std::string& editor : {(dir_.Path() / "no-such-editor").string(), failing.string()}) {
    frame.ChooseEditor(Q(editor));
    const int before = static_cast<int>(frame.findChildren<TextViewer*>().size());
    frame.Action(kCmdEstimation)->trigger();
    QMessageBox* box = nullptr;
    for (int k = 0; k < 500 && !(box = OpenBox("EditorFailure")); ++k) QTest::qWait(10);
    ASSERT_NE(box, nullptr) << editor;
    EXPECT_TRUE(box->text().contains(Q(editor)));
    box->close();
    QApplication::processEvents();
    auto viewers = frame.findChildren<TextViewer*>();
    ASSERT_EQ(viewers.size(), before + 1) << editor;
    EXPECT_EQ(frame.Area()->currentSubWindow()->objectName(), "Viewer");
    frame.Area()->setActiveSubWindow(w);
  }
}

// A .ctl dropped on the frame runs; other files are refused.
TEST_F(FrameTest, AControlFileDroppedOnTheFrameRuns) {
  Frame frame;
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(Q((dir_.Path() / "notes.txt").string()))});
  QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  refused.setAccepted(false);
  // Straight to the frame's handlers: no drag is going on for the application to route.
  static_cast<QObject&>(frame).event(&refused);
  EXPECT_FALSE(refused.isAccepted());
  data.setUrls({QUrl::fromLocalFile(Example("dropped"))});
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  static_cast<QObject&>(frame).event(&drop);
  ASSERT_TRUE(WaitIdle(frame));
  ASSERT_EQ(frame.Results().size(), 1);
  EXPECT_EQ(frame.Results()[0]->windowTitle(), "VELK Analysis   1:   dropped.ctl - Finished with 2 warnings");
  // The file is now the first of the recent files.
  EXPECT_EQ(LoadSettings(Ini()).recent.at(0), (dir_.Path() / "dropped.ctl").string());
}

// The genotypes dialog checks without writing, then writes the analysis and
// opens its control file in the editor; a failed check writes nothing.
TEST_F(FrameTest, AnAnalysisFromGenotypesOpensInTheEditor) {
  const std::string table =
      "sample_type,collection,indiv,L1,L1.1,L2,L2.1\n"
      "reference,PopA,a1,1,2,3,3\nreference,PopA,a2,1,1,3,4\nreference,PopA,a3,2,1,4,4\n"
      "reference,PopB,b1,2,2,3,4\nreference,PopB,b2,2,1,4,4\nreference,PopB,b3,2,2,3,3\n"
      "mixture,Mix1,m1,1,2,3,4\nmixture,Mix1,m2,2,2,4,4\n";
  const struct {
    const char* name;
    std::string text;
    int status;
  } cases[] = {{"good", table, 0},
               // Two fish with one ID: the check fails.
               {"bad", table + "reference,PopB,b3,2,2,3,3\n", 1}};
  Frame frame;
  for (const auto& c : cases) {
    WriteFile(dir_.Path() / (std::string(c.name) + ".csv"), c.text);
    const auto editors = frame.findChildren<EditorWindow*>().size();
    ImportDialog* dialog = frame.ShowImport();
    dialog->Input()->setText(Q((dir_.Path() / (std::string(c.name) + ".csv")).string()));
    const fs::path out = dir_.Path() / "run" / c.name;
    dialog->Out()->setText(Q(out.string()));
    EXPECT_EQ(dialog->Go(true).status, c.status) << dialog->Result()->toPlainText().toStdString();
    const std::string ctl = out.string() + "-Mix1.ctl";  // the estimation of collection Mix1
    EXPECT_FALSE(fs::exists(ctl));
    EXPECT_EQ(dialog->Go(false).status, c.status);
    EXPECT_EQ(fs::exists(ctl), c.status == 0) << c.name;
    auto* editor = qobject_cast<EditorWindow*>(frame.Area()->currentSubWindow());
    EXPECT_EQ(frame.findChildren<EditorWindow*>().size(), editors + (c.status == 0));
    if (c.status == 0) {
      EXPECT_TRUE(dialog->Result()->toPlainText().contains("Populations: 2"));
      ASSERT_NE(editor, nullptr);
      EXPECT_EQ(editor->Path(), Q(ctl));
      EXPECT_EQ(editor->Text()->toPlainText().toStdString(), ReadFile(ctl));
      // Check lists a misspelt keyword among the lines not understood.
      QString text = editor->Text()->toPlainText();
      text.replace("* Options\n", "* Options\nRanala-Mountain model: yes\n");
      editor->Text()->setPlainText(text);
      editor->Check();
      const QString shown = editor->CheckPane()->toPlainText();
      EXPECT_TRUE(shown.contains("Lines not understood")) << shown.toStdString();
      EXPECT_TRUE(shown.contains("Ranala-Mountain model: yes")) << shown.toStdString();
    }
    dialog->close();
  }
}

// The output name that follows the genotypes file is selected when its field
// takes the focus, so that what is typed replaces it rather than gluing on.
TEST_F(FrameTest, TypingIntoTheProposedOutputReplacesIt) {
  Frame frame;
  ImportDialog* dialog = frame.ShowImport();
  QTest::keyClicks(dialog->Input(), "/data/fish.csv");
  EXPECT_EQ(dialog->Out()->text(), "/data/run/fish");
  QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(dialog->Out(), &focus);
  QTest::qWait(1);
  QTest::keyClicks(dialog->Out(), "/tmp/mine");
  EXPECT_EQ(dialog->Out()->text(), "/tmp/mine");
  dialog->close();
}

}  // namespace
}  // namespace velk::gui
