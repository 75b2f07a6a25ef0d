#pragma once
// A temporary table directory with a started engine and a database pointing at it, and the
// small sample table the component tests share.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "common/testing/temp_dir.h"
#include "db/engine/cb_table_set.h"
#include "db/engine/cb_engine.h"

namespace ks::testing {

class TableDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine_.Start());
    database_.SetCBEngine(&engine_);
    database_.SetDataPath(dir_);
  }
  void TearDown() override { database_.CloseAll(); }

  // PEOPLE: UID numeric 11, NAME character 20, PRICE numeric 19.6, BORN date, OK logical,
  // NOTE memo. Tags: IUID Str(UID,10), INAME Upper(NAME), DNAME Upper(NAME) descending,
  // ILIVE Str(UID,10) for .NOT. DELETED().
  std::unique_ptr<TCBTableSet> NewPeople(const std::string& table = "PEOPLE.DBF") {
    auto set = std::make_unique<TCBTableSet>("cbtPeople");
    set->SetDataBaseName(&database_);
    set->SetTableName(table);
    return set;
  }
  void CreatePeople(const std::string& table = "PEOPLE.DBF") {
    auto set = NewPeople(table);
    set->FieldDefs().Add("UID", ftInteger);
    set->FieldDefs().Add("NAME", ftString, 20);
    set->FieldDefs().Add("PRICE", ftFloat);
    set->FieldDefs().Add("BORN", ftDate);
    set->FieldDefs().Add("OK", ftBoolean);
    set->FieldDefs().Add("NOTE", ftMemo, 10);
    set->FieldDefs().Add("isLocked", ftBoolean);
    set->TagDefs().Add("IUID", "Str(UID,10)", "", false, false);
    set->TagDefs().Add("INAME", "Upper(NAME)", "", false, false);
    set->TagDefs().Add("DNAME", "Upper(NAME)", "", false, true);
    set->TagDefs().Add("ILIVE", "Str(UID,10)", ".NOT. DELETED()", false, false);
    set->CreateTable();
  }
  // Appends one record per name, UID 1, 2, 3 ... in that order.
  void FillPeople(TCBTableSet& set, std::initializer_list<const char*> names) {
    int uid = set.RecordCount();
    for (const char* name : names) {
      set.Append();
      set.FieldByName("UID").SetAsInteger(++uid);
      set.FieldByName("NAME").SetAsString(name);
      set.Post();
    }
  }

  TempDir temp_{"ks_dbengine_"};
  std::string dir_ = temp_.Path();
  TCBEngine engine_{"engPrimary"};
  TCBDataBase database_{"dtbKestrel"};
};

}  // namespace ks::testing
