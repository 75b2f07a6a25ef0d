#include "legacy/legacy_tables.h"

#include <cstring>

namespace ks {
namespace {

using K = TLegacyFieldKind;

struct FieldDeclaration {
  const char* name;
  K kind;
  int size;
};

struct TableDeclaration {
  const char* component;
  const char* table;
  const char* key;  // nullptr when nothing is found by key
  std::vector<FieldDeclaration> fields;
};

const std::vector<TableDeclaration>& Declarations() {
  static const std::vector<TableDeclaration> declarations = {
      {"tblGroup", "Group", nullptr, {{"GroupID", K::kInteger, 0}, {"GroupName", K::kString, 50}}},
      {"tblCountry", "Country", nullptr, {{"CountryID", K::kInteger, 0}, {"CountryName", K::kString, 30}}},
      {"tblFirmRef",
       "FirmRef",
       nullptr,
       {{"RefID", K::kInteger, 0},      {"Veltro", K::kBoolean, 0},      {"ShortName", K::kString, 30},
        {"FullName", K::kString, 200},  {"Addres", K::kString, 255},     {"RDep", K::kString, 50},
        {"CDep", K::kString, 50},       {"Bank", K::kString, 200},       {"INN", K::kString, 30},
        {"KPP", K::kString, 30},        {"OKONH_Code", K::kString, 150}, {"OKPO_Code", K::kString, 150},
        {"Bik", K::kString, 15},        {"Cargo", K::kString, 255},      {"SecPodp", K::kBoolean, 0},
        {"seal", K::kBoolean, 0},       {"ChiefID", K::kInteger, 0},     {"AccountantID", K::kInteger, 0},
        {"CashierID", K::kInteger, 0}}},
      {"tblModel",
       "Model",
       nullptr,
       {{"ModelID", K::kInteger, 0}, {"ModelName", K::kString, 100}, {"Price", K::kFloat, 0},
        {"NDS", K::kFloat, 0},       {"NDSAlloc", K::kBoolean, 0},   {"countryid", K::kInteger, 0},
        {"numdeclar", K::kString, 40}, {"GroupID", K::kInteger, 0},  {"VolID", K::kInteger, 0}}},
      {"tblVol", "vol", nullptr, {{"VolID", K::kInteger, 0}, {"VolName", K::kString, 20}}},
      {"tblPeople",
       "People",
       nullptr,
       {{"PeopleID", K::kInteger, 0},
        {"FirmPID", K::kInteger, 0},
        {"FirstNamePeople", K::kString, 30},
        {"SecondNamePeople", K::kString, 30},
        {"LastNamePeople", K::kString, 30}}},
      {"tblTemplate", "Template", nullptr, {{"Comment", K::kMemo, 0}}},
      {"tblDocument",
       "Document",
       "DocumentID",
       {{"DocumentID", K::kInteger, 0}, {"TypeDoc", K::kInteger, 0},   {"TypeNaklad", K::kString, 30},
        {"Date", K::kDate, 0},          {"Note", K::kString, 255},     {"Number", K::kString, 30},
        {"SenderID", K::kInteger, 0},   {"PeopleID", K::kInteger, 0},  {"FirmPID", K::kInteger, 0},
        {"MemoPok", K::kMemo, 0},       {"MemoPlat", K::kMemo, 0},     {"Summa", K::kFloat, 0},
        {"nalvalue", K::kFloat, 0},     {"naltype", K::kBoolean, 0},   {"NDS", K::kFloat, 0},
        {"NDSAlloc", K::kBoolean, 0},   {"BaseNumber", K::kString, 30}, {"BaseDate", K::kDate, 0}}},
      {"tblMain",
       "Main",
       nullptr,
       {{"No", K::kInteger, 0},       {"DocDate", K::kDate, 0},     {"Sender", K::kInteger, 0},
        {"Receiver", K::kInteger, 0}, {"SendByPost", K::kSmallint, 0}, {"Sum", K::kFloat, 0},
        {"NDS", K::kFloat, 0},        {"PayDate", K::kDate, 0},     {"PayOrder", K::kInteger, 0},
        {"VidOper", K::kString, 2},   {"Cod", K::kString, 7},       {"Comment", K::kMemo, 0},
        {"NDSString", K::kString, 200}}},
      {"tblFullstorage",
       "FULLSTORAGE",
       nullptr,
       {{"DocID", K::kInteger, 0}, {"ModelID", K::kInteger, 0},   {"Price", K::kFloat, 0},
        {"NDS", K::kFloat, 0},     {"NDSAlloc", K::kBoolean, 0},  {"Count", K::kFloat, 0},
        {"VolID", K::kInteger, 0}, {"GroupID", K::kInteger, 0},   {"countryid", K::kInteger, 0},
        {"numdeclar", K::kString, 40}}},
      // The probe table gets its name from the table it checks.
      {"tblCheck", "", nullptr, {}},
  };
  return declarations;
}

}  // namespace

bool DeclareLegacyTable(TLegacyTable& table) {
  for (const TableDeclaration& declaration : Declarations()) {
    if (table.Name() != declaration.component) continue;
    table.SetTableName(declaration.table);
    for (const FieldDeclaration& field : declaration.fields) table.AddFieldDef(field.name, field.kind, field.size);
    if (declaration.key) table.SetKeyField(declaration.key);
    return true;
  }
  return false;
}

TLegacyDictTables::TLegacyDictTables() {
  for (TLegacyTable* table : Tables()) DeclareLegacyTable(*table);
}

std::vector<TLegacyTable*> TLegacyDictTables::Tables() {
  return {&tblGroup, &tblCountry, &tblFirmRef, &tblModel, &tblVol, &tblPeople};
}

TLegacyMainTables::TLegacyMainTables() {
  for (TLegacyTable* table : Tables()) {
    DeclareLegacyTable(*table);
    table->SetChainCache(&chains);
  }
  DeclareLegacyTable(tblCheck);
  tblCheck.SetChainCache(&chains);
}

std::vector<TLegacyTable*> TLegacyMainTables::Tables() {
  return {&tblTemplate, &tblDocument, &tblMain, &tblFullstorage};
}

void SetLegacyDirectory(TLegacyDictTables& dict, TLegacyMainTables& main, const std::string& dir) {
  for (TLegacyTable* table : dict.Tables()) table->SetDirectory(dir);
  for (TLegacyTable* table : main.Tables()) table->SetDirectory(dir);
  main.tblCheck.SetDirectory(dir);
}

void ProbeLegacyStructure(TLegacyTable& check, const std::vector<TLegacyTable*>& tables) {
  struct Closer {
    TLegacyTable& table;
    ~Closer() { table.Close(); }
  } closer{check};
  for (TLegacyTable* table : tables) {
    check.Close();
    check.SetTableName(table->TableName());
    check.Open();
    for (const TLegacyFieldDef& def : table->FieldDefs()) {
      table->SetFieldAbsent(def.name, !check.FieldExists(def.name));
    }
  }
}

}  // namespace ks
