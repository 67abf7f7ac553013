// The window shell at the size of a real fishery sample: chinook rec1, 69
// populations in 39 regions, with likelihood intervals for every region.
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QImage>
#include <QTabWidget>
#include <QToolTip>
#include <QTreeWidget>

#include "dot_plot.hpp"
#include "frame_fixture.hpp"
#include "message_groups.hpp"
#include "messages_view.hpp"
#include "plot_export.hpp"
#include "plot_view.hpp"
#include "result_window.hpp"
#include "support/shared_data.hpp"

namespace velk::gui {
namespace {

class ChinookShell : public FrameTest {
 protected:
  // rec1 with intervals and tables, copied into the test's folder.
  QString Rec1() {
    const fs::path data = test::ChinookData();
    for (const char* f : {"chinook_rec1.ctl", "chinook.bse", "chinook_rec1.mix"})
      fs::copy_file(data / f, dir_.Path() / f, fs::copy_options::overwrite_existing);
    std::string ctl = ReadFile(dir_.Path() / "chinook_rec1.ctl");
    const std::string options = "* Options\n";
    ctl.insert(ctl.find(options) + options.size(),
               "Compute confidence intervals: yes\nCompute all likelihood intervals: yes\nPrint tables: yes\n");
    fs::permissions(dir_.Path() / "chinook_rec1.ctl", fs::perms::owner_read | fs::perms::owner_write);
    WriteFile(dir_.Path() / "chinook_rec1.ctl", ctl);
    return Rec1Path();
  }
  QString Rec1Path() const { return Q((dir_.Path() / "chinook_rec1.ctl").string()); }
};

TEST_F(ChinookShell, ThirtyNineRegionsReadableInTheirLegendsColours) {
  VELK_REQUIRE_SHARED_DATA(test::ChinookData() / "chinook_rec1.ctl");
  Frame frame;
  frame.show();
  frame.RunFiles({Rec1()}, false);
  ASSERT_TRUE(WaitIdle(frame));
  ResultWindow* w = frame.CurrentResult();
  const std::string log = ReadFile(dir_.Path() / "chinook_rec1.log");
  int warnings = 0;
  for (std::size_t at = 0; (at = log.find("*** Warning", at)) != std::string::npos; ++at) ++warnings;
  ASSERT_GT(warnings, 1);
  EXPECT_EQ(w->windowTitle(),
            QString("VELK Analysis   1:   chinook_rec1.ctl - Finished with %1 warnings").arg(warnings));

  // At the window's own size every region is named in full.
  w->Tabs()->setCurrentWidget(w->Plot());
  QTest::qWait(50);
  DotPlot* dots = w->Plot()->Dots();
  ASSERT_EQ(dots->Rows().size(), 39u);
  const QStringList labels = dots->Labels(dots->width());
  ASSERT_EQ(labels.size(), 39);
  for (int k = 0; k < 39; ++k) EXPECT_EQ(labels[k].toStdString(), dots->Rows()[static_cast<std::size_t>(k)].name);
  const QImage image = dots->grab().toImage();
  for (IntervalKind kind : {IntervalKind::kNormal, IntervalKind::kLikelihood}) {
    ASSERT_TRUE(dots->Shows(kind));
    const QColor legend = image.pixelColor(dots->LegendSwatch(image.size(), kind));
    EXPECT_EQ(legend, DotPlot::Colour(kind));
    EXPECT_EQ(image.pixelColor(dots->WhiskerArm(image.size(), 0, kind)), legend);
  }
  // Hovering the largest region names it with its estimate and bounds.
  const QPoint at = dots->WhiskerArm(dots->size(), 0, IntervalKind::kNormal);
  QHelpEvent hover(QEvent::ToolTip, at, dots->mapToGlobal(at));
  QApplication::sendEvent(dots, &hover);
  const QString tip = QToolTip::text();
  EXPECT_TRUE(tip.startsWith(Q(dots->Rows()[0].name + "\nEstimate 0."))) << tip.toStdString();
  EXPECT_TRUE(tip.contains("Likelihood interval 0.")) << tip.toStdString();

  // Populations: those above 1 %, banded by their region.
  w->Plot()->Level()->setCurrentIndex(1);
  EXPECT_EQ(w->Plot()->MinShare()->currentText(), "Above 1 %");
  for (const PlotRow& r : dots->Rows()) {
    EXPECT_FALSE(r.region.empty()) << r.name;
    EXPECT_GE(std::max(r.estimate, r.normal_hi), 0.01) << r.name;
  }

  // The warnings in view, the notes behind the filter, repeats counted once.
  MessagesView* messages = w->Messages();
  QTreeWidget* list = messages->List();
  EXPECT_FALSE(messages->Filter(MessageLevel::kNote)->isChecked());
  int shown = 0;
  for (int k = 0; k < list->topLevelItemCount(); ++k) {
    EXPECT_EQ(list->topLevelItem(k)->text(1), "Warning");
    shown += list->topLevelItem(k)->text(3).toInt();
  }
  EXPECT_EQ(shown, warnings);
  messages->Filter(MessageLevel::kNote)->setChecked(true);
  int most = 0;
  for (int k = 0; k < list->topLevelItemCount(); ++k) {
    QTreeWidgetItem* item = list->topLevelItem(k);
    const int count = item->text(3).toInt();
    most = std::max(most, count);
    EXPECT_EQ(item->childCount(), count > 1 ? count : 0) << item->text(2).toStdString();
  }
  EXPECT_GE(most, 69);  // one note a population read

  // The batch export draws the same rows from the run's table.
  const struct {
    const char* out;
    const char* size;
    int code;
  } exports[] = {{"regions.svg", nullptr, kExportWritten},
                 {"regions.png", "800x600", kExportWritten},
                 {"regions.pdf", nullptr, kExportUsage}};
  for (const auto& e : exports) {
    QStringList args{"--export-plot", Q((dir_.Path() / e.out).string())};
    if (e.size) args << "--size" << e.size;
    EXPECT_EQ(ExportPlot(args << Rec1Path()), e.code) << e.out;
  }
  const std::string svg = ReadFile(dir_.Path() / "regions.svg");
  w->Plot()->Level()->setCurrentIndex(0);
  for (const PlotRow& r : dots->Rows()) EXPECT_NE(svg.find(">" + r.name + "<"), std::string::npos) << r.name;
  EXPECT_EQ(QImage(Q((dir_.Path() / "regions.png").string())).size(), QSize(800, 600));
  fs::remove(dir_.Path() / "chinook_rec1.estimates.csv");
  EXPECT_EQ(ExportPlot({"--export-plot", Q((dir_.Path() / "x.svg").string()), Rec1Path()}), kExportNoResults);
}

}  // namespace
}  // namespace velk::gui
