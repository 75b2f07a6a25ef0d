// The reference books: duties, goods groups, countries, firms, goods, units of measure,
// representatives and payment-purpose templates. Legacy identifiers become target UIDs
// unchanged; the table sets complete the records by their own rules.

#include "app/conversion_run.h"
#include "app/converter.h"
#include "app/doc_columns.h"
#include "app/stage_frame.h"
#include "app/stage_target.h"
#include "common/codepage.h"

namespace ks {
namespace {

// The field name of the payment orders' purpose property.
constexpr const char* kPurposeField = "PURPOSE";

// Legacy marks for "no group" and "no country".
constexpr int32_t kNoGroup = 0;
constexpr int32_t kNoCountry = -10;

// Copies a legacy table of UID and name into a reference set, skipping one marker id.
void CopyNames(StageFrame& frame, TLegacyTable& source, const char* id_field, const char* name_field,
               TCBTableSet& target_set, bool has_skip_id, int32_t skip_id, const char* skip_reason = "") {
  StageTarget target(frame, target_set);
  frame.Copy(source, [&](int) {
    const int32_t id = source.FieldByName(id_field).AsInteger();
    if (has_skip_id && id == skip_id) return frame.Skip(skip_reason);
    target.Append();
    target.FieldByName("UID").SetAsInteger(id);
    target.FieldByName("FNAME").SetAsString(source.FieldByName(name_field).AsString());
    target.Post();
    frame.Raise(id);
  });
}

}  // namespace

void ConversionRun::CopyDuties() {
  StageFrame frame(context_, "Начало заполнения справочника должностей",
                   "Заполнение справочника должностей успешно завершено");
  StageTarget duties(frame, dict_.cbtDuties);
  const struct {
    int32_t uid;
    const char* name;
  } kDuties[] = {{-1, "Руководитель предприятия"}, {-2, "Бухгалтер"}, {-3, "Кассир"}};
  for (const auto& duty : kDuties) {
    duties.Append();
    duties.FieldByName("UID").SetAsInteger(duty.uid);
    duties.FieldByName("FNAME").SetAsString(W(duty.name));
    duties.Post();
  }
  SetNextUID(dict_.cbtDuties, kFirstUid);
  frame.Finish();
}

void ConversionRun::CopyGroups() {
  StageFrame frame(context_, "Начало копирования справочника групп", "Копирование справочника групп успешно завершено");
  CopyNames(frame, dict_.legacy.tblGroup, "GroupID", "GroupName", dict_.cbttGroup, true, kNoGroup,
            "GroupID 0 (no group)");
  SetNextUID(dict_.cbttGroup, frame.RunningMaximum());
  frame.Finish();
}

void ConversionRun::CopyCountries() {
  StageFrame frame(context_, "Начало копирования справочника стран", "Копирование справочника стран успешно завершено");
  CopyNames(frame, dict_.legacy.tblCountry, "CountryID", "CountryName", dict_.cbtCountry, true, kNoCountry,
            "CountryID -10 (no country)");
  SetNextUID(dict_.cbtCountry, frame.RunningMaximum());
  frame.Finish();
}

void ConversionRun::CopyFirms() {
  StageFrame frame(context_, "Начало копирования справочника фирм", "Копирование справочника фирм успешно завершено");
  TLegacyTable& source = dict_.legacy.tblFirmRef;
  StageTarget firms(frame, dict_.cbtFirm);
  static const struct {
    const char* target;
    const char* source;
  } kTexts[] = {{"SHRTNAME", "ShortName"}, {"FULLNAME", "FullName"}, {"ADDRESS", "Addres"},   {"RASDEP", "RDep"},
                {"CORDEP", "CDep"},        {"BANK", "Bank"},         {"INN", "INN"},         {"KPP", "KPP"},
                {"OKONH", "OKONH_Code"},   {"OKPO", "OKPO_Code"},    {"BIK", "Bik"},          {"CARGO", "Cargo"}};
  frame.Copy(source, [&](int) {
    const int32_t uid = source.FieldByName("RefID").AsInteger();
    firms.Append();
    firms.FieldByName("UID").SetAsInteger(uid);
    firms.FieldByName("FSELF").SetAsBoolean(source.FieldByName("Veltro").AsBoolean());
    for (const auto& text : kTexts) {
      firms.FieldByName(text.target).SetAsString(source.FieldByName(text.source).AsString());
    }
    firms.FieldByName("NO2NDSGN").SetAsBoolean(source.FieldByName("SecPodp").AsBoolean());
    firms.FieldByName("NOSEAL").SetAsBoolean(source.FieldByName("seal").AsBoolean());
    firms.FieldByName("CHIEFID").SetAsInteger(source.FieldByName("ChiefID").AsInteger());
    firms.FieldByName("ACCNTID").SetAsInteger(source.FieldByName("AccountantID").AsInteger());
    firms.FieldByName("CASHID").SetAsInteger(source.FieldByName("CashierID").AsInteger());
    firms.Post();
    frame.Raise(uid);
  });
  SetNextUID(dict_.cbtFirm, frame.RunningMaximum());
  frame.Finish();
}

void ConversionRun::CopyModels() {
  StageFrame frame(context_, "Начало копирования справочника товаров",
                   "Копирование справочника товаров успешно завершено");
  TLegacyTable& source = dict_.legacy.tblModel;
  StageTarget models(frame, dict_.cbtModel);
  frame.Copy(source, [&](int) {
    const int32_t uid = source.FieldByName("ModelID").AsInteger();
    const double nds = source.FieldByName("NDS").AsFloat();
    const int32_t country = source.FieldByName("countryid").AsInteger();
    const int32_t group = source.FieldByName("GroupID").AsInteger();
    models.Append();
    models.FieldByName("UID").SetAsInteger(uid);
    models.FieldByName("FNAME").SetAsString(source.FieldByName("ModelName").AsString());
    models.FieldByName("PRICE").SetAsFloat(source.FieldByName("Price").AsFloat());
    // A negative rate carries the legacy "NDS allocated" flag.
    models.FieldByName("NDS").SetAsFloat(source.FieldByName("NDSAlloc").AsBoolean() ? -nds : nds);
    models.FieldByName("NSP").SetAsBoolean(true);
    if (country != kNoCountry) models.FieldByName("CNTRYID").SetAsInteger(country);
    models.FieldByName("GTD").SetAsString(source.FieldByName("numdeclar").AsString());
    if (group != kNoGroup) models.FieldByName("GRPID").SetAsInteger(group);
    models.FieldByName("VOLID").SetAsInteger(source.FieldByName("VolID").AsInteger());
    models.Post();
    frame.Raise(uid);
  });
  SetNextUID(dict_.cbtModel, frame.RunningMaximum());
  frame.Finish();
}

void ConversionRun::CopyVolumes() {
  StageFrame frame(context_, "Начало копирования справочника единиц измерения",
                   "Копирование справочника единиц измерения успешно завершено");
  CopyNames(frame, dict_.legacy.tblVol, "VolID", "VolName", dict_.cbttVolume, false, 0);
  SetNextUID(dict_.cbttVolume, frame.RunningMaximum());
  frame.Finish();
}

void ConversionRun::CopyPeople() {
  StageFrame frame(context_, "Начало копирования справочника представителей",
                   "Копирование справочника представителей успешно завершено");
  TLegacyTable& source = dict_.legacy.tblPeople;
  StageTarget people(frame, dict_.cbtPeople);
  const DateTime today = Today();
  frame.Copy(source, [&](int) {
    const int32_t uid = source.FieldByName("PeopleID").AsInteger();
    people.Append();
    people.FieldByName("UID").SetAsInteger(uid);
    people.FieldByName("FIRMID").SetAsInteger(source.FieldByName("FirmPID").AsInteger());
    people.FieldByName("FSTNAME").SetAsString(source.FieldByName("FirstNamePeople").AsString());
    people.FieldByName("SCNDNAME").SetAsString(source.FieldByName("SecondNamePeople").AsString());
    people.FieldByName("LASTNAME").SetAsString(source.FieldByName("LastNamePeople").AsString());
    people.FieldByName("PSPDATE").SetAsDateTime(today);
    people.Post();
    frame.Raise(uid);
  });
  SetNextUID(dict_.cbtPeople, frame.RunningMaximum());
  frame.Finish();
}

void ConversionRun::CopyTemplates() {
  StageFrame frame(context_, "Начало копирования справочника шаблонов",
                   "Копирование справочника шаблонов успешно завершено");
  TLegacyTable& source = main_.legacy.tblTemplate;
  StageTarget templates(frame, main_.cbtTmpltDummy);
  frame.Copy(source, [&](int row) {
    const int32_t uid = kFirstUid + row;
    templates.Append();
    templates.FieldByName("UID").SetAsInteger(uid);
    templates.FieldByName("DOCTYPE").SetAsInteger(kPaymentOrderKind);
    templates.FieldByName("FLDNAME").SetAsString(kPurposeField);
    templates.FieldByName("FBODY").SetAsString(source.FieldByName("Comment").AsString());
    templates.Post();
    frame.Raise(uid);
  });
  SetNextUID(main_.cbtTmpltDummy, frame.RunningMaximum());
  frame.Finish();
}

}  // namespace ks
