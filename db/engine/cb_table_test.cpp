#include "db/engine/cb_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

#include "common/codepage.h"
#include "common/file.h"
#include "db/engine/cb_engine.h"
#include "common/testing/failure_message.h"
#include "db/engine/testing/table_directory.h"

namespace ks {
namespace {

using testing::FailureMessage;
using testing::TableDirectory;

class TableTest : public TableDirectory {
 protected:
  std::unique_ptr<TCBTable> NewTable(const std::string& name) {
    auto table = std::make_unique<TCBTable>();
    table->SetDataBaseName(&database_);
    table->SetTableName(name);
    return table;
  }
};

TEST_F(TableTest, OpenErrorsRaiseTheirClassesWithTheLowerCasePath) {
  auto missing = NewTable("Lines.DBF");
  EXPECT_EQ(FailureMessage<ECBOpenTable>([&] { missing->Open(); }), "DataBase File " + dir_ + "lines.dbf not found.");
  EXPECT_FALSE(missing->IsOpen());
  EXPECT_TRUE(database_.OpenTables().empty());

  CreatePeople();
  std::filesystem::remove(dir_ + "people.cdx");
  auto no_index = NewTable("PEOPLE.DBF");
  EXPECT_EQ(FailureMessage<ECBOpenIndex>([&] { no_index->Open(); }), "Index File " + dir_ + "people.dbf not found.");
  // The data file stays open without an index; CreateIndex rebuilds it and closes.
  EXPECT_TRUE(no_index->IsOpen());
  EXPECT_EQ(no_index->TableState(), TCBTableState::Browse);
  no_index->IndDefs().Add("IUID", "Str(UID,10)", "", false, false);
  no_index->CreateIndex();
  EXPECT_FALSE(no_index->IsOpen());
  no_index->Open();
  EXPECT_TRUE(no_index->IsOpen());
  no_index->Close();

  std::ofstream(dir_ + "broken.dbf") << "not a table at all";
  auto broken = NewTable("BROKEN.DBF");
  EXPECT_THROW(broken->Open(), Exception);
  EXPECT_FALSE(broken->IsOpen());

  // A directory with upper-case letters is kept exactly as configured.
  std::filesystem::create_directory(dir_ + "Sub");
  database_.SetDataPath(dir_ + "Sub");
  EXPECT_EQ(database_.DataPath(), dir_ + "Sub/");
  auto sub = NewTable("COUNTRY.DBF");
  EXPECT_EQ(sub->BuildFileName(), dir_ + "Sub/country.dbf");
}

TEST_F(TableTest, ErrorHandlerMayChangeTheCode) {
  auto table = NewTable("NONE.DBF");
  table->OnError = [](TCBTable&, int& code) { code = -70; };
  try {
    table->Open();
    FAIL();
  } catch (const ECBOpenTable&) {
    FAIL();
  } catch (const ECBEngineError& e) {
    // The code is the handler's; the cause stays that of the failed open.
    EXPECT_EQ(std::string(e.what()),
              W("Не удалось открыть файл ") + table->FileName() + ": No such file or directory (" + W("Ошибка -70") + ")");
    EXPECT_EQ(e.Code(), -70);
    EXPECT_EQ(e.File(), table->FileName());
  }
}

TEST_F(TableTest, CreateUsesFixedWidthsAndLoadsDefinitions) {
  auto table = NewTable("WIDTHS.DBF");
  table->FldDefs().Add("CODE", 'I', 3, 2);
  table->FldDefs().Add("SUM", 'N', 5, 1);
  table->FldDefs().Add("NAME", 'C', 12, 4);
  table->FldDefs().Add("DAY", 'D', 0, 0);
  table->CreateTable();
  EXPECT_FALSE(table->IsOpen());

  auto reopened = NewTable("WIDTHS.DBF");
  reopened->Open();
  ASSERT_EQ(reopened->FldDefs().Count(), 4);
  Data4* data = reopened->DataHandle();
  EXPECT_EQ(f4len(d4field(data, "CODE")), 11);
  EXPECT_EQ(f4decimals(d4field(data, "CODE")), 0);
  EXPECT_EQ(f4len(d4field(data, "SUM")), 19);
  EXPECT_EQ(f4decimals(d4field(data, "SUM")), 6);
  EXPECT_EQ(f4len(d4field(data, "NAME")), 12);
  EXPECT_EQ(reopened->FldDefs()[0].FieldType, 'I');
  EXPECT_EQ(reopened->FldDefs()[1].FieldType, 'N');
  EXPECT_EQ(reopened->FldDefs()[3].FieldType, 'D');
  EXPECT_EQ(reopened->FieldType("name"), 'C');
  EXPECT_THROW(reopened->FieldType("NOPE"), Exception);
  reopened->Close();
  EXPECT_EQ(reopened->RecNo(), 0);
  EXPECT_EQ(reopened->RecordCount(), 0);
  EXPECT_EQ(reopened->FieldCount(), 0);

  // A numeric column of width 5 without decimals, made by another program, reads as 'I'.
  Field4Info fields[] = {{"SHORT", 'N', 5, 0, 0}, {nullptr, 0, 0, 0, 0}};
  Tag4Info tags[] = {{"ISHORT", "SHORT", "", 0, 0}, {nullptr, nullptr, nullptr, 0, 0}};
  Data4* made = d4create(engine_.Handle(), (dir_ + "short.dbf").c_str(), fields, tags);
  ASSERT_NE(made, nullptr);
  d4close(made);
  auto other = NewTable("SHORT.DBF");
  other->Open();
  ASSERT_EQ(other->FldDefs().Count(), 1);
  EXPECT_EQ(other->FldDefs()[0].FieldType, 'I');
  EXPECT_EQ(other->IndDefs().Count(), 1);
}

TEST_F(TableTest, TagDefinitionsAndDescendingFlagComeFromTheIndex) {
  CreatePeople();
  auto table = NewTable("PEOPLE.DBF");
  // More definitions than the index has tags: the flag scan stops at the list's end.
  for (int i = 0; i < 10; ++i) table->IndDefs().Add("X" + std::to_string(i), "NAME", "", false, false);
  table->Open();
  EXPECT_EQ(table->IndDefs().Count(), 10);  // kept: not empty
  table->SetIndexName("dname");
  EXPECT_EQ(table->IndexName(), "DNAME");
  table->SetIndexName("NOSUCH");  // an unknown tag leaves the previous selection
  EXPECT_EQ(table->IndexName(), "NOSUCH");
  table->Close();

  auto fresh = NewTable("PEOPLE.DBF");
  fresh->Open();
  ASSERT_EQ(fresh->IndDefs().Count(), 4);
  EXPECT_TRUE(fresh->IndDefs()[2].Desc);
  EXPECT_EQ(fresh->IndDefs()[3].Filter, ".NOT. DELETED()");
}

TEST_F(TableTest, MovementEdgesAndGoToRecord) {
  CreatePeople();
  auto set = NewPeople();
  set->Open();
  FillPeople(*set, {"A", "B", "C"});
  set->Close();
  auto table = NewTable("PEOPLE.DBF");
  table->Open();
  EXPECT_EQ(table->RecNo(), 1);
  EXPECT_TRUE(table->Bof());
  table->Prior();
  EXPECT_TRUE(table->Bof());
  EXPECT_EQ(table->RecNo(), 1);
  table->Last();
  table->Next();
  EXPECT_TRUE(table->Eof());
  EXPECT_EQ(table->RecNo(), 3);
  table->GoToRecord(2);
  EXPECT_FALSE(table->Bof() || table->Eof());
  EXPECT_EQ(table->RecNo(), 2);
  table->GoToRecord(0);
  table->GoToRecord(99);
  EXPECT_EQ(table->RecNo(), 2);
  // A deleted record is skipped by GoToRecord.
  table->Delete();
  EXPECT_EQ(table->RecNo(), 3);
  table->GoToRecord(2);
  EXPECT_EQ(table->RecNo(), 3);

  // A range on a date-keyed tag accepts nothing.
  table->Close();
  table->IndDefs().Clear();
  table->Open();
  EXPECT_FALSE(table->FindKey("x"));  // no tag selected: nothing matches in record order
}

TEST_F(TableTest, EngineAndDatabaseLifecycle) {
  EXPECT_TRUE(engine_.Start());  // a second start changes nothing
  EXPECT_EQ(engine_.ServerId, "LOCALHOST");  // the stand-alone build never connects
  database_.SetDataPath("");
  EXPECT_EQ(database_.DataPath(), "");
  database_.SetDataPath(dir_);
  CreatePeople();
  auto table = NewTable("PEOPLE.DBF");
  table->Open();
  database_.SetDataPath(dir_);  // the same value closes nothing
  EXPECT_TRUE(table->IsOpen());

  {
    TCBEngine engine;
    TCBDataBase a, b;
    a.SetCBEngine(&engine);
    b.SetCBEngine(&engine);
    a.SetDataPath(dir_);
    auto t = std::make_unique<TCBTable>();
    t->SetDataBaseName(&a);
    t->SetTableName("PEOPLE.DBF");
    t->Open();  // starts the engine on first use
    EXPECT_TRUE(engine.Active());
    EXPECT_EQ(a.OpenTables().size(), 1u);
    engine.Stop();
    EXPECT_FALSE(t->IsOpen());
    EXPECT_FALSE(engine.Active());
    t.reset();
    auto doomed = std::make_unique<TCBEngine>();
    a.SetCBEngine(doomed.get());
    b.SetCBEngine(doomed.get());
    doomed.reset();
    EXPECT_EQ(a.CBEngine(), nullptr);
    EXPECT_EQ(b.CBEngine(), nullptr);
  }

  // Without an engine the table stays closed, quietly.
  TCBDataBase orphan;
  orphan.SetDataPath(dir_);
  TCBTable lonely;
  lonely.SetDataBaseName(&orphan);
  lonely.SetTableName("PEOPLE.DBF");
  lonely.Open();
  EXPECT_FALSE(lonely.IsOpen());

  // A failing tick reaches the error display and later ticks still run.
  int errors = 0;
  engine_.SetErrorDisplay([&](const std::exception&) { ++errors; });
  engine_.Tick();
  EXPECT_EQ(errors, 0);
  auto set = NewPeople();
  set->Open();
  FillPeople(*set, {"Irkutsk"});  // held back in memory until a flush
  SetFileFaultHook([](const std::string& path, bool is_write, uint64_t, size_t size) -> int64_t {
    return is_write && path.find("people.dbf") != std::string::npos ? -1 : int64_t(size);
  });
  engine_.Tick();
  engine_.Tick();
  SetFileFaultHook(nullptr);
  EXPECT_EQ(errors, 2);
  engine_.Tick();
  EXPECT_EQ(errors, 2);
  set->Close();
  set->Open();
  EXPECT_EQ(set->FieldByName("NAME").AsString(), "Irkutsk");
}

TEST(ErrorDisplay, ReachesTheWindowOnlyWhileItsScopeLasts) {
  int shown = 0;
  {
    const ScopedErrorDisplay display([&shown](const std::exception&) { ++shown; });
    TCBEnv::Instance().HandleException(std::runtime_error("tick"));
  }
  ::testing::internal::CaptureStderr();
  TCBEnv::Instance().HandleException(std::runtime_error("after the window"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "after the window\n");
  EXPECT_EQ(shown, 1);
}

TEST_F(TableTest, IdentitiesDiffer) {
  TCBTable a, b;
  EXPECT_NE(a.Identity(), b.Identity());
  for (int32_t v : a.Identity()) EXPECT_LT(v, 2147483647);
}

}  // namespace
}  // namespace ks
