#pragma once
// Turning the metadata into the table files of the target database, and the services the
// run needs around them: creating every table, opening a table set with the operator's
// message for a missing table and a rebuilt index for a missing one, and the emptiness test.

#include <vector>

#include "common/main_window.h"
#include "db/engine/cb_table_set.h"
#include "db/engine/cb_engine.h"
#include "legacy/legacy_table.h"

namespace ks {

// Creates, in the database's directory, the data file, production index and (for memo
// tables) memo file of every table definition that is not a memory table, in document
// order, logging each creation. Tables of the database that are still open (left by an
// earlier failed run) are closed first, so that their files can be replaced.
void CreateAllTables(TCBDataBase& database, IMainWindow& window);

// Copy a table definition into the set's field definitions / tag definitions.
void SetFieldDefsFromMetadata(TCBTableSet& set);
void SetTagDefsFromMetadata(TCBTableSet& set);

// Opens the set. A missing data file raises ECBOpenTable again, its message led by
// "Ошибка открытия таблицы " + table name (the front end shows it, once); a missing index
// file is rebuilt from the set's tag definitions (from the schema when the set has none
// yet) and the set opened a second time.
void OpenTableSet(TCBTableSet& set);

// Closes every set, also after one of them failed to close (what the engine held back could
// not be written); then raises the first failure.
void CloseTableSets(const std::vector<TCBTableSet*>& sets);

// Closes every set, then every legacy table all the same; then raises the first failure
// of a set. A data module closes its datasets so.
void CloseTableSetsAndLegacy(const std::vector<TCBTableSet*>& sets, const std::vector<TLegacyTable*>& legacy_tables);

// True when the database directory holds no table, index or memo file.
bool DatabaseIsEmpty(const TCBDataBase& database);

}  // namespace ks
