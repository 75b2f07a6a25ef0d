#include "app/testing/legacy_fixture.h"

#include <algorithm>
#include <vector>

namespace ks::testing {
namespace {

struct TableLayout {
  const char* name;
  std::vector<ParadoxColumn> columns;
  int key_fields;
  bool has_memo;
  RecordFiller LegacyFixture::*filler;
};

// The legacy layouts, unused fields included, as the old package has them.
const std::vector<TableLayout>& Layouts() {
  static const std::vector<TableLayout> layouts = {
      {"Group", {{"GroupID", 'I'}, {"GroupName", 'A', 50}}, 0, false, &LegacyFixture::group},
      {"Country", {{"CountryID", 'I'}, {"CountryName", 'A', 30}}, 0, false, &LegacyFixture::country},
      {"FirmRef",
       {{"RefID", 'I'}, {"Veltro", 'L'}, {"ShortName", 'A', 30}, {"FullName", 'A', 200}, {"Addres", 'A', 255},
        {"RDep", 'A', 50}, {"CDep", 'A', 50}, {"Bank", 'A', 200}, {"INN", 'A', 30}, {"KPP", 'A', 30},
        {"OKONH_Code", 'A', 150}, {"OKPO_Code", 'A', 150}, {"Bik", 'A', 15}, {"Cargo", 'A', 255},
        {"SecPodp", 'L'}, {"seal", 'L'}, {"ChiefID", 'I'}, {"AccountantID", 'I'}, {"CashierID", 'I'}},
       0, false, &LegacyFixture::firm_ref},
      {"Model",
       {{"ModelID", 'I'}, {"ModelName", 'A', 100}, {"Price", 'N'}, {"NDS", 'N'}, {"NDSAlloc", 'L'},
        {"countryid", 'I'}, {"numdeclar", 'A', 40}, {"GroupID", 'I'}, {"VolID", 'I'}, {"GroupName", 'A', 50}},
       0, false, &LegacyFixture::model},
      {"vol", {{"VolID", 'I'}, {"VolName", 'A', 20}}, 0, false, &LegacyFixture::vol},
      {"People",
       {{"PeopleID", 'I'}, {"FirmPID", 'I'}, {"FirstNamePeople", 'A', 30}, {"SecondNamePeople", 'A', 30},
        {"LastNamePeople", 'A', 30}, {"Pasport", 'A', 100}},
       0, false, &LegacyFixture::people},
      {"Template", {{"ID", 'I'}, {"ShortComment", 'A', 50}, {"Comment", 'M', 40}}, 0, true,
       &LegacyFixture::templates},
      {"Document",
       {{"DocumentID", 'I'}, {"TypeDoc", 'I'}, {"TypeNaklad", 'A', 30}, {"Date", 'D'}, {"Note", 'A', 255},
        {"Number", 'A', 30}, {"SenderID", 'I'}, {"PeopleID", 'I'}, {"FirmPID", 'I'}, {"MemoPok", 'M', 30},
        {"MemoPlat", 'M', 30}, {"Summa", 'N'}, {"nalvalue", 'N'}, {"naltype", 'L'}, {"NDS", 'N'},
        {"NDSAlloc", 'L'}, {"BaseNumber", 'A', 30}, {"BaseDate", 'D'}},
       1, true, &LegacyFixture::document},
      {"Main",
       {{"ID", 'I'}, {"No", 'I'}, {"Date", 'D'}, {"DocDate", 'D'}, {"Sender", 'I'}, {"Receiver", 'I'},
        {"SendByPost", 'S'}, {"Sum", 'N'}, {"NDS", 'N'}, {"PayDate", 'D'}, {"PayOrder", 'I'}, {"VidOper", 'A', 2},
        {"Cod", 'A', 7}, {"Comment", 'M', 60}, {"NDSString", 'A', 200}, {"PrintNDS", 'L'}, {"BankDate", 'D'}},
       0, true, &LegacyFixture::main},
      {"FULLSTORAGE",
       {{"DocID", 'I'}, {"ModelID", 'I'}, {"Price", 'N'}, {"NDS", 'N'}, {"NDSAlloc", 'L'}, {"Count", 'N'},
        {"VolID", 'I'}, {"GroupID", 'I'}, {"countryid", 'I'}, {"numdeclar", 'A', 40}, {"ModelName", 'A', 100},
        {"GroupName", 'A', 50}, {"StorageID", 'I'}},
       0, false, &LegacyFixture::fullstorage},
  };
  return layouts;
}

}  // namespace

void LegacyFixture::Write(const std::string& dir) const {
  for (const TableLayout& layout : Layouts()) {
    if (omitted_tables.count(layout.name) != 0) continue;
    std::vector<ParadoxColumn> columns;
    for (const ParadoxColumn& column : layout.columns) {
      if (omitted_fields.count(std::string(layout.name) + "." + column.name) == 0) columns.push_back(column);
    }
    const bool has_memo =
        layout.has_memo && std::any_of(columns.begin(), columns.end(), [](const ParadoxColumn& c) { return c.kind == 'M'; });
    const std::string base = dir + layout.name;
    ParadoxTableWriter writer(base + ".DB", layout.name, columns, layout.key_fields, has_memo ? base + ".MB" : "");
    const RecordFiller& filler = this->*layout.filler;
    if (filler) filler(writer);
    writer.Close();
  }
}

void SetDocument(ParadoxTableWriter& w, int32_t id, int32_t type) {
  w.SetLong("DocumentID", id);
  w.SetLong("TypeDoc", type);
}

}  // namespace ks::testing
