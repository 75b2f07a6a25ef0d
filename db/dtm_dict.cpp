#include "db/dtm_dict.h"

#include <cstdio>
#include <exception>
#include <initializer_list>

#include "common/codepage.h"
#include "common/date_time.h"
#include "db/declared_fields.h"
#include "db/dtm_main.h"
#include "db/table_creation.h"

namespace ks {
namespace {

constexpr int kModelFindNameSize = 100;

std::string KeyText(int32_t key) {
  char text[16];
  std::snprintf(text, sizeof text, "%10d", key);
  return text;
}

// The first character of a name followed by a point, or nothing for an empty name.
std::string Initial(const std::string& name) { return name.empty() ? std::string() : name.substr(0, 1) + "."; }

void DeclareFirmFields(TCBTableSet& set) {
  DeclareFields(set, {{"UID", ftInteger},        {"FSELF", ftBoolean},      {"SHRTNAME", ftString, 30},
                      {"FULLNAME", ftString, 250}, {"ADDRESS", ftString, 250}, {"RASDEP", ftString, 50},
                      {"CORDEP", ftString, 50},  {"BANK", ftString, 250},   {"INN", ftString, 30},
                      {"KPP", ftString, 30},     {"OKONH", ftString, 150},  {"OKPO", ftString, 150},
                      {"BIK", ftString, 15},     {"CARGO", ftString, 250},  {"NO2NDSGN", ftBoolean},
                      {"NOSEAL", ftBoolean},     {"CHIEFID", ftInteger},    {"ACCNTID", ftInteger},
                      {"CASHID", ftInteger},     {"CHIEFDUT", ftInteger},   {"ACCNTDUT", ftInteger},
                      {"CASHDUT", ftInteger}});
}

void DeclareModelFields(TCBTableSet& set, int name_size) {
  DeclareFields(set, {{"UID", ftInteger},     {"FNAME", ftString, name_size}, {"PRICE", ftFloat},
                      {"NDS", ftFloat},       {"NSP", ftBoolean},             {"CNTRYID", ftInteger},
                      {"GTD", ftString, 30},  {"GRPID", ftInteger},           {"VOLID", ftInteger},
                      {"GRPNAME", ftString, 50}, {"CURRID", ftInteger},       {"LCOUNT", ftString, 50},
                      {"NOTE1", ftString, 100},  {"NOTE2", ftString, 100}});
}

void DeclareNameFields(TCBTableSet& set) { DeclareFields(set, {{"UID", ftInteger}, {"FNAME", ftString, 50}}); }

void DeclarePeopleFields(TCBTableSet& set, int fio_size) {
  DeclareFields(set, {{"UID", ftInteger},        {"FIRMID", ftInteger},    {"FSTNAME", ftString, 30},
                      {"SCNDNAME", ftString, 30}, {"LASTNAME", ftString, 30}, {"PSPSER", ftString, 10},
                      {"PSPGIVE", ftString, 200}, {"PSPDATE", ftDate},     {"PSPNUM", ftString, 30}});
  set.AddField("FIO", ftString, fio_size, {}, true, fkCalculated);
}

struct FieldLabel {
  const char* field;
  const char* utf8_label;
};

// The search sets show only their labelled fields.
void ShowLabelled(TDataSet& set, std::initializer_list<FieldLabel> labels) {
  for (const FieldLabel& label : labels) set.FieldByName(label.field).SetDisplayLabel(W(label.utf8_label));
  for (TField* field : set.Fields()) {
    if (field->DisplayLabel() == field->FieldName()) field->SetVisible(false);
  }
}

}  // namespace

EKSDictValueNotFound::EKSDictValueNotFound(int32_t key, const TCBTableSet& set)
    : Exception(W("Ключ ") + std::to_string(key) + W(" в таблице ") + set.TableName() + W(" по индексу ") +
                set.IndexName() + W(" не найден")) {}

TdtmDict::TdtmDict() {
  const struct {
    TCBTableSet* set;
    const char* table;
    const char* index;
  } kSets[] = {
      {&cbtFirm, "Firm.dbf", "IFULNAME"},          {&cbtFirmFind, "Firm.dbf", "IPRIMARY"},
      {&cbtModel, "MODEL.DBF", "INAME"},           {&cbtModelFind, "MODEL.DBF", "IPRIMARY"},
      {&cbtCountry, "COUNTRY.DBF", "INAME"},       {&cbtCountryFind, "COUNTRY.DBF", "IPRIMARY"},
      {&cbttVolume, "tVolume.DBF", "INAME"},       {&cbttVolumeFind, "tVolume.DBF", "IPRIMARY"},
      {&cbttGroup, "tGroup.DBF", "INAME"},         {&cbttGroupFind, "tGroup.DBF", "IPRIMARY"},
      {&cbtPeople, "PEOPLE.DBF", "INAME"},         {&cbtPeopleFind, "PEOPLE.DBF", "IPRIMARY"},
      {&cbtDuties, "DUTIES.DBF", "INAME"},         {&cbtDutiesFind, "DUTIES.DBF", "IPRIMARY"},
      {&cbtCurrExch, "CURREXCH.DBF", "INAME"},     {&cbtCurrExchFind, "CURREXCH.DBF", "IPRIMARY"},
  };
  for (const auto& entry : kSets) {
    entry.set->SetTableName(entry.table);
    entry.set->SetIndexName(entry.index);
  }
  cbtFirm.ContraintsEnabled = false;
  DeclareAllFields();
  InstallHandlers();
  for (TCBTableSet* set : TableSets()) change_defs_[set] = TKSChangeDef{};
  for (TLegacyTable* table : legacy.Tables()) change_defs_[table] = TKSChangeDef{};
}

TdtmDict::~TdtmDict() {
  try {
    CloseDataSets();
  } catch (const std::exception& error) {
    // Closing writes what the engine held back; a failure then has no caller left.
    TCBEnv::Instance().HandleException(error);
  }
  if (main_ != nullptr) main_->DetachDict();  // the main module must not call back later
}

std::vector<TCBTableSet*> TdtmDict::TableSets() {
  return {&cbtFirm,    &cbtFirmFind,    &cbtModel,  &cbtModelFind,  &cbtCountry, &cbtCountryFind,
          &cbttVolume, &cbttVolumeFind, &cbttGroup, &cbttGroupFind, &cbtPeople,  &cbtPeopleFind,
          &cbtDuties,  &cbtDutiesFind,  &cbtCurrExch, &cbtCurrExchFind};
}

void TdtmDict::DeclareAllFields() {
  DeclareFirmFields(cbtFirm);
  DeclareFirmFields(cbtFirmFind);
  cbtFirmFind.AddField("WINN", ftString, 50, {}, true, fkCalculated);
  cbtFirmFind.AddField("WKPP", ftString, 50, {}, true, fkCalculated);
  DeclareModelFields(cbtModel, 240);
  DeclareModelFields(cbtModelFind, kModelFindNameSize);
  for (TCBTableSet* set : {&cbtCountry, &cbtCountryFind, &cbttVolume, &cbttVolumeFind, &cbttGroup, &cbttGroupFind,
                           &cbtDuties, &cbtDutiesFind}) {
    DeclareNameFields(*set);
  }
  DeclarePeopleFields(cbtPeople, 100);
  DeclarePeopleFields(cbtPeopleFind, 50);
  for (TCBTableSet* set : {&cbtCurrExch, &cbtCurrExchFind}) {
    DeclareFields(*set, {{"UID", ftInteger}, {"FNAME", ftString, 50}, {"RATE", ftFloat}});
  }

  ShowLabelled(cbtFirmFind, {{"FULLNAME", "Полное_название"}, {"ADDRESS", "Адрес"}, {"RASDEP", "Расчетный_счет"},
                             {"CORDEP", "Корреспондентский_счет"}, {"BANK", "Банк"}, {"INN", "ИНН"}, {"KPP", "КПП"},
                             {"OKONH", "Код_по_ОКОНХ"}, {"OKPO", "Код_по_ОКПО"}, {"BIK", "БИК"},
                             {"CARGO", "Грузоотправитель"}, {"WINN", "Поле_ИНН"}, {"WKPP", "Поле_КПП"}});
  ShowLabelled(cbtPeopleFind, {{"FSTNAME", "Имя"}, {"SCNDNAME", "Фамилия"}, {"LASTNAME", "Отчество"}, {"FIO", "ФИО"},
                               {"PSPSER", "Паспорт.Серия"}, {"PSPGIVE", "Паспорт.Место_выдачи"},
                               {"PSPDATE", "Паспорт.Дата_выдачи"}, {"PSPNUM", "Паспорт.Номер"}});
}

void TdtmDict::InstallHandlers() {
  auto model_defaults = [this](TDataSet& ds) { SetModelDefaults(ds); };
  auto firm_defaults = [this](TDataSet& ds) { SetFirmDefaults(ds); };
  auto people_defaults = [this](TDataSet& ds) { SetPeopleDefaults(ds); };
  auto auto_inc = [this](TDataSet& ds) { main_->SetAutoIncBeforePost(ds); };
  auto remember_name = [this](TDataSet& ds) { cbtModelBeforeEditOrGroupBeforeEdit(ds); };

  cbtFirm.AfterEdit = firm_defaults;
  cbtFirm.BeforePost = [this](TDataSet& ds) { cbtFirmBeforePost(ds); };
  cbtFirm.AfterAppend = firm_defaults;
  cbtFirmFind.OnCalcFields = [this](TDataSet& ds) { cbtFirmFindCalcFields(ds); };

  cbtModel.BeforeEdit = remember_name;
  cbtModel.AfterEdit = model_defaults;
  cbtModel.BeforePost = [this](TDataSet& ds) { cbtModelBeforePost(ds); };
  cbtModel.AfterCancel = [this](TDataSet& ds) { cbtModelAfterCancel(ds); };
  cbtModel.AfterAppend = model_defaults;

  cbtCountry.BeforePost = auto_inc;
  cbttVolume.BeforePost = auto_inc;
  cbttGroup.BeforeEdit = remember_name;
  cbttGroup.BeforePost = [this](TDataSet& ds) { cbttGroupBeforePost(ds); };

  cbtPeople.AfterEdit = people_defaults;
  cbtPeople.BeforePost = [this](TDataSet& ds) { cbtPeopleBeforePost(ds); };
  cbtPeople.OnCalcFields = [this](TDataSet& ds) { cbtPeopleCalcFields(ds); };
  cbtPeople.AfterAppend = people_defaults;
  cbtPeopleFind.OnCalcFields = [this](TDataSet& ds) { cbtPeopleCalcFields(ds); };

  cbtDuties.BeforePost = auto_inc;
  cbtCurrExch.BeforePost = auto_inc;
}

void TdtmDict::AttachMain(TdtmMain& main) {
  main_ = &main;
  for (TCBTableSet* set : TableSets()) set->SetDataBaseName(&main.dtbKestrel);
}

void TdtmDict::DetachMain() {
  std::exception_ptr failure;  // every set is detached all the same
  try {
    CloseTableSets(TableSets());
  } catch (...) {
    failure = std::current_exception();
  }
  for (TCBTableSet* set : TableSets()) set->SetDataBaseName(nullptr);
  main_ = nullptr;
  if (failure) std::rethrow_exception(failure);
}

void TdtmDict::CloseDataSets() { CloseTableSetsAndLegacy(TableSets(), legacy.Tables()); }

Variant TdtmDict::GetDictValue(TCBTableSet& set, int32_t key, const std::string& field_name) {
  set.Refresh();
  set.SetIndexName("IPRIMARY");
  if (set.SeekKey(KeyText(key))) return set.FieldByName(field_name).AsVariant();
  if (&set == &cbtCountryFind && key == 0) return Variant(W("Россия"));
  if (&set == &cbtCurrExchFind && key == 0) return Variant(W("р."));
  throw EKSDictValueNotFound(key, set);
}

void TdtmDict::SetModelDefaults(TDataSet& dataset) {
  for (const char* name : {"CURRID", "CNTRYID", "GRPID"}) {
    TField& field = dataset.FieldByName(name);
    if (!field.IsNull() && field.AsInteger() == 0) field.Clear();
  }
  TField& nsp = dataset.FieldByName("NSP");
  if (nsp.IsNull()) nsp.SetAsBoolean(true);
}

void TdtmDict::SetFirmDefaults(TDataSet& dataset) {
  const struct {
    const char* name;
    int32_t value;
  } kDuties[] = {{"CHIEFDUT", -1}, {"ACCNTDUT", -2}, {"CASHDUT", -3}};
  for (const auto& duty : kDuties) {
    TField& field = dataset.FieldByName(duty.name);
    if (field.IsNull()) field.SetAsInteger(duty.value);
  }
  const struct {
    const char* name;
    bool value;
  } kFlags[] = {{"FSELF", true}, {"NO2NDSGN", false}, {"NOSEAL", false}};
  for (const auto& flag : kFlags) {
    TField& field = dataset.FieldByName(flag.name);
    if (field.IsNull()) field.SetAsBoolean(flag.value);
  }
}

void TdtmDict::SetPeopleDefaults(TDataSet& dataset) {
  TField& date = dataset.FieldByName("PSPDATE");
  if (date.IsNull()) date.SetAsDateTime(Today());
}

void TdtmDict::cbtModelBeforeEditOrGroupBeforeEdit(TDataSet& dataset) {
  TKSChangeDef& def = ChangeDef(&dataset);
  def.OldName = dataset.FieldByName("FNAME").AsString();
  def.UID = dataset.FieldByName("UID").AsInteger();
}

void TdtmDict::NamedBeforePost(TDataSet& dataset) {
  TKSChangeDef& def = ChangeDef(&dataset);
  def.DataSet = &dataset;
  if (dataset.State() == dsEdit) {
    def.NewName = dataset.FieldByName("FNAME").AsString();
  } else {
    def.UID = -1;
  }
  main_->SetAutoIncBeforePost(dataset);
}

void TdtmDict::cbtModelBeforePost(TDataSet& dataset) {
  SetModelDefaults(dataset);
  TField& group_name = dataset.FieldByName("GRPNAME");
  try {
    const Variant name = GetDictValue(cbttGroupFind, dataset.FieldByName("GRPID").AsInteger(), "FNAME");
    group_name.SetAsVariant(name);
  } catch (const EKSDictValueNotFound&) {
    group_name.Clear();  // a good whose group is unknown keeps no group name
  }
  NamedBeforePost(dataset);
}

void TdtmDict::cbttGroupBeforePost(TDataSet& dataset) { NamedBeforePost(dataset); }

void TdtmDict::cbtModelAfterCancel(TDataSet& dataset) {
  // Without a record, going into edit would append and post an empty model.
  if (dataset.IsEmpty()) return;
  dataset.Edit();
  dataset.Post();
}

void TdtmDict::cbtFirmBeforePost(TDataSet& dataset) {
  SetFirmDefaults(dataset);
  main_->SetAutoIncBeforePost(dataset);
}

void TdtmDict::cbtPeopleBeforePost(TDataSet& dataset) {
  SetPeopleDefaults(dataset);
  main_->SetAutoIncBeforePost(dataset);
}

void TdtmDict::cbtFirmFindCalcFields(TDataSet& dataset) {
  const std::string inn = dataset.FieldByName("INN").AsString();
  const std::string kpp = dataset.FieldByName("KPP").AsString();
  dataset.FieldByName("WINN").SetAsString(inn.empty() ? std::string() : W("ИНН ") + inn);
  dataset.FieldByName("WKPP").SetAsString(kpp.empty() ? std::string() : W("КПП ") + kpp);
}

void TdtmDict::cbtPeopleCalcFields(TDataSet& dataset) {
  dataset.FieldByName("FIO").SetAsString(dataset.FieldByName("SCNDNAME").AsString() + " " +
                                          Initial(dataset.FieldByName("FSTNAME").AsString()) + " " +
                                          Initial(dataset.FieldByName("LASTNAME").AsString()));
}

}  // namespace ks
