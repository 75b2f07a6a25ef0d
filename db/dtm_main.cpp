#include "db/dtm_main.h"

#include <exception>

#include "common/codepage.h"
#include "db/declared_fields.h"
#include "db/dtm_dict.h"
#include "db/first_uid.h"
#include "db/table_creation.h"

namespace ks {

TdtmMain::TdtmMain(TdtmDict& dict) : dict_(&dict) {
  engPrimary.FindServerMode = TFindServerMode::fsAutomatic;
  engPrimary.ProcessID = "23165";
  engPrimary.ServerId = "S4SERVER";
  engPrimary.UserId = "PUBLIC";
  dtbKestrel.SetCBEngine(&engPrimary);
  dtbKestrel.SetDataPath("../Database/");  // replaced at start-up

  cbtLines.SetTableName("LINES.DBF");
  cbtLines.SetIndexName("ITBLNAME");
  DeclareFields(cbtLines, {{"TBLNAME", ftString, 20}, {"NEXTUID", ftInteger}});

  cbtGoods.SetTableName("GOODS.DBF");
  cbtGoods.SetIndexName("IDOC");
  DeclareFields(cbtGoods, {{"DOCID", ftInteger}, {"MODID", ftInteger}, {"PRICE", ftFloat}, {"NDS", ftFloat},
                           {"NSP", ftBoolean}, {"FCOUNT", ftFloat}, {"VOLID", ftInteger}, {"GRPID", ftInteger},
                           {"CNTRYID", ftInteger}, {"GTD", ftString, 30}, {"ORDERA", ftInteger},
                           {"CURRID", ftInteger}, {"FKPRICE", ftFloat}, {"LCOUNT", ftString, 50},
                           {"NOTE1", ftString, 100}, {"NOTE2", ftString, 100}});

  cbtDocCommon.SetTableName("Doc.dbf");
  DeclareFields(cbtDocCommon, {{"UID", ftInteger}, {"FTYPE", ftInteger}, {"FDATE", ftDate}, {"INTNUM", ftInteger},
                               {"STRNUM", ftString, 200}, {"FIRM", ftInteger}, {"PARTNER", ftInteger},
                               {"FSUM", ftFloat}, {"RATE", ftFloat}, {"NSP", ftFloat}, {"USENSP", ftBoolean},
                               {"FCOMPLEX", ftMemo}, {"CURRID", ftInteger}, {"BYCURR", ftBoolean},
                               {"PEOPLEID", ftInteger}, {"FOLDER", ftInteger}});

  cbtTmpltDummy.SetTableName("TMPLT.dbf");
  cbtTmpltDummy.SetIndexName("IPRIMARY");
  DeclareFields(cbtTmpltDummy,
                {{"UID", ftInteger}, {"DOCTYPE", ftInteger}, {"FLDNAME", ftString, 8}, {"FBODY", ftMemo}});

  for (TCBTableSet* set : TableSets()) set->SetDataBaseName(&dtbKestrel);
  dict.AttachMain(*this);
}

TdtmMain::~TdtmMain() {
  try {
    // The dictionary's sets name this module's database, which goes away now.
    if (dict_ != nullptr) dict_->DetachMain();
    CloseDataSets();
  } catch (const std::exception& error) {
    // Closing writes what the engine held back; a failure then has no caller left.
    TCBEnv::Instance().HandleException(error);
  }
}

std::vector<TCBTableSet*> TdtmMain::TableSets() { return {&cbtLines, &cbtGoods, &cbtDocCommon, &cbtTmpltDummy}; }

void TdtmMain::TakeDatabasePath(const std::string& database_path) {
  engPrimary.Start();
  dtbKestrel.SetDataPath(database_path);
}

void TdtmMain::CloseDataSets() {
  std::vector<TLegacyTable*> legacy_tables = legacy.Tables();
  legacy_tables.push_back(&legacy.tblCheck);
  CloseTableSetsAndLegacy(TableSets(), legacy_tables);
}

void TdtmMain::SetAutoIncBeforePost(TDataSet& dataset) {
  TField& uid = dataset.FieldByName("UID");
  if (!uid.IsNull()) return;
  auto* set = dynamic_cast<TCBTableSet*>(&dataset);
  if (set == nullptr) throw Exception("Invalid class typecast");
  const std::string name = set->TableName();
  // The whole width of the key: a shorter one would also find a longer name that begins
  // with it ("COUNTRY.DBF" in "COUNTRY.DBF_OLD").
  std::string key = UpperCp1251(name);
  const size_t width = static_cast<size_t>(cbtLines.FieldByName("TBLNAME").Size());
  if (key.size() < width) key.resize(width, ' ');
  int32_t next;
  if (cbtLines.SeekKey(key)) {
    next = cbtLines.FieldByName("NEXTUID").AsInteger();
    cbtLines.Edit();
  } else {
    cbtLines.Append();
    cbtLines.FieldByName("TBLNAME").SetAsString(name);
    next = kFirstUid;
  }
  // The record takes its number only once the counter has moved past it: a record that kept
  // a number whose counter was never stored would share it with the next record.
  try {
    cbtLines.FieldByName("NEXTUID").SetAsInteger(next + 1);
    cbtLines.Post();
  } catch (...) {
    cbtLines.Cancel();  // nothing half-done is posted by a later seek
    throw;
  }
  uid.SetAsInteger(next);
}

}  // namespace ks
