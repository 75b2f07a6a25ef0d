// Reads the tables written by the legacy engine itself and compares every value with the
// reference reading of expected/*.json.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/date_time.h"
#include "common/exception.h"
#include "common/number_text.h"
#include "common/testing/decimal_comma_locale.h"
#include "legacy/paradox_table.h"
#include "legacy/testing/mini_json.h"
#include "legacy/testing/shared_dir.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

using testing::JsonValue;

using testing::SampleDir;

class ParadoxRealFiles : public testing::SampleFilesTest {};

// Texts of the samples to UTF-8: the Russian tables come translated to 1251, and the
// Western code pages' letters in these files are those of Latin-1.
std::string ToUtf8(const std::string& text, int code_page) {
  if (code_page == 1251) return Cp1251ToUtf8(text);
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Hex(const std::string& bytes, size_t count) {
  std::string out;
  char pair[3];
  for (size_t i = 0; i < bytes.size() && i < count; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(bytes[i]));
    out += pair;
  }
  return out;
}

std::string IsoDate(DateTime date) {
  int y, m, d;
  DecodeDate(date, y, m, d);
  char text[16];
  std::snprintf(text, sizeof text, "%d-%02d-%02d", y, m, d);
  return text;
}

std::string IsoTimestamp(DateTime stamp) {
  const double day = std::floor(stamp.value);
  const long seconds = std::lround((stamp.value - day) * 86400.0);
  char text[48];
  std::snprintf(text, sizeof text, "T%02ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return IsoDate(DateTime{day}) + text;
}

// Checks the current record's value of field f against the reference value.
void ExpectValue(const ParadoxTable& table, int f, int code_page, const JsonValue& want, const std::string& where) {
  SCOPED_TRACE(where);
  const ParadoxField& field = table.Fields()[f];
  const bool is_double = field.type == ParadoxFieldType::kNumber || field.type == ParadoxFieldType::kMoney;
  if (is_double && want.kind == JsonValue::Kind::kNumber && want.number == 0 && table.IsNull(f)) {
    // The reference reader gives blank numbers as 0, the value they read as.
    EXPECT_EQ(table.AsDouble(f), 0.0);
    return;
  }
  const bool is_date = field.type == ParadoxFieldType::kDate || field.type == ParadoxFieldType::kTimestamp;
  if (is_date && want.IsNull() && !table.IsNull(f)) {
    // A day before 1 January 0001 is stored in one sample; the reference reader shows it
    // as blank.
    EXPECT_LT(DateToOrdinal(table.AsDateTime(f)), 1);
    return;
  }
  if (want.IsNull()) {
    // The reference reader turned empty texts into null as well.
    EXPECT_TRUE(table.IsNull(f));
    return;
  }
  ASSERT_FALSE(table.IsNull(f));
  switch (field.type) {
    case ParadoxFieldType::kAlpha:
    case ParadoxFieldType::kMemo:
    case ParadoxFieldType::kFormattedMemo:
      EXPECT_EQ(ToUtf8(table.AsText(f), code_page), want.text);
      break;
    case ParadoxFieldType::kNumber:
    case ParadoxFieldType::kMoney:
      EXPECT_NEAR(table.AsDouble(f), want.number, 1e-9 * std::max(1.0, std::fabs(want.number)));
      break;
    case ParadoxFieldType::kShort:
    case ParadoxFieldType::kLong:
    case ParadoxFieldType::kAutoInc:
      EXPECT_EQ(table.AsInteger(f), static_cast<int64_t>(want.number));
      break;
    case ParadoxFieldType::kBcd:
      EXPECT_EQ(table.AsText(f), want.text);
      break;
    case ParadoxFieldType::kDate:
      EXPECT_EQ(IsoDate(table.AsDateTime(f)), want.text);
      break;
    case ParadoxFieldType::kTime:
      EXPECT_EQ(table.AsInteger(f), static_cast<int64_t>(want.number * 1000));
      break;
    case ParadoxFieldType::kTimestamp:
      EXPECT_EQ(IsoTimestamp(table.AsDateTime(f)), want.text);
      break;
    case ParadoxFieldType::kLogical:
      EXPECT_EQ(table.AsLogical(f), want.boolean);
      break;
    default: {  // binary, graphic, OLE: length and the first bytes
      std::string blob = table.ReadBlob(f);
      if (field.type == ParadoxFieldType::kGraphic) blob.erase(0, 8);
      EXPECT_EQ(static_cast<double>(blob.size()), want["length"].number);
      EXPECT_EQ(Hex(blob, 16), want["hex_head"].text);
    }
  }
}

void CompareWithReference(const std::string& db, const std::string& mb, const std::string& reference) {
  const JsonValue expected = testing::ReadJsonFile(SampleDir() + "expected/" + reference);
  ParadoxTable table;
  table.Open(SampleDir() + db, mb.empty() ? "" : SampleDir() + mb, db);
  const int code_page = table.CodePage().Translated() ? 1251 : table.CodePage().code_page;
  const size_t rows = static_cast<size_t>(expected["rows"].number);
  ASSERT_EQ(table.RecordCount(), rows);
  ASSERT_EQ(table.Header().record_count, rows);
  if (rows == 0) {
    EXPECT_TRUE(table.Eof());
    return;
  }
  const JsonValue& columns = expected["columns"];
  ASSERT_EQ(table.Fields().size(), columns.items.size());
  std::vector<int> fields;
  for (size_t c = 0; c < columns.items.size(); ++c) {
    EXPECT_EQ(ToUtf8(table.Fields()[c].name, code_page), columns.items[c].text);
    fields.push_back(static_cast<int>(c));
  }
  size_t row = 0;
  for (table.First(); !table.Eof(); table.Next(), ++row) {
    ASSERT_LT(row, rows);
    for (size_t c = 0; c < fields.size(); ++c) {
      const JsonValue& column = expected["data"][columns.items[c].text];
      ExpectValue(table, fields[c], code_page, column.items[row], db + " row " + std::to_string(row) + " " + columns.items[c].text);
    }
  }
  EXPECT_EQ(row, rows);
}

TEST_F(ParadoxRealFiles, KeyedTableWithNumbers) { CompareWithReference("country.db", "", "country.expected.json"); }

TEST_F(ParadoxRealFiles, MemosAndGraphicsInTheBlobFile) {
  CompareWithReference("biolife.db", "biolife.mb", "biolife.expected.json");
  CompareWithReference("mushrooms.db", "mushrooms.mb", "mushrooms.expected.json");
}

TEST_F(ParadoxRealFiles, EveryFieldType) { CompareWithReference("TypSammlung.DB", "TypSammlung.MB", "TypSammlung.expected.json"); }

TEST_F(ParadoxRealFiles, RussianTextsInCodePage866ComeTranslatedTo1251) {
  CompareWithReference("of_cp866.db", "", "of.expected.json");
  ParadoxTable table;
  table.Open(SampleDir() + "of_cp866.db", "", "of");
  EXPECT_EQ(table.CodePage().basis, ParadoxCodePageBasis::kHeader);
  EXPECT_TRUE(table.CodePage().Translated());
  EXPECT_EQ(table.FindField(W("наименование")), 3);  // names are translated and fold case

  // The 3.5 header has no code-page field: the letters of the alpha fields say 866.
  CompareWithReference("of.db", "", "of.expected.json");
  table.Open(SampleDir() + "of.db", "", "of");
  const ParadoxCodePage& chosen = table.CodePage();
  EXPECT_EQ(chosen.basis, ParadoxCodePageBasis::kTexts);
  EXPECT_EQ(chosen.code_page, 866);
  EXPECT_GT(chosen.letters.dos, 1000);
  EXPECT_LT(chosen.letters.windows, chosen.letters.dos / 10);
  EXPECT_NE(DescribeCodePage(chosen).find("the header has no code-page field"), std::string::npos);
  for (int f = 0; f < 19; ++f) EXPECT_EQ(table.TextLosses()[f], 0) << f;
}

TEST_F(ParadoxRealFiles, CharactersThat1251LacksReadAsQuestionMarksAndCount) {
  // The first alpha value of the Russian table gets box-drawing characters of 866.
  std::ifstream in(SampleDir() + "of_cp866.db", std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  const size_t first_record = 0x800 + 6;
  bytes[first_record + 1] = static_cast<char>(0xB3);  // │
  bytes[first_record + 2] = static_cast<char>(0xC4);  // ─
  testing::TempDir dir;
  std::ofstream(dir.Path() + "of.db", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

  ParadoxTable table;
  table.Open(dir.Path() + "of.db", "", "of");
  const std::string text = table.AsText(0);
  EXPECT_EQ(text.substr(1, 2), "??");
  (void)table.AsText(0);  // the same record again counts once, also after another
  table.Next();
  (void)table.AsText(0);
  table.First();
  (void)table.AsText(0);
  EXPECT_EQ(table.TextLosses()[0], 1);
  table.ClearTextLosses();
  (void)table.AsText(0);  // nor after the count was taken
  EXPECT_EQ(table.TextLosses()[0], 0);
}

TEST_F(ParadoxRealFiles, EmptyTable) { CompareWithReference("empty.db", "empty.mb", "empty.expected.json"); }

TEST_F(ParadoxRealFiles, RecordsFollowTheBlockChainNotTheFile) {
  // Blocks 2 and 3 of the Russian table trade places in the file and are relinked, so that
  // the chain reads 1, 3, 2, 4, ...; a stray block past the chain must never be read.
  std::ifstream in(SampleDir() + "of_cp866.db", std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  const size_t header = 0x800, block = 0x800;
  auto at = [&](int n) { return bytes.begin() + static_cast<long>(header + (n - 1) * block); };
  auto link = [&](int n, int next, int prev) {
    char* p = &*at(n);
    p[0] = static_cast<char>(next & 0xFF), p[1] = static_cast<char>(next >> 8);
    p[2] = static_cast<char>(prev & 0xFF), p[3] = static_cast<char>(prev >> 8);
  };
  ASSERT_EQ(static_cast<unsigned char>(*at(1)), 2);
  ASSERT_EQ(static_cast<unsigned char>(*at(3)), 4);
  std::swap_ranges(at(2), at(3), at(3));
  link(1, 3, 0);
  link(3, 2, 1);
  link(2, 4, 3);
  link(4, 5, 2);
  const std::vector<char> stray(at(5), at(6));  // a copy of block 5, linked nowhere
  bytes.insert(bytes.end(), stray.begin(), stray.end());
  const uint16_t file_blocks = static_cast<uint16_t>((bytes.size() - header) / block);
  std::memcpy(&bytes[0x0C], &file_blocks, 2);
  testing::TempDir dir;
  std::ofstream(dir.Path() + "of.db", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

  const JsonValue expected = testing::ReadJsonFile(SampleDir() + "expected/of.expected.json");
  const JsonValue& numbers = expected["data"][expected["columns"].items[0].text];
  ParadoxTable table;
  table.Open(dir.Path() + "of.db", "", "of");
  ASSERT_EQ(table.RecordCount(), 2197u);
  size_t row = 0;
  for (table.First(); !table.Eof(); table.Next(), ++row) {
    ASSERT_EQ(ToUtf8(table.AsText(0), 1251), numbers.items[row].text) << row;
  }
  EXPECT_EQ(row, 2197u);
}

TEST_F(ParadoxRealFiles, HeaderDetails) {
  ParadoxTable table;
  table.Open(SampleDir() + "TypSammlung.DB", SampleDir() + "TypSammlung.MB", "TypSammlung");
  EXPECT_EQ(table.Header().version, 12);
  EXPECT_EQ(table.Header().code_page, 1252);
  EXPECT_EQ(table.Header().key_field_count, 2);
  EXPECT_EQ(table.Header().sort_order, "ANSIINTL");
  EXPECT_EQ(table.Header().auto_increment, 5u);
  EXPECT_EQ(table.Fields()[5].decimals, 6);  // BCD
  EXPECT_EQ(table.FindField("bcd"), 5);
  EXPECT_EQ(table.FindField("MEMO"), 9);
  EXPECT_EQ(table.FindField("none"), -1);

  table.Open(SampleDir() + "of.db", "", "of");
  EXPECT_EQ(table.Header().version, 4);
  EXPECT_EQ(table.Header().code_page, 0);
  EXPECT_FALSE(table.Header().Keyed());
}

TEST_F(ParadoxRealFiles, NumbersAndBcdReadTheSameUnderADecimalCommaLocale) {
  // Every value of every type as text and as a number, under "C" and then under a locale
  // whose decimal separator is a comma.
  auto read_all = [] {
    ParadoxTable table;
    table.Open(SampleDir() + "TypSammlung.DB", SampleDir() + "TypSammlung.MB", "TypSammlung");
    std::vector<std::string> values;
    for (table.First(); !table.Eof(); table.Next()) {
      for (size_t f = 0; f < table.Fields().size(); ++f) {
        const ParadoxFieldType type = table.Fields()[f].type;
        values.push_back(table.AsText(static_cast<int>(f)));
        if (type == ParadoxFieldType::kBcd || IsParadoxDoubleType(type)) {
          values.push_back(FormatGeneral(table.AsDouble(static_cast<int>(f)), 17));
        }
      }
    }
    return values;
  };
  const std::vector<std::string> in_c = read_all();
  ASSERT_NE(std::find(in_c.begin(), in_c.end(), "13.123457"), in_c.end());  // a BCD value
  testing::DecimalCommaLocale locale;
  ASSERT_TRUE(locale.Active());
  const std::vector<std::string> in_comma_locale = read_all();
  EXPECT_EQ(in_comma_locale, in_c);
}

TEST_F(ParadoxRealFiles, FindByIntegerField) {
  ParadoxTable table;
  table.Open(SampleDir() + "mushrooms.db", SampleDir() + "mushrooms.mb", "mushrooms");
  ASSERT_TRUE(table.Find(0, 4));
  EXPECT_EQ(table.AsText(1), "Gyromitra esculenta");
  table.Next();
  EXPECT_EQ(table.AsInteger(0), 5);
  EXPECT_FALSE(table.Find(0, 42));
  EXPECT_TRUE(table.Eof());
  ASSERT_TRUE(table.Find(0, 1));
  EXPECT_EQ(table.AsText(4), "Conocybe");
  EXPECT_THROW(table.Find(1, 1), Exception);  // alpha fields have no integer look-up
}

}  // namespace
}  // namespace ks
