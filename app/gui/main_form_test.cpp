#include "app/gui/main_form.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "app/converter.h"
#include "common/codepage.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

// Answers every message box that opens while it lives, remembering the texts.
class ModalAnswerer {
 public:
  explicit ModalAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts.push_back(box->text());
        QAbstractButton* button = box->button(answer_);
        if (button == nullptr) button = box->button(QMessageBox::Ok);
        if (button != nullptr) button->click();
      }
    });
    timer_.start(20);
  }
  QStringList texts;

 private:
  QMessageBox::StandardButton answer_;
  QTimer timer_;
};

class MainFormTest : public ::testing::Test {
 protected:
  Converter converter_;
  TfrmMain form_{converter_};
  int run_clicks_ = 0;
  int exit_clicks_ = 0;

  void SetUp() override {
    QObject::connect(form_.btnRun(), &QPushButton::clicked, [this] { ++run_clicks_; });
    QObject::connect(form_.btnExit(), &QPushButton::clicked, [this] { ++exit_clicks_; });
    form_.show();
    form_.activateWindow();
    QApplication::processEvents();
  }
};

TEST_F(MainFormTest, CaptionControlsAndGeometry) {
  EXPECT_EQ(form_.windowTitle(), QStringLiteral("Преобразование данных"));
  EXPECT_EQ(form_.size(), QSize(361, 330));
  EXPECT_EQ(form_.memCopyLog()->geometry(), QRect(4, 4, 353, 273));
  EXPECT_EQ(form_.pbrCopyProgress()->geometry(), QRect(4, 279, 353, 16));
  EXPECT_EQ(form_.btnRun()->geometry(), QRect(185, 301, 84, 25));
  EXPECT_EQ(form_.btnExit()->geometry(), QRect(273, 301, 84, 25));
  EXPECT_EQ(form_.btnRun()->text(), QStringLiteral("Старт"));
  EXPECT_EQ(form_.btnExit()->text(), QStringLiteral("Выход"));
  EXPECT_TRUE(form_.memCopyLog()->isReadOnly());
  EXPECT_TRUE(form_.memCopyLog()->toPlainText().isEmpty());
  EXPECT_EQ(form_.pbrCopyProgress()->minimum(), 0);
  EXPECT_EQ(form_.pbrCopyProgress()->maximum(), 100);
  EXPECT_EQ(form_.pbrCopyProgress()->value(), 0);
  EXPECT_EQ(form_.font().family(), QStringLiteral("MS Sans Serif"));
  EXPECT_EQ(form_.font().pointSize(), 8);
}

// An edge anchored on both sides stretches with the window; anchored on the far side only,
// the control moves with it; otherwise it stays. Several sizes, so that a control anchored
// to the wrong edge shows whichever way the window grows.
TEST_F(MainFormTest, AnchoredControlsKeepTheirDistancesToTheirEdges) {
  struct Control {
    QWidget* widget;
    bool left, top, right, bottom;
  };
  const Control controls[] = {{form_.memCopyLog(), true, true, true, true},
                              {form_.pbrCopyProgress(), true, false, true, true},
                              {form_.btnRun(), false, false, true, true},
                              {form_.btnExit(), false, false, true, true}};
  const QSize design = form_.size();
  std::vector<QRect> at_design;
  for (const Control& c : controls) at_design.push_back(c.widget->geometry());
  auto span = [](int start, int length, bool near, bool far, int growth) {
    if (near && far) return std::pair{start, length + growth};
    if (far) return std::pair{start + growth, length};
    return std::pair{start, length};
  };
  for (const QSize size : {QSize(500, 400), QSize(361, 450), QSize(640, 330), design}) {
    form_.resize(size);
    QApplication::processEvents();
    const int dx = size.width() - design.width(), dy = size.height() - design.height();
    for (size_t i = 0; i < std::size(controls); ++i) {
      const Control& c = controls[i];
      const QRect was = at_design[i], now = c.widget->geometry();
      EXPECT_EQ(std::pair(now.x(), now.width()), span(was.x(), was.width(), c.left, c.right, dx))
          << c.widget->objectName().toStdString() << " at " << size.width() << "x" << size.height();
      EXPECT_EQ(std::pair(now.y(), now.height()), span(was.y(), was.height(), c.top, c.bottom, dy))
          << c.widget->objectName().toStdString() << " at " << size.width() << "x" << size.height();
    }
  }
}

TEST_F(MainFormTest, EnterPressesStartAndEscPressesExit) {
  // The run finds no legacy tables here and ends in the error box, which is answered; the
  // report page cannot be written into a missing directory, which the log's last line says
  // without another box.
  const std::string dir = ::testing::TempDir() + "ks_gui_enter/";
  converter_.SetLegacyDirectory(dir + "missing-legacy/");
  converter_.TakeDatabasePath(dir + "db/");
  converter_.SetReportDirectory(dir + "missing-program/");
  ModalAnswerer answerer(QMessageBox::Ok);
  form_.memCopyLog()->setFocus();
  QTest::keyClick(form_.memCopyLog(), Qt::Key_Return);
  EXPECT_EQ(run_clicks_, 1);
  EXPECT_EQ(exit_clicks_, 0);
  ASSERT_EQ(answerer.texts.size(), 1);
  EXPECT_TRUE(answerer.texts[0].contains("missing-legacy")) << answerer.texts[0].toStdString();
  const QString last = form_.memCopyLog()->toPlainText().split('\n').last();
  EXPECT_TRUE(last.startsWith(QString::fromStdString("Отчёт не записан: " + dir + "missing-program/ksconvert-report-")))
      << last.toStdString();
  EXPECT_TRUE(last.contains(QStringLiteral(".html: ")) && !last.endsWith(QStringLiteral(".html: ")))
      << last.toStdString();  // and the system's reason
  QTest::keyClick(form_.memCopyLog(), Qt::Key_Escape);
  EXPECT_EQ(exit_clicks_, 1);
  EXPECT_FALSE(form_.isVisible());
}

TEST_F(MainFormTest, ClosingTheWindowClosesItWithoutPressingExitAgain) {
  form_.close();
  EXPECT_FALSE(form_.isVisible());
  EXPECT_EQ(exit_clicks_, 0);
}

TEST_F(MainFormTest, LogKeepsEmptyLinesAndEveryRun) {
  form_.AddLogLine(W("Начало"));
  form_.AddLogLine("");
  form_.AddLogLine("---");
  EXPECT_EQ(form_.memCopyLog()->toPlainText(), QStringLiteral("Начало\n\n---"));
  form_.AddLogLine(W("второй"));
  EXPECT_EQ(form_.memCopyLog()->document()->blockCount(), 4);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(MainFormTest, ProgressBarIsPaintedWhenItsFillChangesNotForEveryRecord) {
  PaintCounter counter;
  form_.pbrCopyProgress()->installEventFilter(&counter);
  constexpr int kRecords = 200000;
  form_.SetProgressPosition(0);
  form_.SetProgressMax(kRecords);
  for (int row = 1; row <= kRecords; ++row) form_.SetProgressPosition(row);
  EXPECT_EQ(form_.pbrCopyProgress()->value(), kRecords);
  const int width = form_.pbrCopyProgress()->width();
  EXPECT_GE(counter.paints, width / 2);  // it does move while the stage runs
  EXPECT_LE(counter.paints, 2 * width + 4);
  form_.pbrCopyProgress()->removeEventFilter(&counter);
}

TEST_F(MainFormTest, ConfigurationBesideTheProgramIsHandedToTheCore) {
  const testing::TempDir program;
  std::ofstream(program.Path() + "ks.ini") << "[PATH]\nDATABASE=/srv/kestrel\n[ALIASES]\nVeltroData=old\n";
  form_.LoadConfiguration(program.Path());
  EXPECT_EQ(form_.DatabasePath(), "/srv/kestrel");
  EXPECT_EQ(converter_.LegacyDirectory(), program.Path() + "old/");
}

}  // namespace
}  // namespace ks
