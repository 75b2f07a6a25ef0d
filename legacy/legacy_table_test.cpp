// The legacy tables over fixtures written by pxlib: the structure probe, the key look-up,
// the reading rules and the errors for a missing directory, table or field.

#include "legacy/legacy_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <tuple>

#include "common/codepage.h"
#include "common/exception.h"
#include "legacy/legacy_tables.h"
#include "legacy/testing/px_fixture.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

using testing::PxColumn;
using testing::PxValue;

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.Message();
  }
  return {};
}

class LegacyTables : public ::testing::Test {
 protected:
  void SetUp() override { SetLegacyDirectory(dict_, main_, dir_.Path()); }

  // An old Document table: no nalvalue, naltype or BaseDate; keys out of order.
  void WriteOldDocumentTable(const std::string& file_name, const std::vector<int>& keys) {
    std::vector<PxColumn> columns;
    for (const auto& def : main_.tblDocument.FieldDefs()) {
      if (def.name == "nalvalue" || def.name == "naltype" || def.name == "BaseDate") continue;
      switch (def.kind) {
        case TLegacyFieldKind::kString: columns.push_back({def.name, 0x01, def.size}); break;
        case TLegacyFieldKind::kFloat: columns.push_back({def.name, 0x06, 8}); break;
        case TLegacyFieldKind::kBoolean: columns.push_back({def.name, 0x09, 1}); break;
        case TLegacyFieldKind::kDate: columns.push_back({def.name, 0x02, 4}); break;
        case TLegacyFieldKind::kMemo: columns.push_back({def.name, 0x0C, 11}); break;
        default: columns.push_back({def.name, 0x04, 4});
      }
    }
    std::vector<std::vector<PxValue>> rows;
    for (int key : keys) {
      std::vector<PxValue> row(columns.size());
      row[0] = int64_t{key};                                 // DocumentID
      row[1] = int64_t{key % 7};                             // TypeDoc
      row[5] = W("№") + std::to_string(key);                // Number
      row[9] = W("Получатель ") + std::to_string(key);      // MemoPok
      rows.push_back(std::move(row));
    }
    testing::WritePxTable(dir_.Path() + file_name + ".db", dir_.Path() + file_name + ".mb", columns, rows, true);
  }

  testing::TempDir dir_;
  TLegacyDictTables dict_;
  TLegacyMainTables main_;
};

TEST_F(LegacyTables, DeclaredAsTheDataModulesOwnThem) {
  EXPECT_EQ(dict_.Tables().size(), 6u);
  EXPECT_EQ(main_.Tables().size(), 4u);
  EXPECT_EQ(dict_.tblVol.TableName(), "vol");
  EXPECT_EQ(main_.tblFullstorage.TableName(), "FULLSTORAGE");
  EXPECT_EQ(dict_.tblFirmRef.FieldDefs().size(), 19u);
  EXPECT_EQ(main_.tblDocument.FieldDefs().size(), 18u);
  EXPECT_EQ(main_.tblMain.FieldDefs()[4].kind, TLegacyFieldKind::kSmallint);  // SendByPost
  EXPECT_EQ(main_.tblCheck.TableName(), "");
  EXPECT_EQ(main_.tblCheck.Directory(), dir_.Path());
}

TEST_F(LegacyTables, ProbeMakesMissingFieldsReadBlank) {
  WriteOldDocumentTable("DOCUMENT", {5, 3, 9});
  TLegacyTable& doc = main_.tblDocument;

  const std::string error = ErrorOf([&] { doc.Open(); });
  EXPECT_NE(error.find(W("нет поля nalvalue")), std::string::npos) << error;
  EXPECT_FALSE(doc.Active());

  ProbeLegacyStructure(main_.tblCheck, {&doc});
  EXPECT_FALSE(main_.tblCheck.Active());
  EXPECT_TRUE(doc.FieldAbsent("NALVALUE"));
  EXPECT_TRUE(doc.FieldAbsent("BaseDate"));
  EXPECT_FALSE(doc.FieldAbsent("Summa"));

  doc.Open();
  ASSERT_EQ(doc.RecordCount(), 3);
  EXPECT_FALSE(doc.IsEmpty());
  doc.First();
  EXPECT_EQ(doc.FieldByName("documentid").AsInteger(), 5);
  EXPECT_EQ(doc.FieldByName("Number").AsString(), W("№5"));
  EXPECT_EQ(doc.FieldByName("MemoPok").AsString(), W("Получатель 5"));
  const TLegacyField& nalvalue = doc.FieldByName("nalvalue");
  EXPECT_TRUE(nalvalue.Absent());
  EXPECT_TRUE(nalvalue.IsNull());
  EXPECT_EQ(nalvalue.AsFloat(), 0.0);
  EXPECT_FALSE(doc.FieldByName("naltype").AsBoolean());
  EXPECT_EQ(doc.FieldByName("BaseDate").AsDateTime(), DateTime{0});
  // Blank values of present fields follow the same rules.
  EXPECT_TRUE(doc.FieldByName("Summa").IsNull());
  EXPECT_EQ(doc.FieldByName("Summa").AsFloat(), 0.0);
  EXPECT_EQ(doc.FieldByName("Date").AsDateTime(), DateTime{0});
  EXPECT_EQ(doc.FieldByName("Note").AsString(), "");
  EXPECT_EQ(doc.FieldByName("SenderID").AsInteger(), 0);
  EXPECT_EQ(doc.FieldByName("NDSAlloc").AsBoolean(), false);
  EXPECT_THROW(doc.FieldByName("NoSuchField"), Exception);
  doc.Close();

  // A newer table with every field: the probe takes the marks back.
  main_.tblCheck.Close();
  std::filesystem::remove(dir_.Path() + "DOCUMENT.db");
  std::filesystem::remove(dir_.Path() + "DOCUMENT.mb");
  std::vector<PxColumn> columns;
  for (const auto& def : doc.FieldDefs()) columns.push_back({def.name, 0x04, 4});
  columns[2] = {"TypeNaklad", 0x01, 30};
  testing::WritePxTable(dir_.Path() + "Document.DB", "", columns, {});
  ProbeLegacyStructure(main_.tblCheck, {&doc});
  EXPECT_FALSE(doc.FieldAbsent("nalvalue"));
}

TEST_F(LegacyTables, AChainWalkedOnceIsTakenAgainUntilTheFileChangesOrTheRunEnds) {
  const std::string path = dir_.Path() + "FULLSTORAGE.DB";
  TLegacyTable& lines = main_.tblFullstorage;
  // Each case: the table is written and walked, then its first data block is made to point
  // at itself (only a walk sees that) with the file's time moved by `later`.
  for (const auto& [later, new_run, chain_kept] : {std::tuple{0, false, true}, {0, true, false}, {1, false, false}}) {
    SCOPED_TRACE(std::to_string(later) + (new_run ? " new run" : ""));
    std::vector<std::vector<PxValue>> rows;
    for (int i = 0; i < 500; ++i) rows.push_back({int64_t{i}, int64_t{i % 97}});
    testing::WritePxTable(path, "", {{"DocID", 0x04, 4}, {"ModelID", 0x04, 4}}, rows);
    ProbeLegacyStructure(main_.tblCheck, {&lines});
    const auto walked = std::filesystem::last_write_time(path);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    unsigned char size[2];
    file.seekg(2).read(reinterpret_cast<char*>(size), 2);
    file.seekp(size[0] | size[1] << 8).write("\x01\x00", 2);
    file.close();
    std::filesystem::last_write_time(path, walked + std::chrono::seconds(later));
    if (new_run) main_.chains.Clear();
    const std::string error = ErrorOf([&] {
      lines.Open();
      int count = 0;
      for (lines.First(); !lines.Eof(); lines.Next()) EXPECT_EQ(lines.FieldByName("DocID").AsInteger(), count++);
      EXPECT_EQ(count, 500);
      lines.Close();
    });
    EXPECT_EQ(error.find(W("цепочка блоков замыкается")) == std::string::npos, chain_kept) << error;
  }
}

TEST_F(LegacyTables, FindKeyPositionsOnTheDocument) {
  std::vector<int> keys(3000);
  for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<int>(i) * 3 + 1000;
  std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
  WriteOldDocumentTable("document", keys);
  ProbeLegacyStructure(main_.tblCheck, {&main_.tblDocument});
  TLegacyTable& doc = main_.tblDocument;
  doc.Open();
  ASSERT_EQ(doc.RecordCount(), 3000);
  for (int key : {1000, 1003, 9997, 5500}) {
    ASSERT_TRUE(doc.FindKey(key)) << key;
    EXPECT_EQ(doc.FieldByName("DocumentID").AsInteger(), key);
    EXPECT_EQ(doc.FieldByName("TypeDoc").AsInteger(), key % 7);
  }
  EXPECT_FALSE(doc.FindKey(1001));
  EXPECT_TRUE(doc.Eof());
  EXPECT_FALSE(doc.FindKey(0));
  // The cursor goes on from a found record in table order.
  ASSERT_TRUE(doc.FindKey(keys[10]));
  doc.Next();
  EXPECT_EQ(doc.FieldByName("DocumentID").AsInteger(), keys[11]);
}

TEST_F(LegacyTables, MissingDirectoryOrTableIsNamed) {
  TLegacyTable& group = dict_.tblGroup;
  group.SetDirectory(dir_.Path() + "nowhere");
  std::string error = ErrorOf([&] { group.Open(); });
  EXPECT_NE(error.find(W("Не найден каталог")), std::string::npos) << error;
  EXPECT_NE(error.find(dir_.Path() + "nowhere/"), std::string::npos) << error;

  group.SetDirectory(dir_.Path());
  error = ErrorOf([&] { group.Open(); });
  EXPECT_EQ(error, W("Не найдена таблица Group в каталоге ") + dir_.Path());

  // The probe stops at the first missing table, with the same message, and leaves
  // tblCheck closed.
  error = ErrorOf([&] { ProbeLegacyStructure(main_.tblCheck, dict_.Tables()); });
  EXPECT_EQ(error, W("Не найдена таблица Group в каталоге ") + dir_.Path());
  EXPECT_FALSE(main_.tblCheck.Active());
}

TEST_F(LegacyTables, UseBeforeOpenIsAnError) {
  EXPECT_THROW(dict_.tblCountry.First(), Exception);
  EXPECT_THROW(dict_.tblCountry.FieldByName("CountryID"), Exception);
}

}  // namespace
}  // namespace ks
