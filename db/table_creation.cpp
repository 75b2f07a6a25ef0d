#include "db/table_creation.h"

#include <exception>

#include "common/codepage.h"
#include "db/database_files.h"
#include "resources/metadata_load.h"

namespace ks {
namespace {

// The field size the table set passes on: a text field's length, 0 for the others.
int DefinitionSize(const TqrxFieldDef& def) {
  return def.FieldType() == FieldType::String ? def.Size() : 0;
}

bool IsDocTable(const std::string& name) { return UpperCp1251(name) == "DOC"; }

// The tags a table of the schema is created with: its tag definitions, except for DOC,
// which gets the one tag DUMMY.
void SetCreationTagDefs(TCBTableSet& set, const TqrxTableDef& def) {
  set.TagDefs().Clear();
  if (IsDocTable(def.Name())) {
    set.TagDefs().Add("DUMMY", "1", "", false, false);
  } else {
    SetTagDefsFromMetadata(set);
  }
}

}  // namespace

void SetFieldDefsFromMetadata(TCBTableSet& set) {
  TFieldDefs& defs = set.FieldDefs();
  defs.Clear();
  for (const TqrxFieldDef& def : FindTableDef(set.TableName()).FieldDefs()) {
    defs.Add(def.Name(), static_cast<TFieldType>(def.FieldType()), DefinitionSize(def), false);
  }
}

void SetTagDefsFromMetadata(TCBTableSet& set) {
  TCBTagList& tags = set.TagDefs();
  tags.Clear();
  for (const TqrxTagDef& def : FindTableDef(set.TableName()).TagDefs()) {
    tags.Add(def.Name(), def.Expression(), def.Filter(), def.Unique(), def.Descending());
  }
}

void CreateAllTables(TCBDataBase& database, IMainWindow& window) {
  database.CloseAll();
  const TqrxTableDefs& table_defs = MetadataRoot().TableDefs();
  TCBTableSet set;
  set.SetDataBaseName(&database);
  for (const TqrxTableDef& def : table_defs) {
    if (def.IsMemory()) continue;
    window.AddLogLine(W("Начало создания таблицы ") + def.Name());
    set.Close();
    set.SetTableName(def.Name() + ".dbf");
    SetFieldDefsFromMetadata(set);
    SetCreationTagDefs(set, def);
    set.CreateTable();
    window.AddLogLine(W("Создание таблицы ") + def.Name() + W(" успешно завершено"));
    window.AddLogLine("---");
    window.AddLogLine("");
  }
}

void OpenTableSet(TCBTableSet& set) {
  try {
    set.Open();
  } catch (const ECBOpenTable& e) {
    throw ECBOpenTable(W("Ошибка открытия таблицы ") + set.TableName() + ". " + e.what());
  } catch (const ECBOpenIndex&) {
    // A set that has never been open knows no tags of its own; rebuilding from nothing
    // would leave an index without the tag the set orders by.
    if (set.TagDefs().Count() == 0) SetCreationTagDefs(set, FindTableDef(set.TableName()));
    set.CreateIndex();
    set.Open();
  }
}

void CloseTableSets(const std::vector<TCBTableSet*>& sets) {
  std::exception_ptr failure;
  for (TCBTableSet* set : sets) {
    try {
      set->Close();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void CloseTableSetsAndLegacy(const std::vector<TCBTableSet*>& sets, const std::vector<TLegacyTable*>& legacy_tables) {
  std::exception_ptr failure;
  try {
    CloseTableSets(sets);
  } catch (...) {
    failure = std::current_exception();
  }
  for (TLegacyTable* table : legacy_tables) table->Close();
  if (failure) std::rethrow_exception(failure);
}

bool DatabaseIsEmpty(const TCBDataBase& database) { return DirectoryHoldsNoTables(database.DataPath()); }

}  // namespace ks
