// Table creation from the embedded schema, and the open and emptiness services around it.

#include "db/table_creation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "db/testing/modules_fixture.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kStoredTables = {"COUNTRY", "CURREXCH", "DOC",      "DUTIES", "FIRM",
                                                "GOODS",   "LINES",    "MODEL",    "PEOPLE", "TGROUP",
                                                "TMPLT",   "TVOLUME",  "DOCCRATE", "FIRMREP"};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

struct TagInfo {
  std::string name, expression, filter;
  bool unique = false, descending = false;
  bool operator==(const TagInfo&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TagInfo& tag) {
  return out << tag.name << " [" << tag.expression << "] for [" << tag.filter << "]" << (tag.unique ? " unique" : "")
             << (tag.descending ? " descending" : "");
}

class TableCreationTest : public testing::ModulesTest {
 protected:
  std::set<std::string> FileNames() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename().string());
    return names;
  }

  // The tags of a table file as the engine reads them from its production index.
  std::vector<TagInfo> TagsInFile(const std::string& table) {
    std::vector<TagInfo> tags;
    Code4* engine = main_->engPrimary.Handle();
    Data4* data = d4open(engine, (dir_ + Lower(table) + ".dbf").c_str());
    EXPECT_NE(data, nullptr) << table;
    if (data == nullptr) return tags;
    Tag4Info* info = i4tagInfo(i4open(data, nullptr));
    EXPECT_NE(info, nullptr) << table;
    for (Tag4Info* tag = info; tag != nullptr && tag->name != nullptr; ++tag) {
      tags.push_back(
          {tag->name, tag->expression, tag->filter ? tag->filter : "", tag->unique != 0, tag->descending != 0});
    }
    u4freeDefault(info);
    d4close(data);
    return tags;
  }

  std::vector<TagInfo> TagsInSchema(const std::string& table) {
    std::vector<TagInfo> tags;
    const TqrxTagDefs& defs = FindTableDef(table).TagDefs();
    for (const TqrxTagDef& def : defs) {
      tags.push_back({def.Name(), def.Expression(), def.Filter(), def.Unique(), def.Descending()});
    }
    return tags;
  }

  long CountRecords(TCBTableSet& set) {
    OpenTableSet(set);
    const long count = set.RecordCount();
    set.Close();
    return count;
  }
};

TEST_F(TableCreationTest, EveryStoredTableGetsItsFilesAndFourLogLines) {
  CreateAllTables(main_->dtbKestrel, window_);

  std::set<std::string> expected = {"doc.fpt", "tmplt.fpt"};  // only these two have memo fields
  for (const std::string& table : kStoredTables) {
    expected.insert(Lower(table) + ".dbf");
    expected.insert(Lower(table) + ".cdx");
  }
  EXPECT_EQ(FileNames(), expected);  // nothing for the memory table GOODSLST

  std::vector<std::string> log;
  for (const std::string& table : kStoredTables) {
    log.push_back("Начало создания таблицы " + table);
    log.push_back("Создание таблицы " + table + " успешно завершено");
    log.push_back("---");
    log.push_back("");
  }
  EXPECT_EQ(window_.lines, log);
  EXPECT_TRUE(window_.errors.empty());
  EXPECT_TRUE(main_->dtbKestrel.OpenTables().empty());  // everything created is left closed
}

TEST_F(TableCreationTest, TagsFollowTheSchemaExceptTheSingleTagOfDoc) {
  CreateAllTables(main_->dtbKestrel, window_);
  for (const std::string& table : kStoredTables) {
    if (table == "DOC") continue;
    EXPECT_EQ(TagsInFile(table), TagsInSchema(table)) << table;
  }
  EXPECT_EQ(TagsInFile("DOC"), (std::vector<TagInfo>{{"DUMMY", "1", "", false, false}}));

  // Spot checks of what the schema itself must have handed over.
  const std::vector<TagInfo> firm = TagsInFile("FIRM");
  ASSERT_EQ(firm.size(), 4u);
  EXPECT_EQ(firm[3].expression, "IIF(FSELF, \"T\", \"F\")+Upper(SHRTNAME)");
  for (const TagInfo& tag : TagsInFile("GOODS")) EXPECT_EQ(tag.filter, ".NOT. DELETED()") << tag;
  for (const TagInfo& tag : TagsInFile("FIRMREP")) EXPECT_EQ(tag.filter, ".NOT. DELETED()") << tag;
  EXPECT_EQ(TagsInFile("LINES"), (std::vector<TagInfo>{{"ITBLNAME", "Upper(TBLNAME)", "", false, false}}));

  // The table set reads the same tags back, in the same order.
  OpenTableSet(dict_->cbtFirmFind);
  std::vector<std::string> names;
  for (const TIndexDef& def : dict_->cbtFirmFind.UpdateIndexDefs()) names.push_back(def.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"IPRIMARY", "IFULNAME", "ISHTNAME", "ISELF"}));
}

TEST_F(TableCreationTest, ASecondCreationReplacesFilledTablesWithEmptyOnes) {
  CreateAndOpen({&main_->cbtLines, &dict_->cbtCountry, &main_->cbtDocCommon});
  for (int i = 0; i < 3; ++i) {
    dict_->cbtCountry.Append();
    dict_->cbtCountry.FieldByName("FNAME").SetAsString("Land");
    dict_->cbtCountry.Post();
  }
  main_->cbtDocCommon.Append();
  main_->cbtDocCommon.FieldByName("UID").SetAsInteger(1);
  main_->cbtDocCommon.FieldByName("FCOMPLEX").SetAsString("KEY=1");
  main_->cbtDocCommon.Post();
  main_->CloseDataSets();
  dict_->CloseDataSets();
  const auto memo_size = fs::file_size(dir_ + "doc.fpt");

  window_.lines.clear();
  CreateAllTables(main_->dtbKestrel, window_);
  EXPECT_EQ(window_.lines.size(), 4 * kStoredTables.size());
  EXPECT_EQ(CountRecords(dict_->cbtCountry), 0);
  EXPECT_EQ(CountRecords(main_->cbtLines), 0);
  EXPECT_EQ(CountRecords(main_->cbtDocCommon), 0);
  EXPECT_LE(fs::file_size(dir_ + "doc.fpt"), memo_size);
}

// A run that failed leaves the data-module sets open, some in the middle of a change; the
// next run in the same program must still be able to replace the files.
TEST_F(TableCreationTest, CreationClosesSetsLeftOpenByAFailedRun) {
  CreateAndOpen(
      {&main_->cbtLines, &dict_->cbtCountry, &dict_->cbtCountryFind, &dict_->cbtModel, &main_->cbtTmpltDummy});
  dict_->cbtCountry.Append();
  dict_->cbtCountry.FieldByName("FNAME").SetAsString("Land");
  dict_->cbtCountry.Post();
  dict_->cbtModel.Append();  // left in insert
  dict_->cbtModel.FieldByName("FNAME").SetAsString("Half");
  main_->cbtTmpltDummy.Append();
  main_->cbtTmpltDummy.FieldByName("FBODY").SetAsString("pending memo");

  CreateAllTables(main_->dtbKestrel, window_);
  EXPECT_TRUE(main_->dtbKestrel.OpenTables().empty());
  for (TCBTableSet* set :
       {&main_->cbtLines, &dict_->cbtCountry, &dict_->cbtCountryFind, &dict_->cbtModel, &main_->cbtTmpltDummy}) {
    EXPECT_FALSE(set->Active()) << set->TableName();
  }

  // Opened again as the run does, everything is empty and works.
  for (TCBTableSet* set : {&main_->cbtLines, &dict_->cbtCountry, &dict_->cbtCountryFind, &dict_->cbttGroupFind,
                           &dict_->cbtModel, &main_->cbtTmpltDummy}) {
    OpenTableSet(*set);
    EXPECT_EQ(set->RecordCount(), 0) << set->TableName();
  }
  dict_->cbtCountry.Append();
  dict_->cbtCountry.FieldByName("FNAME").SetAsString("Land");
  dict_->cbtCountry.Post();
  EXPECT_EQ(dict_->cbtCountry.FieldByName("UID").AsInteger(), 1000);
  dict_->cbtModel.Append();
  dict_->cbtModel.FieldByName("FNAME").SetAsString("Whole");
  dict_->cbtModel.Post();
  EXPECT_EQ(dict_->cbtModel.RecordCount(), 1);
  EXPECT_EQ(main_->cbtTmpltDummy.RecordCount(), 0);
}

TEST_F(TableCreationTest, AFailureStopsCreationAfterTheStartLineOfTheFailingTable) {
  fs::create_directory(dir_ + "doc.dbf");  // cannot be replaced by a table file
  EXPECT_ANY_THROW(CreateAllTables(main_->dtbKestrel, window_));
  ASSERT_EQ(window_.lines.size(), 9u);
  EXPECT_EQ(window_.lines.back(), "Начало создания таблицы DOC");
  EXPECT_TRUE(fs::exists(dir_ + "currexch.dbf"));
  EXPECT_FALSE(fs::exists(dir_ + "duties.dbf"));
}

TEST_F(TableCreationTest, OpeningReportsAMissingTableAndRebuildsAMissingIndex) {
  CreateAllTables(main_->dtbKestrel, window_);

  fs::remove(dir_ + "country.dbf");
  try {
    OpenTableSet(dict_->cbtCountry);
    ADD_FAILURE();
  } catch (const ECBOpenTable& e) {
    EXPECT_EQ(std::string(e.what()), W("Ошибка открытия таблицы COUNTRY.DBF. DataBase File ") + dir_ + "country.dbf not found.");
  }
  EXPECT_FALSE(dict_->cbtCountry.Active());

  // A set that has never been open still gets its whole index back.
  OpenTableSet(main_->cbtLines);
  OpenTableSet(dict_->cbttGroupFind);  // a posted model looks its group up
  fs::remove(dir_ + "model.cdx");
  OpenTableSet(dict_->cbtModel);
  EXPECT_TRUE(dict_->cbtModel.Active());
  EXPECT_TRUE(fs::exists(dir_ + "model.cdx"));
  EXPECT_EQ(TagsInFile("MODEL"), TagsInSchema("MODEL"));
  dict_->cbtModel.Append();
  dict_->cbtModel.FieldByName("FNAME").SetAsString("Saw");
  dict_->cbtModel.Post();
  OpenTableSet(dict_->cbtModelFind);
  EXPECT_EQ(dict_->cbtModelFind.RecordCount(), 1);

  fs::remove(dir_ + "doc.cdx");
  OpenTableSet(main_->cbtDocCommon);
  main_->cbtDocCommon.Close();
  EXPECT_EQ(TagsInFile("DOC"), (std::vector<TagInfo>{{"DUMMY", "1", "", false, false}}));

  // Without its memo file the table cannot be opened either.
  fs::remove(dir_ + "tmplt.fpt");
  EXPECT_THROW(OpenTableSet(main_->cbtTmpltDummy), ECBOpenTable);
  EXPECT_FALSE(main_->cbtTmpltDummy.Active());

  // Any other failure passes on unchanged; the table layer shows no box of its own.
  std::ofstream(dir_ + "duties.dbf", std::ios::trunc) << "not a table";
  EXPECT_ANY_THROW(OpenTableSet(dict_->cbtDuties));
  EXPECT_FALSE(dict_->cbtDuties.Active());
  EXPECT_TRUE(window_.errors.empty());
}

TEST_F(TableCreationTest, DatabaseIsEmptyUntilATableIndexOrMemoFileIsThere) {
  TCBDataBase database;
  database.SetDataPath(dir_ + "missing");
  EXPECT_TRUE(DatabaseIsEmpty(database));
  database.SetDataPath(dir_);
  EXPECT_TRUE(DatabaseIsEmpty(database));
  std::ofstream(dir_ + "x.txt") << "text";
  EXPECT_TRUE(DatabaseIsEmpty(database));
  std::ofstream(dir_ + "x.fpt") << "memo";
  EXPECT_FALSE(DatabaseIsEmpty(database));
  fs::remove(dir_ + "x.fpt");
  CreateAllTables(main_->dtbKestrel, window_);
  EXPECT_FALSE(DatabaseIsEmpty(main_->dtbKestrel));
}

}  // namespace
}  // namespace ks
