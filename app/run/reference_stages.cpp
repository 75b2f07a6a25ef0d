// The reference books: duties, goods groups, countries, firms, goods, units of measure,
// representatives and payment-purpose templates. Legacy identifiers become target UIDs
// unchanged; the table sets complete the records by their own rules.

#include "app/run/conversion_run.h"
#include "app/converter.h"
#include "app/run/doc_columns.h"
#include "app/run/legacy_marks.h"
#include "app/run/stage_frame.h"
#include "app/run/stage_target.h"
#include "common/codepage.h"

namespace ks {
namespace {

// The field name of the payment orders' purpose property.
constexpr const char* kPurposeField = "PURPOSE";

// A mapping that copies a legacy table of identifier and name into UID and FNAME.
ReferenceFill CopyName(TLegacyTable& source, const char* id_field, const char* name_field) {
  return [&source, id_field, name_field](StageTarget& target, int) {
    const int32_t id = source.FieldByName(id_field).AsInteger();
    target.FieldByName("UID").SetAsInteger(id);
    target.FieldByName("FNAME").SetAsString(source.FieldByName(name_field).AsString());
    return id;
  };
}

// Leaves out the records whose identifier is the legacy marker, for this reason.
ReferenceSkip SkipMarker(TLegacyTable& source, const char* id_field, int32_t marker, const char* reason) {
  return [&source, id_field, marker, reason] {
    return source.FieldByName(id_field).AsInteger() == marker ? std::string(reason) : std::string();
  };
}

}  // namespace

void ConversionRun::CopyReference(const char* first_line, const char* last_line, TLegacyTable& source,
                                  TCBTableSet& target_set, const ReferenceFill& fill, const ReferenceSkip& skip) {
  StageFrame frame(context_, first_line, last_line);
  StageTarget target(frame, target_set);
  frame.Copy(source, [&](int row) {
    if (skip) {
      const std::string reason = skip();
      if (!reason.empty()) return frame.Skip(reason);
    }
    target.Append();
    const int32_t uid = fill(target, row);
    target.Post();
    frame.Raise(uid);
  });
  SetNextUID(target_set, frame.RunningMaximum());
  frame.Finish();
}

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
  TLegacyTable& source = dict_.legacy.tblGroup;
  CopyReference("Начало копирования справочника групп", "Копирование справочника групп успешно завершено", source,
                dict_.cbttGroup, CopyName(source, "GroupID", "GroupName"),
                SkipMarker(source, "GroupID", kNoGroup, "GroupID 0 (no group)"));
}

void ConversionRun::CopyCountries() {
  TLegacyTable& source = dict_.legacy.tblCountry;
  CopyReference("Начало копирования справочника стран", "Копирование справочника стран успешно завершено", source,
                dict_.cbtCountry, CopyName(source, "CountryID", "CountryName"),
                SkipMarker(source, "CountryID", kNoCountry, "CountryID -10 (no country)"));
}

void ConversionRun::CopyFirms() {
  TLegacyTable& source = dict_.legacy.tblFirmRef;
  static const struct {
    const char* target;
    const char* source;
  } kTexts[] = {{"SHRTNAME", "ShortName"}, {"FULLNAME", "FullName"}, {"ADDRESS", "Addres"},   {"RASDEP", "RDep"},
                {"CORDEP", "CDep"},        {"BANK", "Bank"},         {"INN", "INN"},         {"KPP", "KPP"},
                {"OKONH", "OKONH_Code"},   {"OKPO", "OKPO_Code"},    {"BIK", "Bik"},          {"CARGO", "Cargo"}};
  CopyReference("Начало копирования справочника фирм", "Копирование справочника фирм успешно завершено", source,
                dict_.cbtFirm, [&](StageTarget& firms, int) {
                  const int32_t uid = source.FieldByName("RefID").AsInteger();
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
                  return uid;
                });
}

void ConversionRun::CopyModels() {
  TLegacyTable& source = dict_.legacy.tblModel;
  CopyReference("Начало копирования справочника товаров", "Копирование справочника товаров успешно завершено",
                source, dict_.cbtModel, [&](StageTarget& models, int) {
                  const int32_t uid = source.FieldByName("ModelID").AsInteger();
                  const double nds = source.FieldByName("NDS").AsFloat();
                  const int32_t country = source.FieldByName("countryid").AsInteger();
                  const int32_t group = source.FieldByName("GroupID").AsInteger();
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
                  return uid;
                });
}

void ConversionRun::CopyVolumes() {
  TLegacyTable& source = dict_.legacy.tblVol;
  CopyReference("Начало копирования справочника единиц измерения",
                "Копирование справочника единиц измерения успешно завершено", source, dict_.cbttVolume,
                CopyName(source, "VolID", "VolName"));
}

void ConversionRun::CopyPeople() {
  TLegacyTable& source = dict_.legacy.tblPeople;
  const DateTime today = Today();
  CopyReference("Начало копирования справочника представителей",
                "Копирование справочника представителей успешно завершено", source, dict_.cbtPeople,
                [&](StageTarget& people, int) {
                  const int32_t uid = source.FieldByName("PeopleID").AsInteger();
                  people.FieldByName("UID").SetAsInteger(uid);
                  people.FieldByName("FIRMID").SetAsInteger(source.FieldByName("FirmPID").AsInteger());
                  people.FieldByName("FSTNAME").SetAsString(source.FieldByName("FirstNamePeople").AsString());
                  people.FieldByName("SCNDNAME").SetAsString(source.FieldByName("SecondNamePeople").AsString());
                  people.FieldByName("LASTNAME").SetAsString(source.FieldByName("LastNamePeople").AsString());
                  people.FieldByName("PSPDATE").SetAsDateTime(today);
                  return uid;
                });
}

void ConversionRun::CopyTemplates() {
  TLegacyTable& source = main_.legacy.tblTemplate;
  CopyReference("Начало копирования справочника шаблонов", "Копирование справочника шаблонов успешно завершено",
                source, main_.cbtTmpltDummy, [&](StageTarget& templates, int row) {
                  const int32_t uid = kFirstUid + row;
                  templates.FieldByName("UID").SetAsInteger(uid);
                  templates.FieldByName("DOCTYPE").SetAsInteger(kPaymentOrderKind);
                  templates.FieldByName("FLDNAME").SetAsString(kPurposeField);
                  templates.FieldByName("FBODY").SetAsString(source.FieldByName("Comment").AsString());
                  return uid;
                });
}

}  // namespace ks
