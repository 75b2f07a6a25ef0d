#pragma once
// The dictionary data module: the reference-book table sets of the target database with
// their record rules, the dictionary look-up by UID, and the legacy reference tables.

#include <map>
#include <string>
#include <vector>

#include "common/exception.h"
#include "common/non_copyable.h"
#include "common/variant.h"
#include "db/engine/cb_table_set.h"
#include "legacy/legacy_tables.h"

namespace ks {

class TdtmMain;

// What an edit of a named reference record changed; kept per dataset, read by nobody yet.
struct TKSChangeDef {
  std::string OldName;
  std::string NewName;
  int32_t UID = -1;
  TDataSet* DataSet = nullptr;
};

// A dictionary key without a record.
class EKSDictValueNotFound : public Exception {
 public:
  EKSDictValueNotFound(int32_t key, const TCBTableSet& set);
};

class TdtmDict : NonCopyable {
 public:
  TdtmDict();
  ~TdtmDict();

  // Called by the main module when it exists: every table set gets its database.
  void AttachMain(TdtmMain& main);
  // Called by the main module when it goes away: the sets close and lose their database.
  void DetachMain();

  // The value of field_name of the record whose UID is key, looked up in a search set.
  // The country 0 is "Россия" and the currency 0 "р."; any other missing key raises
  // EKSDictValueNotFound.
  Variant GetDictValue(TCBTableSet& set, int32_t key, const std::string& field_name);

  // The record rules shared by several handlers.
  void SetModelDefaults(TDataSet& dataset);
  void SetFirmDefaults(TDataSet& dataset);
  void SetPeopleDefaults(TDataSet& dataset);

  TKSChangeDef& ChangeDef(const void* component) { return change_defs_.at(component); }

  // Closes every dataset of the module, target and legacy, in component order.
  void CloseDataSets();

  TCBTableSet cbtFirm{"cbtFirm"};
  TCBTableSet cbtFirmFind{"cbtFirmFind"};
  TCBTableSet cbtModel{"cbtModel"};
  TCBTableSet cbtModelFind{"cbtModelFind"};
  TCBTableSet cbtCountry{"cbtCountry"};
  TCBTableSet cbtCountryFind{"cbtCountryFind"};
  TCBTableSet cbttVolume{"cbttVolume"};
  TCBTableSet cbttVolumeFind{"cbttVolumeFind"};
  TCBTableSet cbttGroup{"cbttGroup"};
  TCBTableSet cbttGroupFind{"cbttGroupFind"};
  TCBTableSet cbtPeople{"cbtPeople"};
  TCBTableSet cbtPeopleFind{"cbtPeopleFind"};
  TCBTableSet cbtDuties{"cbtDuties"};
  TCBTableSet cbtDutiesFind{"cbtDutiesFind"};
  TCBTableSet cbtCurrExch{"cbtCurrExch"};
  TCBTableSet cbtCurrExchFind{"cbtCurrExchFind"};
  TLegacyDictTables legacy;  // tblGroup, tblCountry, tblFirmRef, tblModel, tblVol, tblPeople

 private:
  std::vector<TCBTableSet*> TableSets();
  void DeclareAllFields();
  void InstallHandlers();

  // Event handlers.
  void cbtModelBeforeEditOrGroupBeforeEdit(TDataSet& dataset);
  void cbtModelBeforePost(TDataSet& dataset);
  void cbttGroupBeforePost(TDataSet& dataset);
  void cbtModelAfterCancel(TDataSet& dataset);
  void cbtFirmBeforePost(TDataSet& dataset);
  void cbtPeopleBeforePost(TDataSet& dataset);
  void cbtFirmFindCalcFields(TDataSet& dataset);
  void cbtPeopleCalcFields(TDataSet& dataset);
  // The change record of a posted name, then the record's identifier.
  void NamedBeforePost(TDataSet& dataset);

  TdtmMain* main_ = nullptr;
  std::map<const void*, TKSChangeDef> change_defs_;
};

}  // namespace ks
