// The conversion run from the window, offscreen: Enter on an empty database directory runs
// it, and the log shows every line of the run, then what could not be stored as it was.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "app/converter.h"
#include "app/gui/main_form.h"
#include "app/testing/conversion_fixture.h"
#include "app/testing/legacy_fixture.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

TEST(ConversionWindowTest, EnterOnAnEmptyDirectoryConvertsAndLogsTheRunAndItsWarnings) {
  testing::LoadMetadataOnce();
  testing::TempDir dir;
  testing::LegacyFixture legacy;
  legacy.group = [](ParadoxTableWriter& w) {
    w.SetLong("GroupID", 3);
    w.Append();
  };
  legacy.fullstorage = [](ParadoxTableWriter& w) {
    for (int i = 0; i < 4; ++i) w.Append();
  };
  legacy.firm_ref = [](ParadoxTableWriter& w) {
    for (int i = 0; i < 2; ++i) {
      w.SetLong("RefID", 1 + i);
      w.SetText("Addres", std::string(255, 'A'));  // ADDRESS holds 250
      w.Append();
    }
  };
  legacy.Write(dir.Path());

  Converter converter;
  TfrmMain form(converter);
  converter.SetLegacyDirectory(dir.Path());
  converter.TakeDatabasePath(dir.Path() + "db/");
  form.show();
  form.activateWindow();
  QApplication::processEvents();

  // No box may open; should one do, it is noted and closed so that the test ends.
  QStringList boxes;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&boxes] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      boxes.push_back(box->text());
      box->button(box->buttons().size() > 1 ? QMessageBox::Cancel : QMessageBox::Ok)->click();
    }
  });
  closer.start(20);

  form.memCopyLog()->setFocus();
  QTest::keyClick(form.memCopyLog(), Qt::Key_Return);
  EXPECT_TRUE(boxes.isEmpty()) << boxes.join(" / ").toStdString();

  std::vector<std::string> lines;
  for (const QString& line : form.memCopyLog()->toPlainText().split('\n')) lines.push_back(line.toStdString());
  const std::vector<std::string> warnings = {
      "FIRM.ADDRESS: 2 текста длиннее поля (250 символов) обрезаны по его ширине",
      "FULLSTORAGE -> GOODS: 4 строки товаров ссылаются на документ, которого нет в архиве (0)"};
  EXPECT_EQ(testing::Joined(lines), testing::Joined(testing::ExpectedLog(testing::DeletionLines(lines), warnings)));
  // KS_WINDOW_SHOT=file.png keeps a picture of the window after the run, to look at.
  if (const char* shot = std::getenv("KS_WINDOW_SHOT")) form.grab().save(QString::fromLocal8Bit(shot));
  // The bar shows 0 of the goods lines until the next run.
  EXPECT_EQ(form.pbrCopyProgress()->maximum(), 4);
  EXPECT_EQ(form.pbrCopyProgress()->value(), 0);
  EXPECT_TRUE(testing::FilesEndingWith(dir.Path() + "db/", ".cdx").empty());
  EXPECT_EQ(testing::FilesEndingWith(dir.Path() + "db/", ".dbf").size(), 14u);
}

}  // namespace
}  // namespace ks
