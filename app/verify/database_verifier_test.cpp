// The read-back check of a new database: a clean conversion passes; each kind of damage to
// its files is found, named with the file and the place, and left as it is.

#include "app/verify/database_verifier.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/converter.h"
#include "app/testing/conversion_fixture.h"
#include "common/codepage.h"
#include "db/engine/xbase/xbase.h"
#include "legacy/testing/mini_json.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using testing::LegacyFixture;
using W_ = ParadoxTableWriter;

constexpr int kDocuments = 40;
constexpr int kGoodsLines = 400;

LegacyFixture Database() {
  LegacyFixture f;
  f.model = [](W_& w) {
    for (const int32_t id : {5, 9, 1200}) {
      w.SetLong("ModelID", id);
      w.SetNumber("Price", 12.5);
      w.Append();
    }
  };
  f.document = [](W_& w) {
    for (int32_t id = 1; id <= kDocuments; ++id) {
      w.SetLong("DocumentID", id);
      w.SetLong("TypeDoc", 4);
      w.SetMemo("MemoPok", std::string(100 + id, 'm'));
      w.Append();
    }
  };
  f.fullstorage = [](W_& w) {
    for (int i = 0; i < kGoodsLines; ++i) {
      w.SetLong("DocID", 1 + i % kDocuments);
      w.Append();
    }
  };
  return f;
}

class DatabaseVerifierTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadMetadataOnce(); }

  void SetUp() override {
    const std::string legacy = dir_.Path() + "legacy/";
    fs::create_directories(legacy);
    Database().Write(legacy);
    converter_.SetLegacyDirectory(legacy);
    converter_.TakeDatabasePath(database_);
    testing::RecordingWindow window;
    ASSERT_TRUE(converter_.Run(window));
    expected_ = TablesWrittenByRun(converter_.Report());
  }

  // Overwrites one field of one record through the engine, the text right-aligned.
  void Put(const std::string& table, long recno, const char* field, const std::string& text) {
    Code4* engine = code4initP();
    Data4* data = d4open(engine, (database_ + table).c_str());
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(d4goLow(data, recno, 1), 0);
    Field4* f = d4field(data, field);
    ASSERT_LE(text.size(), static_cast<size_t>(f4len(f)));
    const std::string bytes = std::string(f4len(f) - text.size(), ' ') + text;
    std::memcpy(f4str(f), bytes.data(), bytes.size());
    d4changed(data, 1);
    ASSERT_EQ(d4close(data), 0);
    code4initUndo(engine);
  }

  // Overwrites bytes of a file in place.
  void Poke(const std::string& file, std::streamoff offset, const std::string& bytes) {
    std::fstream out(database_ + file, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(offset);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
  }

  testing::TempDir dir_;
  std::string database_ = dir_.Path() + "db/";
  Converter converter_;
  std::vector<ExpectedTable> expected_;
};

TEST_F(DatabaseVerifierTest, CleanConversionVerifies) {
  const DatabaseVerification verification = VerifyDatabase(database_, expected_);
  EXPECT_TRUE(verification.Clean()) << testing::Joined(VerificationLines(verification));
  ASSERT_EQ(verification.tables.size(), 14u);
  int64_t written = 0;
  for (const ExpectedTable& table : expected_) written += table.records;
  EXPECT_EQ(verification.Records(), written);
  for (const TableVerification& table : verification.tables) {
    EXPECT_TRUE(table.opened) << table.file;
    EXPECT_EQ(table.records, table.expected_records) << table.file;
    if (table.file == "doc.dbf") {
      EXPECT_EQ(table.memos, kDocuments);
    } else if (table.file == "goods.dbf") {
      EXPECT_EQ(table.records, kGoodsLines);
    } else if (table.file == "lines.dbf") {
      EXPECT_EQ(table.records, 10);  // nine counters and the version
    }
  }
  EXPECT_EQ(VerificationLines(verification),
            std::vector<std::string>{"Проверка новой базы: 14 таблиц, " + std::to_string(written) +
                                     " записей, расхождений нет"});
}

TEST_F(DatabaseVerifierTest, EachDamageIsFoundWithItsFileAndPlaceAndTheFilesStayAsTheyAre) {
  const std::string pristine = dir_.Path() + "pristine/";
  fs::copy(database_, pristine);
  const struct {
    const char* damage;
    std::function<void()> apply;
    const char* file;
    const char* where;
    const char* what;  // the beginning of the text
  } kCases[] = {
      {"cut table file", [&] { fs::resize_file(database_ + "goods.dbf", fs::file_size(database_ + "goods.dbf") - 1000); },
       "goods.dbf", "", "файл обрезан: заголовок называет 400 записей"},
      {"memo file missing", [&] { fs::remove(database_ + "doc.fpt"); }, "doc.dbf", "",
       "таблица не открывается: нет файла doc.fpt"},
      {"memo pointer past the memo file", [&] { Put("doc.dbf", 2, "FCOMPLEX", "999999"); }, "doc.fpt",
       "блок 999999 (doc.dbf, запись 2, поле FCOMPLEX)", "указатель ведёт за пределы файла"},
      {"garbage in a numeric field", [&] { Put("doc.dbf", 3, "FSUM", "12a45.0"); }, "doc.dbf", "запись 3, поле FSUM",
       "не число: \"            12a45.0\""},
      {"counter below a UID", [&] { Put("lines.dbf", 5, "NEXTUID", "100"); }, "lines.dbf",
       "запись 5, поле NEXTUID", "счётчик MODEL.DBF = 100 не выше наибольшего UID этой таблицы, 1200"},
      {"fewer records than the run wrote", [&] { ++expected_[7].records; }, "model.dbf", "",
       "в файле 3 записи, а преобразование записало 4"},
      {"index flag without its index", [&] { Poke("country.dbf", 28, "\x01"); }, "country.cdx", "",
       "заголовок таблицы называет индексный файл, которого нет"},
      {"bytes past the last record", [&] { std::ofstream(database_ + "goods.dbf", std::ios::app) << "12345"; },
       "goods.dbf", "", "число записей в заголовке не сходится с размером файла"},
      {"no end-of-file mark",
       [&] { fs::resize_file(database_ + "goods.dbf", fs::file_size(database_ + "goods.dbf") - 1); }, "goods.dbf", "",
       "нет метки конца файла"},
      {"memo free space past the end", [&] { Poke("doc.fpt", 0, std::string("\x00\x10\x00\x00", 4)); }, "doc.fpt",
       "", "первый свободный блок лежит за концом файла"},
  };
  ASSERT_EQ(expected_[7].file, "MODEL.dbf");
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.damage);
    fs::remove_all(database_);
    fs::copy(pristine, database_);
    const std::vector<ExpectedTable> written = expected_;
    c.apply();
    const std::string snapshot = testing::DirectorySnapshot(database_);
    const DatabaseVerification verification = VerifyDatabase(database_, expected_);
    expected_ = written;
    EXPECT_EQ(testing::DirectorySnapshot(database_), snapshot);
    ASSERT_EQ(verification.discrepancies, 1) << testing::Joined(VerificationLines(verification));
    const VerificationFinding& finding = verification.findings[0];
    EXPECT_EQ(Cp1251ToUtf8(finding.file), c.file);
    EXPECT_EQ(Cp1251ToUtf8(finding.where), c.where);
    EXPECT_EQ(Cp1251ToUtf8(finding.what).rfind(c.what, 0), 0u) << Cp1251ToUtf8(finding.what);
    ConversionReport report;
    report.SetVerification(verification);
    const testing::JsonValue json = testing::ParseJson(report.ToJson())["verification"];
    EXPECT_FALSE(json["clean"].boolean);
    EXPECT_EQ(json["findings"].items[0]["what"].text, Cp1251ToUtf8(finding.what));
    const std::vector<std::string> lines = VerificationLines(verification);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(lines[0].rfind(", ")), ", 1 расхождение:");
  }
}

TEST_F(DatabaseVerifierTest, FindingsInSeveralTablesComeInTheTablesOrderThenTheCounters) {
  // The tables are read in two parts at once; the findings must not show it.
  fs::resize_file(database_ + "goods.dbf", fs::file_size(database_ + "goods.dbf") - 1000);
  Put("lines.dbf", 5, "NEXTUID", "100");
  Put("doc.dbf", 3, "FSUM", "12a45.0");
  Put("doc.dbf", 2, "FCOMPLEX", "999999");
  ++expected_[7].records;
  const DatabaseVerification verification = VerifyDatabase(database_, expected_);
  std::vector<std::string> files;
  for (const VerificationFinding& finding : verification.findings) files.push_back(Cp1251ToUtf8(finding.file));
  std::vector<std::string> in_table_order;
  for (const ExpectedTable& table : expected_) {
    const std::string name = UpperCp1251(table.file);
    if (name == "DOC.DBF") in_table_order.insert(in_table_order.end(), {"doc.fpt", "doc.dbf"});
    if (name == "GOODS.DBF") in_table_order.push_back("goods.dbf");
    if (name == "MODEL.DBF") in_table_order.push_back("model.dbf");
  }
  in_table_order.push_back("lines.dbf");
  EXPECT_EQ(files, in_table_order) << testing::Joined(VerificationLines(verification));
}

}  // namespace
}  // namespace ks
