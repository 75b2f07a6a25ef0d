// Control totals: a clean conversion agrees in every figure to the last millionth; each
// difference the run makes on purpose is explained with its amount; a new base altered
// after the run is found and the figure named.

#include "app/verify/control_totals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "app/converter.h"
#include "app/report/control_totals_text.h"
#include "app/report/report_html.h"
#include "app/testing/conversion_fixture.h"
#include "db/engine/xbase/xbase.h"
#include "legacy/testing/mini_json.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using testing::LegacyFixture;
using W_ = ParadoxTableWriter;

// Documents of every converted type in two years, each summing to a value that binary
// doubles would miss (ten times 0.1), payment orders and goods lines.
LegacyFixture Agreeing() {
  LegacyFixture f;
  f.document = [](W_& w) {
    int32_t id = 1;
    for (const int32_t type : {1, 2, 5, 6}) {
      for (int i = 0; i < 10; ++i) {
        testing::SetDocument(w, id++, type);
        w.SetDate("Date", 2019 + i % 2, 3, 1 + i);
        w.SetNumber("Summa", 0.1);
        w.SetNumber("nalvalue", 0.7);
        w.SetLogical("naltype", i % 3 == 0);
        w.Append();
      }
    }
  };
  f.main = [](W_& w) {
    for (int i = 0; i < 10; ++i) {
      w.SetLong("No", i);
      w.SetDate("DocDate", 2020, 1, 1 + i);
      w.SetNumber("Sum", 1234567.01);
      w.Append();
    }
  };
  f.fullstorage = [](W_& w) {
    for (int i = 0; i < 30; ++i) {
      w.SetLong("DocID", 1 + i);
      w.SetNumber("Price", 0.1);
      w.SetNumber("Count", 2.5);
      w.Append();
    }
  };
  return f;
}

const ControlTotal* Find(const ControlTotals& totals, int stage, const std::string& figure,
                         std::optional<int> kind = {}, std::optional<int> year = {}) {
  for (const ControlTotal& item : totals.items) {
    if (item.stage == stage && item.figure == figure && item.kind == kind && item.year == year) return &item;
  }
  return nullptr;
}

class ControlTotalsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadMetadataOnce(); }

  ControlTotals Convert(const LegacyFixture& fixture) {
    fs::remove_all(legacy_);
    fs::create_directories(legacy_);
    fixture.Write(legacy_);
    converter_.SetLegacyDirectory(legacy_);
    converter_.TakeDatabasePath(database_);
    testing::RecordingWindow window;
    EXPECT_TRUE(converter_.Run(window));
    return Totals();
  }
  ControlTotals Totals() const { return ComputeControlTotals(legacy_, database_, converter_.Report()); }

  testing::TempDir dir_;
  std::string legacy_ = dir_.Path() + "legacy/";
  std::string database_ = dir_.Path() + "db/";
  Converter converter_;
};

TEST_F(ControlTotalsTest, CleanConversionAgreesInEveryFigureExactly) {
  const ControlTotals totals = Convert(Agreeing());
  EXPECT_TRUE(totals.Clean()) << testing::Joined(ControlTotalsLines(totals));
  for (const ControlTotal& item : totals.items) {
    EXPECT_EQ(item.legacy, item.target) << item.stage << " " << item.figure << " " << ControlGroupName(item);
    EXPECT_TRUE(item.explanations.empty()) << item.stage << " " << item.figure;
  }
  EXPECT_EQ(Find(totals, 9, "DOC.FSUM")->legacy.Text(), "4.00");
  EXPECT_EQ(Find(totals, 9, "DOC.FSUM", 1, 2019)->legacy.Text(), "0.50");
  // 0.7 counted with its sign: 4 of every 10 are negative.
  EXPECT_EQ(Find(totals, 9, "DOC.NSP")->target.Text(), "5.60");
  EXPECT_EQ(Find(totals, 9, "COUNT", 6, 2020)->target.Text(0), "5");
  EXPECT_EQ(Find(totals, 10, "DOC.FSUM", {}, 2020)->target.Grouped(), "12 345 670.10");
  EXPECT_EQ(Find(totals, 11, "GOODS.PRICE")->target.Text(), "3.00");
  EXPECT_EQ(Find(totals, 11, "GOODS.FCOUNT")->target.Text(), "75.00");
  EXPECT_EQ(Find(totals, 5, "COUNT")->legacy.Text(0), "0");

  const std::vector<std::string> lines = ControlTotalsLines(totals);
  ASSERT_EQ(lines.size(), 11u) << testing::Joined(lines);  // the heading and stages 2 to 11
  EXPECT_EQ(lines[8], "  Документы: записей 40, сумма 4.00, НСП 5.60 — сходится");
  EXPECT_EQ(lines[10], "  Строки товаров: записей 30, цена 3.00, количество 75.00 — сходится");

  // The JSON: every figure of a stage has its whole-stage item beside its groups.
  ConversionReport report;
  report.SetControlTotals(totals);
  const testing::JsonValue json = testing::ParseJson(report.ToJson())["control_totals"];
  ASSERT_EQ(json.items.size(), totals.items.size());
  std::map<std::pair<int, std::string>, int> whole;
  bool grouped = false;
  for (const testing::JsonValue& item : json.items) {
    EXPECT_EQ(item["unexplained"].text, item["figure"].text == "COUNT" ? "0" : "0.00");
    if (item["group"].members.empty()) ++whole[{static_cast<int>(item["stage"].number), item["figure"].text}];
    if (item["figure"].text == "DOC.FSUM" && item["stage"].number == 9 && !item["group"].members.empty() &&
        item["group"]["kind"].number == 1 &&
        item["group"]["year"].number == 2019) {
      grouped = true;
      EXPECT_EQ(item["legacy"].text, "0.50");
      EXPECT_EQ(item["new"].text, "0.50");
    }
  }
  EXPECT_TRUE(grouped);
  for (const ControlTotal& item : totals.items) EXPECT_EQ((whole[{item.stage, item.figure}]), 1) << item.figure;

  const std::string page = ReportToHtml(report);
  EXPECT_NE(page.find("<h2>Контрольные суммы</h2>\n<p class=\"ok\">"), std::string::npos);
  EXPECT_NE(page.find("<td>вид 6, 2020 год</td><td class=\"n\">5</td><td class=\"n\">5</td>"), std::string::npos);
}

TEST_F(ControlTotalsTest, AnOlderArchiveLackingFieldsCountsThemBlankOnBothSides) {
  LegacyFixture fixture = Agreeing();
  fixture.omitted_fields = {"Document.nalvalue", "Document.naltype", "FULLSTORAGE.Count", "Main.DocDate"};
  fixture.document = [](W_& w) {
    testing::SetDocument(w, 1, 1);
    w.SetNumber("Summa", 2.5);
    w.Append();
  };
  fixture.main = [](W_& w) {
    w.SetNumber("Sum", 3);
    w.Append();
  };
  fixture.fullstorage = [](W_& w) {
    for (const int32_t document : {1, 99}) {
      w.SetLong("DocID", document);
      w.SetNumber("Price", 0.5);
      w.Append();
    }
  };
  const ControlTotals totals = Convert(fixture);
  EXPECT_TRUE(totals.Clean()) << testing::Joined(ControlTotalsLines(totals));
  EXPECT_EQ(Find(totals, 9, "DOC.NSP")->legacy.Text(), "0.00");
  EXPECT_EQ(Find(totals, 10, "DOC.FSUM", {}, 0)->target.Text(), "3.00");  // no date: year 0
  const ControlTotal* count = Find(totals, 11, "GOODS.FCOUNT");
  EXPECT_EQ(count->legacy.Text() + " " + count->target.Text(), "0.00 0.00");
  EXPECT_EQ(count->explanations.size(), 1u);  // the line of a missing document, with nothing to count
  EXPECT_EQ(Find(totals, 11, "GOODS.PRICE")->target.Text(), "1.00");
}

TEST_F(ControlTotalsTest, EachDifferenceTheRunMakesOnPurposeIsExplainedWithItsAmount) {
  const auto document = [](int32_t id, int32_t type, double sum) {
    return [=](W_& w) {
      testing::SetDocument(w, id, type);
      w.SetDate("Date", 2021, 5, 5);
      w.SetNumber("Summa", sum);
      w.SetNumber("nalvalue", 3);
      w.Append();
    };
  };
  const auto line = [](int32_t doc, double count) {
    return [=](W_& w) {
      w.SetLong("DocID", doc);
      w.SetNumber("Price", 1.25);
      w.SetNumber("Count", count);
      w.Append();
    };
  };
  const struct {
    const char* difference;
    std::function<void(LegacyFixture&)> make;
    int stage;
    const char* figure;
    const char* reason;
    const char* amount;
  } kCases[] = {
      {"skipped document type", [&](LegacyFixture& f) { f.document = document(7, 3, 12.34); }, 9, "DOC.FSUM",
       "пропущенные записи: этот тип документов не преобразуется (TypeDoc 3)", "12.34"},
      {"skipped document counted", [&](LegacyFixture& f) { f.document = document(7, 0, 12.34); }, 9, "COUNT",
       "пропущенные записи: этот тип документов не преобразуется (TypeDoc 0)", "1"},
      {"sum stored as asterisks", [&](LegacyFixture& f) { f.document = document(7, 1, -2.5e12); }, 9, "DOC.FSUM",
       "значения шире поля, записаны звёздочками", "-2500000000000.00"},
      {"payment stored as asterisks",
       [](LegacyFixture& f) {
         f.main = [](W_& w) {
           w.SetNumber("Sum", 1e300);
           w.Append();
         };
       },
       10, "DOC.FSUM", "значения шире поля, записаны звёздочками", nullptr},
      {"type-4 lines hold 1",
       [&](LegacyFixture& f) {
         f.document = document(7, 4, 1);
         f.fullstorage = line(7, 5.5);
       },
       11, "GOODS.FCOUNT", "строки документов вида 4: количество 1", "4.50"},
      {"lines of a missing document hold no count", [&](LegacyFixture& f) { f.fullstorage = line(99, 7.000001); }, 11,
       "GOODS.FCOUNT", "строки товаров без документа: количество не записано", "7.000001"},
      {"reference record skipped",
       [](LegacyFixture& f) {
         f.group = [](W_& w) {
           w.SetLong("GroupID", 0);
           w.Append();
         };
       },
       2, "COUNT", "пропущенные записи: нет группы (GroupID 0)", "1"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.difference);
    LegacyFixture fixture;
    c.make(fixture);
    const ControlTotals totals = Convert(fixture);
    EXPECT_TRUE(totals.Clean()) << testing::Joined(ControlTotalsLines(totals));
    const ControlTotal* item = Find(totals, c.stage, c.figure);
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->explanations.size(), 1u) << testing::Joined(ControlTotalsLines(totals));
    EXPECT_EQ(item->explanations[0].reason, c.reason);
    EXPECT_EQ(item->explanations[0].count, 1);
    const std::string amount = c.figure == std::string("COUNT") ? item->explanations[0].amount.Text(0)
                                                                : item->explanations[0].amount.Text();
    // 1e300 as the double holds it, to the last digit.
    EXPECT_EQ(c.amount ? amount : amount.substr(0, 18) + "... " + std::to_string(amount.size()),
              c.amount ? c.amount : "100000000000000005... 304");
    EXPECT_EQ(item->Explained(), item->legacy - item->target);
    const std::vector<std::string> lines = ControlTotalsLines(totals);
    EXPECT_NE(testing::Joined(lines).find("— разница объяснена"), std::string::npos) << testing::Joined(lines);
  }
}

// Overwrites one field of one record through the engine, or marks the record deleted.
void Alter(const std::string& path, long recno, const char* field, const std::string& text) {
  Code4* engine = code4initP();
  Data4* data = d4open(engine, path.c_str());
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(d4goLow(data, recno, 1), 0);
  if (field == nullptr) {
    d4delete(data);
  } else {
    Field4* f = d4field(data, field);
    const std::string bytes = std::string(f4len(f) - text.size(), ' ') + text;
    std::memcpy(f4str(f), bytes.data(), bytes.size());
    d4changed(data, 1);
  }
  ASSERT_EQ(d4close(data), 0);
  code4initUndo(engine);
}

TEST_F(ControlTotalsTest, ABaseAlteredAfterTheRunIsFoundAndTheFigureNamed) {
  Convert(Agreeing());
  Alter(database_ + "doc.dbf", 1, "FSUM", "0.110000");  // a type-1 document of 2019
  Alter(database_ + "goods.dbf", 3, nullptr, "");
  const ControlTotals totals = Totals();
  EXPECT_FALSE(totals.Clean());
  std::vector<std::string> found;
  for (const ControlTotal& item : totals.items) {
    if (item.Unexplained().IsZero()) continue;
    found.push_back(std::to_string(item.stage) + " " + item.figure + " " + ControlGroupName(item) + ": " +
                    ControlAmount(item, item.Unexplained()));
  }
  EXPECT_EQ(testing::Joined(found), testing::Joined({"9 DOC.FSUM : -0.01", "9 DOC.FSUM вид 1, 2019 год: -0.01",
                                                     "11 COUNT : 1", "11 GOODS.PRICE : 0.10",
                                                     "11 GOODS.FCOUNT : 2.50"}));
  const std::vector<std::string> lines = ControlTotalsLines(totals);
  EXPECT_EQ(lines[8], "  Документы: записей 40, сумма 4.00 / 4.01, НСП 5.60 — не сходится") << testing::Joined(lines);
  EXPECT_EQ(lines[9], "    сумма: разница -0.01; не объяснено -0.01");
  EXPECT_EQ(lines[10], "    сумма, вид 1, 2019 год: разница -0.01; не объяснено -0.01");
  ConversionReport report;
  report.SetControlTotals(totals);
  EXPECT_NE(ReportToHtml(report).find("<td class=\"n\"><span class=\"failed\">-0.01</span></td>"), std::string::npos);
}

}  // namespace
}  // namespace ks
