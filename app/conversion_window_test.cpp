// The conversion run from the window, offscreen: Enter on an empty database directory runs
// it; the log shows every line of the run, then what could not be stored as it was, the
// read-back check of the new database, and the report page left beside the program.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "app/converter.h"
#include "app/report/control_totals_text.h"
#include "app/gui/main_form.h"
#include "app/testing/conversion_fixture.h"
#include "app/testing/legacy_fixture.h"
#include "common/codepage.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

// The window with a hook on its log, to act at a given line of the run.
class HookedForm : public TfrmMain {
 public:
  using TfrmMain::TfrmMain;
  void AddLogLine(const std::string& text) override {
    TfrmMain::AddLogLine(text);
    if (on_line) on_line(Cp1251ToUtf8(text));
  }
  std::function<void(const std::string&)> on_line;
};

// A legacy database with two addresses too long for FIRM and four goods lines without their
// document, the program's directory with ks.ini naming it, and the window over them.
class ConversionWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::LoadMetadataOnce();
    legacy_.group = [](ParadoxTableWriter& w) {
      w.SetLong("GroupID", 3);
      w.Append();
    };
    legacy_.fullstorage = [](ParadoxTableWriter& w) {
      for (int i = 0; i < 4; ++i) w.Append();
    };
    legacy_.firm_ref = [](ParadoxTableWriter& w) {
      for (int i = 0; i < 2; ++i) {
        w.SetLong("RefID", 1 + i);
        w.SetText("Addres", std::string(255, 'A'));  // ADDRESS holds 250
        w.Append();
      }
    };
    legacy_.Write(dir_.Path());
    std::filesystem::create_directory(program());
    std::ofstream(program() + "ks.ini") << "[PATH]\r\nDATABASE=" << database() << "\r\n[ALIASES]\r\nVeltroData="
                                        << dir_.Path() << "\r\n";
    form_.LoadConfiguration(program());
  }

  std::string program() const { return dir_.Path() + "program/"; }
  std::string database() const { return dir_.Path() + "db/"; }

  // Enter in the log, with every box that opens noted and answered.
  void RunByEnter() {
    form_.show();
    form_.activateWindow();
    QApplication::processEvents();
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxes_.push_back(box->text().toStdString());
        box->button(box->buttons().size() > 1 ? QMessageBox::Cancel : QMessageBox::Ok)->click();
      }
    });
    closer.start(20);
    form_.memCopyLog()->setFocus();
    QTest::keyClick(form_.memCopyLog(), Qt::Key_Return);
    for (const QString& line : form_.memCopyLog()->toPlainText().split('\n')) log_.push_back(line.toStdString());
  }

  // The page the log's last line names ("Отчёт: PATH"), which must lie beside the program.
  std::string Page() const {
    const std::string heading = "Отчёт: ";
    const std::string named = heading + program() + "ksconvert-report-";
    EXPECT_EQ(log_.back().substr(0, named.size()), named);
    const std::string path = log_.back().substr(heading.size());
    EXPECT_EQ(path.substr(path.size() - 5), ".html");
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  testing::TempDir dir_;
  testing::LegacyFixture legacy_;
  Converter converter_;
  HookedForm form_{converter_};
  std::vector<std::string> boxes_;
  std::vector<std::string> log_;
};

TEST_F(ConversionWindowTest, EnterConvertsChecksTheNewDatabaseAndLeavesThePageBesideTheProgram) {
  RunByEnter();
  EXPECT_TRUE(boxes_.empty()) << testing::Joined(boxes_);

  const std::vector<std::string> warnings = {
      "FIRM.ADDRESS: 2 текста длиннее поля (250 символов) обрезаны по его ширине",
      "FULLSTORAGE -> GOODS: 4 строки товаров ссылаются на документ, которого нет в архиве (0)"};
  std::vector<std::string> expected = testing::ExpectedLog(testing::DeletionLines(log_), warnings);
  const int64_t records = converter_.Report().Verification()->Records();
  expected.push_back("");
  expected.push_back("Проверка новой базы: 14 таблиц, " + std::to_string(records) + " записей, расхождений нет");
  // Then the control totals, which agree or are explained by what the run counted.
  ASSERT_TRUE(converter_.Report().Totals());
  EXPECT_TRUE(converter_.Report().Totals()->Clean());
  const std::vector<std::string> totals = ControlTotalsLines(*converter_.Report().Totals());
  EXPECT_EQ(totals.front(), "Контрольные суммы (прежний архив / новая база):");
  expected.insert(expected.end(), totals.begin(), totals.end());
  ASSERT_EQ(log_.size(), expected.size() + 1);
  EXPECT_EQ(testing::Joined({log_.begin(), log_.end() - 1}), testing::Joined(expected));
  const std::string page = Page();
  EXPECT_NE(page.find("Преобразование данных успешно завершено"), std::string::npos);
  EXPECT_NE(page.find("14 таблиц, " + std::to_string(records) + " записей, расхождений нет"), std::string::npos);
  EXPECT_NE(page.find("FIRM.ADDRESS: 2 текста длиннее поля"), std::string::npos);

  // KS_WINDOW_SHOT=file.png keeps a picture of the window after the run, to look at.
  if (const char* shot = std::getenv("KS_WINDOW_SHOT")) form_.grab().save(QString::fromLocal8Bit(shot));
  // The bar shows 0 of the goods lines until the next run.
  EXPECT_EQ(form_.pbrCopyProgress()->maximum(), 4);
  EXPECT_EQ(form_.pbrCopyProgress()->value(), 0);
  EXPECT_TRUE(testing::FilesEndingWith(database(), ".cdx").empty());
  EXPECT_EQ(testing::FilesEndingWith(database(), ".dbf").size(), 14u);
}

TEST_F(ConversionWindowTest, ANewDatabaseThatDiffersFromWhatWasWrittenEndsInTheErrorBox) {
  // Once the run has closed its tables and deleted the index files, and before the check
  // reads them, FIRM loses the end of its last record.
  form_.on_line = [this](const std::string& line) {
    if (line != "Удаление индексов успешно завершено") return;
    for (const std::string& name : testing::FilesEndingWith(database(), ".dbf")) {
      if (LowerCp1251(name) != "firm.dbf") continue;
      const std::filesystem::path file = database() + name;
      std::filesystem::resize_file(file, std::filesystem::file_size(file) - 10);
    }
  };
  RunByEnter();

  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].rfind("Новая база отличается от того, что было записано: проверка нашла ", 0), 0u)
      << boxes_[0];
  // After the warnings: the check's line, its findings with the file and place, then the page.
  const auto check = std::find_if(log_.begin(), log_.end(),
                                  [](const std::string& line) { return line.rfind("Проверка новой базы: ", 0) == 0; });
  ASSERT_NE(check, log_.end());
  EXPECT_EQ(check[-1], "");
  EXPECT_EQ(check->back(), ':') << *check;
  ASSERT_GE(log_.end() - check, 3);
  EXPECT_EQ(LowerCp1251(check[1].substr(0, 12)), "  firm.dbf: ") << check[1];
  const std::string page = Page();
  EXPECT_NE(page.find("новая база отличается от записанной"), std::string::npos);
}

}  // namespace
}  // namespace ks
