// Tables written by pxlib, read with our reader; and our reading compared with pxlib's own
// for the values it decodes (pxlib is run without a blob file, which it cannot handle).

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/date_time.h"
#include "legacy/legacy_tables.h"
#include "legacy/paradox_table.h"
#include "legacy/testing/px_fixture.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

using testing::PxColumn;
using testing::PxValue;

// Our reader's value of field f of the current record, in pxlib's terms.
PxValue OurValue(const ParadoxTable& table, int f) {
  const ParadoxField& field = table.Fields()[f];
  if (table.IsNull(f)) return std::monostate{};
  switch (field.type) {
    case ParadoxFieldType::kShort:
    case ParadoxFieldType::kLong:
    case ParadoxFieldType::kDate:
    case ParadoxFieldType::kTime:
    case ParadoxFieldType::kAutoInc:
    case ParadoxFieldType::kLogical:
      return table.AsInteger(f);
    case ParadoxFieldType::kNumber:
    case ParadoxFieldType::kMoney:
    case ParadoxFieldType::kTimestamp:
      return table.AsDouble(f);
    case ParadoxFieldType::kAlpha:
    case ParadoxFieldType::kBcd:
      return table.AsText(f);
    default:
      return std::monostate{};  // blobs: pxlib gives nothing without its blob file
  }
}

void ExpectSameAsPxlib(const std::string& db_path) {
  const auto theirs = testing::ReadPxTable(db_path);
  ParadoxTable table;
  table.Open(db_path, "", "fixture");
  ASSERT_EQ(table.RecordCount(), theirs.size());
  size_t row = 0;
  for (table.First(); !table.Eof(); table.Next(), ++row) {
    for (size_t f = 0; f < table.Fields().size(); ++f) {
      SCOPED_TRACE("row " + std::to_string(row) + " field " + table.Fields()[f].name);
      const PxValue ours = OurValue(table, static_cast<int>(f));
      const PxValue& want = theirs[row][f];
      if (table.Fields()[f].type == ParadoxFieldType::kBcd) {
        // pxlib shows a blank BCD as zero: compare values only where both see one.
        if (std::holds_alternative<std::monostate>(ours)) continue;
      }
      EXPECT_EQ(ours, want);
    }
  }
}

const std::vector<PxColumn> kEveryType = {
    {"Alpha", 0x01, 20}, {"Short", 0x03, 2},  {"Long", 0x04, 4},     {"Money", 0x05, 8},
    {"Number", 0x06, 8}, {"Flag", 0x09, 1},   {"Day", 0x02, 4},      {"Time", 0x14, 4},
    {"Stamp", 0x15, 8},  {"Auto", 0x16, 4},   {"Decimal", 0x17, 2},  {"Raw", 0x18, 4},
    {"Notes", 0x0C, 15},
};

std::vector<std::vector<PxValue>> EveryTypeRows() {
  std::vector<std::vector<PxValue>> rows;
  const std::string long_memo = std::string(5000, 'x') + "\r\nend";
  rows.push_back({std::string("first"), int64_t{-40}, int64_t{-2000000000}, 13.25, -0.5, int64_t{1},
                  int64_t{731376}, int64_t{40271000}, 63190926671000.0, int64_t{1}, std::string("-40.25"),
                  std::string("\x01\x02\x03\x04"), std::string("short memo")});
  rows.push_back({std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{},
                  std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}, int64_t{2},
                  std::monostate{}, std::monostate{}, std::monostate{}});
  rows.push_back({std::string("third"), int64_t{0}, int64_t{0}, 0.0, 0.0, int64_t{0}, int64_t{1}, int64_t{0}, 0.0,
                  int64_t{3}, std::string("0"), std::string("zz"), std::string(300, 'm')});
  rows.push_back({std::string("fourth"), int64_t{32767}, int64_t{2147483647}, 1e15, 3.141592653589793, int64_t{1},
                  int64_t{3652059}, int64_t{86399999}, 1.0, int64_t{4}, std::string("12345.67"), std::string("a"),
                  long_memo});
  return rows;
}

TEST(ParadoxInterop, EveryTypeWrittenByPxlib) {
  testing::TempDir dir;
  const std::string db = dir.Path() + "every.db";
  const std::string mb = dir.Path() + "every.mb";
  const auto rows = EveryTypeRows();
  testing::WritePxTable(db, mb, kEveryType, rows);

  ParadoxTable table;
  table.Open(db, mb, "every");
  ASSERT_EQ(table.RecordCount(), 4u);
  table.First();
  EXPECT_EQ(table.AsText(0), "first");
  EXPECT_EQ(table.AsInteger(1), -40);
  EXPECT_EQ(table.AsInteger(2), -2000000000);
  EXPECT_DOUBLE_EQ(table.AsDouble(3), 13.25);
  EXPECT_DOUBLE_EQ(table.AsDouble(4), -0.5);
  EXPECT_TRUE(table.AsLogical(5));
  EXPECT_EQ(table.AsDateTime(6), OrdinalToDate(731376));
  EXPECT_EQ(table.AsInteger(7), 40271000);
  EXPECT_NEAR(table.AsDateTime(8).value, OrdinalToDate(731376).value + 40271.0 / 86400.0, 1e-9);
  EXPECT_EQ(table.AsText(10), "-40.25");
  EXPECT_EQ(table.AsText(11), "\x01\x02\x03\x04");
  EXPECT_EQ(table.AsText(12), "short memo");

  table.Next();  // all blank
  for (int f : {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12}) {
    SCOPED_TRACE(f);
    EXPECT_TRUE(table.IsNull(f));
  }
  EXPECT_EQ(table.AsInteger(2), 0);
  EXPECT_EQ(table.AsDouble(4), 0.0);
  EXPECT_FALSE(table.AsLogical(5));
  EXPECT_EQ(table.AsDateTime(6), DateTime{0});
  EXPECT_EQ(table.AsText(0), "");
  EXPECT_EQ(table.AsText(12), "");

  table.Next();
  EXPECT_FALSE(table.IsNull(1));  // zero is a value, not a blank
  EXPECT_FALSE(table.IsNull(4));
  EXPECT_EQ(table.AsText(12), std::string(300, 'm'));  // in a shared blob block

  table.Next();
  EXPECT_EQ(table.AsInteger(1), 32767);
  EXPECT_EQ(table.AsInteger(2), 2147483647);
  EXPECT_EQ(table.AsText(12), std::get<std::string>(rows[3][12]));  // in a block of its own
  EXPECT_EQ(table.AsText(10), "12345.67");
  table.Next();
  EXPECT_TRUE(table.Eof());

  ExpectSameAsPxlib(db);
}

// The pxlib column of a declared legacy field.
PxColumn ColumnOf(const TLegacyFieldDef& def) {
  switch (def.kind) {
    case TLegacyFieldKind::kInteger: return {def.name, 0x04, 4};
    case TLegacyFieldKind::kSmallint: return {def.name, 0x03, 2};
    case TLegacyFieldKind::kString: return {def.name, 0x01, def.size};
    case TLegacyFieldKind::kFloat: return {def.name, 0x06, 8};
    case TLegacyFieldKind::kBoolean: return {def.name, 0x09, 1};
    case TLegacyFieldKind::kDate: return {def.name, 0x02, 4};
    case TLegacyFieldKind::kMemo: return {def.name, 0x0C, 21};
  }
  return {};
}

// A deterministic value of field f in row r; every seventh value blank.
PxValue SampleValue(const TLegacyFieldDef& def, size_t f, int r) {
  if ((r + static_cast<int>(f)) % 7 == 3) return std::monostate{};
  switch (def.kind) {
    case TLegacyFieldKind::kInteger: return int64_t{f == 0 ? r + 1 : r * 37 - 500};
    case TLegacyFieldKind::kSmallint: return int64_t{r % 6};
    case TLegacyFieldKind::kString: {
      std::string text = W("Фирма «Ромашка» №") + std::to_string(r);
      if (text.size() > static_cast<size_t>(def.size)) text.resize(static_cast<size_t>(def.size));
      return text;
    }
    case TLegacyFieldKind::kFloat: return r * 1.5 - 20;
    case TLegacyFieldKind::kBoolean: return int64_t{r % 2};
    case TLegacyFieldKind::kDate: return int64_t{730000 + r};
    case TLegacyFieldKind::kMemo: return W("Назначение платежа ") + std::string(static_cast<size_t>(r % 5) * 40, 'z');
  }
  return std::monostate{};
}

TEST(ParadoxInterop, TablesShapedLikeTheLegacyTables) {
  testing::TempDir dir;
  TLegacyDictTables dict;
  TLegacyMainTables main;
  SetLegacyDirectory(dict, main, dir.Path());
  std::vector<TLegacyTable*> tables = dict.Tables();
  for (TLegacyTable* t : main.Tables()) tables.push_back(t);
  constexpr int kRows = 250;  // several data blocks

  for (TLegacyTable* table : tables) {
    SCOPED_TRACE(table->Name());
    std::vector<PxColumn> columns;
    bool has_memo = false;
    for (const auto& def : table->FieldDefs()) {
      columns.push_back(ColumnOf(def));
      has_memo |= def.kind == TLegacyFieldKind::kMemo;
    }
    std::vector<std::vector<PxValue>> rows;
    for (int r = 0; r < kRows; ++r) {
      std::vector<PxValue> row;
      for (size_t f = 0; f < columns.size(); ++f) row.push_back(SampleValue(table->FieldDefs()[f], f, r));
      rows.push_back(std::move(row));
    }
    const std::string base = dir.Path() + table->TableName();
    testing::WritePxTable(base + ".DB", has_memo ? base + ".MB" : "", columns, rows);
    ExpectSameAsPxlib(base + ".DB");

    table->Open();
    ASSERT_EQ(table->RecordCount(), kRows);
    int r = 0;
    for (table->First(); !table->Eof(); table->Next(), ++r) {
      for (size_t f = 0; f < columns.size(); ++f) {
        const TLegacyFieldDef& def = table->FieldDefs()[f];
        const TLegacyField& field = table->FieldByName(def.name);
        const PxValue& want = rows[r][f];
        const bool blank = std::holds_alternative<std::monostate>(want);
        SCOPED_TRACE(def.name + " row " + std::to_string(r));
        ASSERT_EQ(field.IsNull(), blank);
        switch (def.kind) {
          case TLegacyFieldKind::kInteger:
          case TLegacyFieldKind::kSmallint:
            EXPECT_EQ(field.AsInteger(), blank ? 0 : std::get<int64_t>(want));
            break;
          case TLegacyFieldKind::kString:
          case TLegacyFieldKind::kMemo:
            EXPECT_EQ(field.AsString(), blank ? "" : std::get<std::string>(want));
            break;
          case TLegacyFieldKind::kFloat:
            EXPECT_EQ(field.AsFloat(), blank ? 0.0 : std::get<double>(want));
            break;
          case TLegacyFieldKind::kBoolean:
            EXPECT_EQ(field.AsBoolean(), !blank && std::get<int64_t>(want) == 1);
            break;
          case TLegacyFieldKind::kDate:
            EXPECT_EQ(field.AsDateTime(), blank ? DateTime{0} : OrdinalToDate(static_cast<int32_t>(std::get<int64_t>(want))));
            break;
        }
      }
    }
    EXPECT_EQ(r, kRows);
    table->Close();
  }
}

}  // namespace
}  // namespace ks
