// Legacy values in the report: escapes that keep a page and a JSON document whole, and
// excerpts of long values around the place where they lost something.

#include "app/report/report_text.h"

#include <gtest/gtest.h>

#include "app/report/conversion_report.h"
#include "common/codepage.h"
#include "legacy/testing/mini_json.h"

namespace ks {
namespace {

TEST(ReportText, ControlCharactersBackslashesAndUnassignedBytesAreEscaped) {
  EXPECT_EQ(DisplayText(W("Север «Юг»")), "Север «Юг»");
  EXPECT_EQ(DisplayText(std::string("a\r\nb\tc\\d\x01\x7F\x98", 11)), "a\\r\\nb\\tc\\\\d\\x01\\x7F\\x98");
  EXPECT_EQ(DisplayText(std::string("\0<&>\"", 5)), std::string("\\x00<&>\""));
  EXPECT_EQ(RecordLabel({"FirmRef", "RefID", 17}), "FirmRef, RefID 17");
  EXPECT_EQ(RecordLabel({"Template", "", 3}), "Template, запись 3");
  EXPECT_EQ(RecordLabel({}), "-");
}

TEST(ReportText, LongValuesKeepAnExcerptAroundTheLoss) {
  const ExampleValue short_value = ExampleValue::Of("abc", 1);
  EXPECT_EQ(short_value.text, "abc");
  EXPECT_FALSE(short_value.Excerpt());

  std::string memo(10000, 'a');
  memo[7000] = '!';
  const ExampleValue held = ExampleValue::Of(memo, 7000);
  EXPECT_EQ(held.length, 10000u);
  EXPECT_EQ(held.text.size(), kExampleValueLimit);
  ASSERT_LT(held.from, 7000u);
  EXPECT_EQ(held.text[7000 - held.from], '!');
  EXPECT_TRUE(held.Excerpt());
  std::string stored = memo;
  stored[7000] = '?';
  EXPECT_EQ(ExampleValue::SameStretch(held, stored).text[7000 - held.from], '?');
  // Near the end the excerpt still holds its full size.
  EXPECT_EQ(ExampleValue::Of(memo, 9999).from, 10000 - kExampleValueLimit);
}

TEST(ReportText, TheJsonReportKeepsBadValuesAsEscapedText) {
  ConversionReport report;
  report.Reset(false);
  report.SetRecordNamer([] { return LegacyRecordName{"Document", "DocumentID", 10}; });
  ValueLossCount& entry = report.ValueLossEntry("DOC", "STRNUM", ValueLoss::kTextCut, 30);
  const std::string bad = std::string("\x01\"\\\x98\n", 5) + std::string(1000, 'x');
  for (int i = 0; i < 25; ++i) {
    if (RecordExample* example = report.CountValueLoss(entry)) {
      example->held = ExampleValue::Of(bad);
      example->stored = ExampleValue::Of(std::string_view(bad).substr(0, 30));
    }
  }
  report.SetRecordNamer(nullptr);
  report.NoteLineWithoutDocument(99);  // outside a walk: no legacy record

  const testing::JsonValue json = testing::ParseJson(report.ToJson());
  const testing::JsonValue& loss = json["value_losses"].items.at(0);
  EXPECT_EQ(loss["count"].number, 25);
  ASSERT_EQ(loss["examples"].items.size(), kReportExampleLimit);
  const testing::JsonValue& example = loss["examples"].items[0];
  EXPECT_EQ(example["legacy_table"].text, "Document");
  EXPECT_EQ(example["legacy_id_field"].text, "DocumentID");
  EXPECT_EQ(example["legacy_id"].number, 10);
  EXPECT_EQ(example["held"].text.substr(0, 15), "\\x01\"\\\\\\x98\\nxx");
  EXPECT_EQ(example["held_length"].number, 1005);
  EXPECT_EQ(example["stored_length"].number, 30);
  const testing::JsonValue& orphan = json["orphan_goods_lines"]["document_missing"]["examples"].items.at(0);
  EXPECT_TRUE(orphan["legacy_table"].IsNull());
  EXPECT_EQ(orphan["field"].text, "DOCID");
  EXPECT_EQ(orphan["stored"].text, "99");
}

}  // namespace
}  // namespace ks
