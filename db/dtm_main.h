#pragma once
// The main data module: the engine and the target database, the counter table LINES, the
// document table sets and the legacy archive tables.

#include <string>
#include <vector>

#include "common/non_copyable.h"
#include "db/engine/cb_table_set.h"
#include "db/engine/cb_engine.h"
#include "legacy/legacy_tables.h"

namespace ks {

class TdtmDict;

class TdtmMain : NonCopyable {
 public:
  // The dictionary module exists first; its table sets name this module's database, and
  // the reference is resolved here.
  explicit TdtmMain(TdtmDict& dict);
  ~TdtmMain();

  // Start-up hand-over of the configured directory: the engine starts, then the directory
  // becomes the data path of the target database (which adds the closing "/").
  void TakeDatabasePath(const std::string& database_path);

  // Gives the record being posted a new UID from LINES when it has none.
  void SetAutoIncBeforePost(TDataSet& dataset);

  // Closes every dataset of the module, target and legacy, in component order.
  void CloseDataSets();

  // Called by the dictionary module when it goes away first.
  void DetachDict() { dict_ = nullptr; }

  TCBEngine engPrimary{"engPrimary"};
  TCBDataBase dtbKestrel{"dtbKestrel"};
  TCBTableSet cbtLines{"cbtLines"};
  TCBTableSet cbtGoods{"cbtGoods"};
  TCBTableSet cbtDocCommon{"cbtDocCommon"};
  TCBTableSet cbtTmpltDummy{"cbtTmpltDummy"};
  TLegacyMainTables legacy;  // tblTemplate, tblDocument, tblMain, tblFullstorage, tblCheck

 private:
  std::vector<TCBTableSet*> TableSets();
  TdtmDict* dict_;
};

}  // namespace ks
