// ksconvert-cli on troubled data and failing machines: warnings after the log, the JSON
// report, the dry check, the lock files of the legacy engine, and the exit codes and
// messages of runs that fail.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/testing/cli_run.h"
#include "app/testing/conversion_fixture.h"
#include "app/testing/legacy_dirs_test.h"
#include "common/codepage.h"
#include "common/platform.h"
#include "legacy/testing/mini_json.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

using testing::LegacyFixture;
using W_ = ParadoxTableWriter;

using testing::CliResult;
using testing::ReadAll;
using testing::RunCli;

LegacyFixture Troubled(int goods_lines = 300) {
  LegacyFixture f;
  f.model = [](W_& w) {
    w.SetLong("ModelID", 1);
    w.SetText("numdeclar", std::string(35, 'D'));
    w.Append();
  };
  f.document = [](W_& w) {
    w.SetLong("DocumentID", 10);
    w.SetLong("TypeDoc", 3);
    w.Append();
  };
  f.fullstorage = [goods_lines](W_& w) {
    for (int i = 0; i < goods_lines; ++i) {
      w.SetLong("DocID", 10);
      w.SetNumber("Price", 5e12);
      w.SetText("numdeclar", std::string(40, 'N'));
      w.Append();
    }
  };
  return f;
}

class CliReportTest : public testing::LegacyDirsTest {
 protected:
  CliReportTest() : LegacyDirsTest(Troubled()) {}
  void SetUp() override {
    LegacyDirsTest::SetUp();
    std::ofstream(dir_.Path() + "ks.ini") << "[PATH]\nDATABASE=" << database_ << "\n";
  }

  CliResult Run(const std::string& args) const {
    return RunCli("--config '" + dir_.Path() + "ks.ini' --legacy '" + legacy_ + "' " + args, dir_.Path());
  }
};

constexpr char kWarnings[] =
    "Предупреждения:\n"
    "MODEL.GTD: 1 текст длиннее поля (30 символов) обрезан по его ширине\n"
    "GOODS.PRICE: 300 чисел шире поля (19 символов) записаны звёздочками и читаются как пустые значения\n"
    "GOODS.GTD: 300 текстов длиннее поля (30 символов) обрезаны по его ширине\n"
    "FULLSTORAGE -> GOODS: 300 строк товаров относятся к документу того типа, который не преобразуется (10)\n";

// The skipped document and the prices stored as asterisks account for every difference.
constexpr char kControlTotals[] =
    "Контрольные суммы (прежний архив / новая база):\n"
    "  Группы: записей 0 — сходится\n"
    "  Страны: записей 0 — сходится\n"
    "  Фирмы: записей 0 — сходится\n"
    "  Товары: записей 1 — сходится\n"
    "  Единицы измерения: записей 0 — сходится\n"
    "  Представители: записей 0 — сходится\n"
    "  Шаблоны: записей 0 — сходится\n"
    "  Документы: записей 1 / 0, сумма 0.00, НСП 0.00 — разница объяснена\n"
    "    записей: разница 1, объяснено: пропущенные записи: этот тип документов не преобразуется (TypeDoc 3): 1\n"
    "  Платежные поручения: записей 0, сумма 0.00 — сходится\n"
    "  Строки товаров: записей 300, цена 1 500 000 000 000 000.00 / 0.00, количество 0.00 — разница объяснена\n"
    "    цена: разница 1 500 000 000 000 000.00, объяснено: значения шире поля, записаны звёздочками (300): "
    "1 500 000 000 000 000.00\n";

TEST_F(CliReportTest, RunWarnsAfterTheLogAndWritesTheReport) {
  const CliResult r = Run("--yes --report '" + dir_.Path() + "report.json'");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  // The numbers written as asterisks read back as the overflow mark, not as damage.
  EXPECT_EQ(r.err,
            std::string(kWarnings) + "Проверка новой базы: 14 таблиц, 314 записей, расхождений нет\n" + kControlTotals);
  EXPECT_NE(r.out.find("Преобразование данных успешно завершено\n---\n\n"), std::string::npos);
  EXPECT_EQ(r.out.find("Предупреждения"), std::string::npos);  // the log stays as it is

  const testing::JsonValue json = testing::ReadJsonFile(dir_.Path() + "report.json");
  EXPECT_EQ(json["mode"].text, "run");
  EXPECT_TRUE(json["completed"].boolean);
  EXPECT_EQ(json["stages"].items[10]["read"].number, 300);
  EXPECT_EQ(json["stages"].items[10]["written"].number, 300);
  EXPECT_EQ(json["value_losses"].items.size(), 3u);
  EXPECT_EQ(json["orphan_goods_lines"]["document_skipped"]["count"].number, 300);
  // The first twenty lines of each kind are named, the total stays.
  const testing::JsonValue& price = json["value_losses"].items[1];
  EXPECT_EQ(price["count"].number, 300);
  ASSERT_EQ(price["examples"].items.size(), 20u);
  EXPECT_EQ(price["examples"].items[19]["legacy_table"].text, "FULLSTORAGE");
  EXPECT_EQ(price["examples"].items[19]["legacy_record_number"].number, 20);
  EXPECT_EQ(price["examples"].items[19]["held"].text, "5000000000000");
  EXPECT_EQ(price["examples"].items[19]["stored"].text, "*******************");
  const testing::JsonValue& verification = json["verification"];
  EXPECT_TRUE(verification["clean"].boolean);
  EXPECT_EQ(verification["records"].number, 314);
  ASSERT_EQ(verification["per_table"].items.size(), 14u);
  EXPECT_EQ(verification["per_table"].items[5]["file"].text, "goods.dbf");
  EXPECT_EQ(verification["per_table"].items[5]["records"].number, 300);
  EXPECT_EQ(verification["per_table"].items[5]["expected_records"].number, 300);
  const std::vector<testing::JsonValue>& totals = json["control_totals"].items;
  ASSERT_GE(totals.size(), 2u);
  const testing::JsonValue& price_total = totals[totals.size() - 2];  // then GOODS.FCOUNT
  EXPECT_EQ(price_total["figure"].text, "GOODS.PRICE");
  EXPECT_EQ(price_total["legacy"].text, "1500000000000000.00");
  EXPECT_EQ(price_total["explained"].text, "1500000000000000.00");
  EXPECT_EQ(price_total["unexplained"].text, "0.00");

  const CliResult unverified = Run("--yes --no-verify --report '" + dir_.Path() + "report.json'");
  ASSERT_EQ(unverified.exit_code, 0) << unverified.err;
  EXPECT_EQ(unverified.err, kWarnings);
  EXPECT_EQ(ReadAll(dir_.Path() + "report.json").find("\"verification\""), std::string::npos);
  EXPECT_EQ(ReadAll(dir_.Path() + "report.json").find("\"control_totals\""), std::string::npos);
}

TEST_F(CliReportTest, CheckPrintsTheSameAndCreatesNothing) {
  const CliResult r = Run("--check --report '" + dir_.Path() + "check.json'");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, kWarnings);
  EXPECT_NE(r.out.find("stage 11 FULLSTORAGE -> GOODS.DBF: read 300, skipped 0, to write 300\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("Начало"), std::string::npos);  // no log of a conversion that did not happen
  EXPECT_FALSE(std::filesystem::exists(database_));
  EXPECT_EQ(testing::ReadJsonFile(dir_.Path() + "check.json")["mode"].text, "check");

  // The name's extension chooses the page instead of JSON.
  ASSERT_EQ(Run("--check --report '" + dir_.Path() + "check.HTML'").exit_code, 0);
  const std::string page = ReadAll(dir_.Path() + "check.HTML");
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(page.find("<h1>Отчёт о проверке перед преобразованием данных</h1>"), std::string::npos);
}

TEST_F(CliReportTest, LegacyLockFilesAreWarnedAboutBeforeConverting) {
  std::ofstream(legacy_ + "pdoxusrs.lck") << "";
  std::ofstream(legacy_ + "PARADOX.LCK") << "";
  for (const char* args : {"--check", "--yes"}) {
    SCOPED_TRACE(args);
    const CliResult r = Run(args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err.rfind("ksconvert-cli: warning: the legacy directory " + legacy_ +
                              " holds lock files of the legacy database engine (PARADOX.LCK, pdoxusrs.lck)",
                          0),
              0u)
        << r.err;
  }
}

TEST_F(CliReportTest, FailuresExitWithTheirMessageAndAReportThatSaysSo) {
  std::filesystem::remove(legacy_ + "FULLSTORAGE.DB");
  const CliResult missing = Run("--yes --report '" + dir_.Path() + "failed.json'");
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("FULLSTORAGE"), std::string::npos) << missing.err;
  EXPECT_EQ(missing.out.find("успешно завершено\n---\n\nУдаление"), std::string::npos);
  const testing::JsonValue json = testing::ReadJsonFile(dir_.Path() + "failed.json");
  EXPECT_FALSE(json["completed"].boolean);
  EXPECT_NE(json["error"].text.find("FULLSTORAGE"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(database_));

  const CliResult checked = Run("--check");
  EXPECT_EQ(checked.exit_code, 1);
  EXPECT_NE(checked.err.find("FULLSTORAGE"), std::string::npos);

  const CliResult unwritable_report = Run("--check --report '" + dir_.Path() + "no/such/dir/r.json'");
  EXPECT_EQ(unwritable_report.exit_code, 1);
  EXPECT_NE(unwritable_report.err.find("cannot write the report"), std::string::npos);
}

TEST_F(CliReportTest, ASecondConverterIsRefusedAtOnceAndTheLockOfADeadOneNeverBlocks) {
  ASSERT_EQ(Run("--yes").exit_code, 0);
  const std::string before = testing::DirectorySnapshot(database_);
  const std::string lock_file = database_ + "ksconvert.lck";
  EXPECT_FALSE(std::filesystem::exists(lock_file));  // a finished run takes its lock file along

  // This process is the converter at work; the program started now is the second one.
  DirectoryLock working;
  ASSERT_EQ(working.Acquire(lock_file), DirectoryLock::Result::kLocked);
  const CliResult second = Run("--yes");
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_EQ(second.err, "В каталоге базы данных " + database_ +
                            " уже идёт преобразование: его выполняет другая копия программы. Дождитесь её окончания "
                            "и повторите преобразование.\n");
  EXPECT_EQ(second.out, "");
  working.Release();
  EXPECT_EQ(testing::DirectorySnapshot(database_), before);

  // A converter that dies holding the lock leaves its file behind, but not the lock.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    DirectoryLock dying;
    ::_exit(dying.Acquire(lock_file) == DirectoryLock::Result::kLocked ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(std::filesystem::exists(lock_file));
  const CliResult after_death = Run("--yes");
  EXPECT_EQ(after_death.exit_code, 0) << after_death.err;
  EXPECT_FALSE(std::filesystem::exists(lock_file));
}

// A real small file system that fills up during the goods lines (needs the right to mount).
TEST_F(CliReportTest, DiskThatFillsUpDuringARun) {
  const std::string mount_point = dir_.Path() + "small/";
  std::filesystem::create_directories(mount_point);
  if (::mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=200k") != 0) {
    GTEST_SKIP() << "cannot mount a small file system here";
  }
  std::ofstream(dir_.Path() + "ks.ini") << "[PATH]\nDATABASE=" << mount_point << "db/\n";
  Troubled(4000).Write(legacy_);
  const CliResult r = Run("--yes");
  ::umount(mount_point.c_str());
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_NE(r.err.find("На диске с каталогом " + mount_point + "db/ не осталось свободного места."), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Преобразование прервано"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Преобразование данных успешно завершено"), std::string::npos);
}

}  // namespace
}  // namespace ks
