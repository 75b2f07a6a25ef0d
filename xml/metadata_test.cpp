#include "xml/metadata.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "common/testing/failure_message.h"
#include "common/testing/decimal_comma_locale.h"
#include "xml/constraint_kind.h"
#include "xml/data_document.h"
#include "xml/integer_text.h"
#include "xml/metadata_root.h"
#include "xml/table_lookup.h"
#include "xml/var_list.h"

namespace ks {
namespace {

class Metadata : public ::testing::Test {
 protected:
  void SetUp() override { RegisterMetadataClasses(); }

  // Parses `body` inside <metadata> and returns the root.
  TqrxMetaData& Parse(const std::string& body) {
    tree_.LoadFromText("<?xml version=\"1.0\"?><metadata version=\"3\">" + body + "</metadata>");
    return TagCast<TqrxMetaData>(&tree_.NodeByPath("metadata"));
  }
  TqrxTableDef& OneTable(const std::string& tabledef) {
    return Parse("<tabledefs>" + tabledef + "</tabledefs>").TableDefs()[0];
  }

  TqrxTree tree_;
};

TEST_F(Metadata, RegistrationIsIdempotentAndIgnoresCase) {
  RegisterMetadataClasses();
  RegisterMetadataClasses();
  tree_.LoadFromText("<MetaData><TABLEDEFS/><tabledefs/></MetaData>");
  auto* root = dynamic_cast<TqrxMetaData*>(&tree_.Child(0));
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(&root->TableDefs(), &root->Child(1));
  EXPECT_NE(dynamic_cast<TqrxTableDefs*>(&root->Child(0)), nullptr);
  EXPECT_EQ(tree_.FindChild("metadata"), nullptr);  // look-ups by name stay case-sensitive
  // So a container written in another case is not found, and its stand-in has no class.
  EXPECT_THROW(tree_.LoadFromText("<metadata><TableDefs/></metadata>"), EInvalidCast);
}

TEST_F(Metadata, FieldTypeNames) {
  EXPECT_EQ(FieldTypeByName("Integer"), FieldType::Integer);
  EXPECT_EQ(FieldTypeByName("integer"), FieldType::Integer);
  EXPECT_EQ(static_cast<int>(FieldTypeByName("integer")), 3);
  EXPECT_EQ(FieldTypeByName("Int"), FieldType::Unknown);
  EXPECT_EQ(FieldTypeByName(""), FieldType::Unknown);
  EXPECT_EQ(FieldTypeByName("GUID"), FieldType::Guid);
  EXPECT_EQ(static_cast<int>(FieldType::Guid), 35);
  for (int i = 0; i < kFieldTypeCount; ++i) {
    EXPECT_EQ(static_cast<int>(FieldTypeByName(FieldTypeNames[static_cast<size_t>(i)])), i);
  }
  EXPECT_EQ(FieldTypeName(FieldType::WideString), "WideString");
}

TEST(IntegerRule, AcceptsDecimalHexBlanksAndSign) {
  EXPECT_EQ(IntegerOrZero("42"), 42);
  EXPECT_EQ(IntegerOrZero("  -17"), -17);
  EXPECT_EQ(IntegerOrZero("+5"), 5);
  EXPECT_EQ(IntegerOrZero("$1F"), 31);
  EXPECT_EQ(IntegerOrZero("x1f"), 31);
  EXPECT_EQ(IntegerOrZero("-$10"), -16);
  EXPECT_EQ(IntegerOrZero("$FFFFFFFF"), -1);
  EXPECT_EQ(IntegerOrZero("2147483647"), 2147483647);
  EXPECT_EQ(IntegerOrZero("-2147483648"), INT32_MIN);
  for (const char* bad : {"", " ", "abc", "12 ", "1.5", "2147483648", "$", "-", "$100000000",
                          "99999999999999999999", "1e3"}) {
    int32_t v = 7;
    EXPECT_FALSE(TryParseInteger(bad, v)) << bad;
    EXPECT_EQ(IntegerOrZero(bad), 0) << bad;
  }
}

TEST_F(Metadata, FieldAndTagDefinitions) {
  TqrxTableDef& t = OneTable(
      "<tabledef name=\"A&#x2C;B\" type=\"Memory\"><fielddefs>"
      "<fielddef name=\"N&#x41;ME\" type=\"string\" size=\"abc\"/>"
      "<fielddef name=\"X\" type=\"Int\"/>"
      "<fielddef name=\"Y\" type=\"Integer\" size=\" 12\"/>"
      "</fielddefs><tagdefs>"
      "<tagdef name=\"T1\" expression=\"Str(UID&#x2C; 10)\" unique=\"1\" descending=\"10\"/>"
      "<tagdef name=\"T2\" expression=\"E\" filter=\"F&#x22;\" unique=\"1abc\" descending=\"true\"/>"
      "<tagdef name=\"T3\" unique=\" 1\" descending=\"0\"/>"
      "</tagdefs></tabledef>");
  EXPECT_EQ(t.Name(), "A&#x2C;B");  // table names are never decoded
  EXPECT_FALSE(t.IsMemory());       // only "memory" exactly
  EXPECT_EQ(t.Links(), nullptr);

  TqrxFieldDefs& fields = t.FieldDefs();
  ASSERT_EQ(fields.Count(), 3);
  EXPECT_EQ(fields.FieldDef(0).Name(), "NAME");
  EXPECT_EQ(fields.FieldDef(0).FieldType(), FieldType::String);
  EXPECT_EQ(fields.FieldDef(0).Size(), 0);
  EXPECT_EQ(fields.FieldDef(1).FieldType(), FieldType::Unknown);
  EXPECT_EQ(fields.FieldDef(1).Size(), 0);
  EXPECT_EQ(fields.FieldDef(2).Size(), 12);
  EXPECT_THROW(fields.FieldDef(3), EqrxTagChildNotFound);

  TqrxTagDefs& tags = t.TagDefs();
  EXPECT_EQ(tags.TagDef(0).Expression(), "Str(UID, 10)");
  EXPECT_TRUE(tags.TagDef(0).Unique());
  EXPECT_TRUE(tags.TagDef(0).Descending());
  EXPECT_EQ(tags.TagDef(1).Filter(), "F\"");
  EXPECT_TRUE(tags.TagDef(1).Unique());
  EXPECT_FALSE(tags.TagDef(1).Descending());
  EXPECT_FALSE(tags.TagDef(2).Unique());
  EXPECT_EQ(tags.TagDef(2).Expression(), "");
  EXPECT_THROW(tags.TagDef(3), EqrxTagChildNotFound);
}

TEST_F(Metadata, ADefinitionOfAnotherKindIsRefused) {
  TqrxTableDef& t = OneTable(
      "<tabledef name=\"A\"><fielddefs><tagdef name=\"T\"/></fielddefs>"
      "<tagdefs><fielddef name=\"F\"/></tagdefs></tabledef>");
  EXPECT_THROW(t.FieldDefs().FieldDef(0), EInvalidCast);
  EXPECT_THROW(t.TagDefs().TagDef(0), EInvalidCast);
}

TEST_F(Metadata, MemoryTableAndVersion) {
  TqrxMetaData& root = Parse(
      "<tabledefs><tabledef name=\"M\" type=\"memory\"><fielddefs/><tagdefs/></tabledef>"
      "</tabledefs>");
  EXPECT_EQ(root.Version(), 3);
  EXPECT_TRUE(root.TableDefs()[0].IsMemory());
}

TEST_F(Metadata, MissingContainersAreTypeErrors) {
  EXPECT_THROW(Parse("<tabledefs><tabledef name=\"A\"><tagdefs/></tabledef></tabledefs>"),
               EInvalidCast);
  EXPECT_THROW(Parse("<tabledefs><tabledef name=\"A\"><fielddefs/></tabledef></tabledefs>"),
               EInvalidCast);
  EXPECT_THROW(Parse("<other/>"), EInvalidCast);
  // The failed element is gone; the declaration parsed before it stays.
  EXPECT_EQ(tree_.ChildCount(), 1);
  // A fielddefs child of another class.
  EXPECT_THROW(OneTable("<tabledef><fielddefs><x/></fielddefs><tagdefs/></tabledef>")
                   .FieldDefs()
                   [0],
               EInvalidCast);
}

TEST_F(Metadata, LinksAreIndexedWithoutDuplicates) {
  TqrxTableDef& t = OneTable(
      "<tabledef name=\"A\"><fielddefs/><tagdefs/><links>"
      "<link field=\"CNTRYID\" table=\"COUNTRY\"/><link field=\"GRPID\" table=\"TGROUP\"/>"
      "</links></tabledef>");
  ASSERT_NE(t.Links(), nullptr);
  EXPECT_EQ((*t.Links()->ByField().Find("grpid"))->GetAttr("table"), "TGROUP");
  EXPECT_EQ(testing::FailureMessage<EListError>([&] {
              OneTable("<tabledef name=\"A\"><fielddefs/><tagdefs/><links>"
                       "<link field=\"X\"/><link field=\"x\"/></links></tabledef>");
            }),
            "String list does not allow duplicates");
}

TEST_F(Metadata, TableLookup) {
  TqrxMetaData& root = Parse(
      "<tabledefs>"
      "<tabledef name=\"Lines\"><fielddefs/><tagdefs/></tabledef>"
      "<tabledef name=\"LINES\"><fielddefs/><tagdefs/></tabledef>"
      "<tabledef name=\"\xD4\xC8\xD0\xCC\"><fielddefs/><tagdefs/></tabledef>"
      "</tabledefs>");
  EXPECT_EQ(&FindTableDef(root, "lines.dbf"), &root.TableDefs()[1]);
  EXPECT_EQ(&FindTableDef(root, "LINES"), &root.TableDefs()[1]);
  EXPECT_THROW(FindTableDef(root, "dir.old/lines"), Exception);  // the directory is kept
  EXPECT_EQ(&FindTableDef(root, "\xF4\xE8\xF0\xEC.dbf"), &root.TableDefs()[2]);
  EXPECT_EQ(testing::FailureMessage<Exception>([&] { FindTableDef(root, "orders.dbf"); }),
            "can not found table ORDERS in metadata");
}

// Data documents find their table definitions in the process-wide metadata.
class DataDocument : public Metadata {
 protected:
  static void SetUpTestSuite() {
    RegisterMetadataClasses();
    std::istringstream schema(
        "<metadata version=\"7\"><tabledefs>"
        "<tabledef name=\"DOC\" primarykey=\"UID\" naturalkey=\"FTYPE;FIRM;STRNUM\">"
        "<fielddefs/><tagdefs/></tabledef>"
        "<tabledef name=\"GOODS\" primarykey=\"DOCID;ORDERA\"><fielddefs/><tagdefs/></tabledef>"
        "</tabledefs></metadata>");
    LoadMetadataDocument(schema);
  }
};

TEST_F(DataDocument, RowsCarryTypedKeyValues) {
  tree_.LoadFromText(
      "<table name=\"doc\"><fields>"
      "<field name=\"UID\" type=\"Integer\"/><field name=\"FTYPE\" type=\"Smallint\"/>"
      "<field name=\"FIRM\" type=\"Word\"/><field name=\"STRNUM\" type=\"String\"/>"
      "<field name=\"FDATE\" type=\"Date\"/><field name=\"FSUM\" type=\"Float\"/>"
      "<field name=\"USENSP\" type=\"Boolean\"/><field name=\"T\" type=\"Time\"/>"
      "</fields><rowdata>"
      "<row a=\"12\" b=\"3\" c=\"$10\" d=\"N&#x2C;1\" e=\"2003-07-15\" f=\"12.5\" g=\"1\" h=\"x\"/>"
      "</rowdata></table>");
  auto& table = TagCast<TqrxTable>(&tree_.Child(0));
  EXPECT_EQ(table.Name(), "doc");
  EXPECT_EQ(table.TableDef()->Name(), "DOC");
  EXPECT_EQ(table.PrimaryKey(), "UID");
  auto& row = TagCast<TqrxRow>(&table.RowData()->Child(0));
  EXPECT_EQ(row.Table(), &table);
  EXPECT_EQ(row.PrimaryKeyValue(), Variant(12));
  EXPECT_EQ(row.NaturalKeyValue(), Variant(Variant::Array{3, 16, std::string("N,1")}));
  DateTime date;
  ASSERT_TRUE(TryEncodeDate(2003, 7, 15, date));
  EXPECT_EQ(row.GetFieldValue("fdate"), Variant(date));
  EXPECT_EQ(row.GetFieldValue("FSUM"), Variant(12.5));
  EXPECT_EQ(row.GetFieldValue("USENSP"), Variant(true));
  EXPECT_EQ(testing::FailureMessage<Exception>([&] { row.GetFieldValue("T"); }),
            "CastValue: unknown field type");
  EXPECT_EQ(testing::FailureMessage<Exception>([&] { row.GetFieldValue("NOPE"); }),
            "GetFieldValues: unknown field name NOPE");
  EXPECT_EQ(row.Vars().Count(), 0);
}

TEST_F(DataDocument, CompositePrimaryKeyGivesAnArray) {
  tree_.LoadFromText(
      "<table name=\"GOODS\"><fields><field name=\"DOCID\" type=\"Integer\"/>"
      "<field name=\"ORDERA\" type=\"Integer\"/></fields>"
      "<rowdata><row a=\"5\" b=\"2\"/></rowdata></table>");
  auto& table = TagCast<TqrxTable>(&tree_.Child(0));
  auto& row = TagCast<TqrxRow>(&table.RowData()->Child(0));
  EXPECT_EQ(row.PrimaryKeyValue(), Variant(Variant::Array{5, 2}));
}

TEST_F(DataDocument, BadDocumentsFailWithTheirMessages) {
  EXPECT_EQ(testing::FailureMessage<Exception>([&] { tree_.LoadFromText("<table name=\"ORDERS\"/>"); }),
            "can not found table ORDERS in metadata");
  EXPECT_THROW(tree_.LoadFromText("<table name=\"DOC\"><fields><field name=\"A\"/>"
                                  "<field name=\"a\"/></fields></table>"),
               EListError);
  EXPECT_THROW(tree_.LoadFromText("<x><row/></x>"), EInvalidCast);
  EXPECT_THROW(tree_.LoadFromText("<row/>"), EInvalidCast);
  EXPECT_THROW(tree_.LoadFromText("<table name=\"DOC\"><rowdata><other/></rowdata></table>"),
               EInvalidCast);
  // A row without attributes.
  EXPECT_THROW(tree_.LoadFromText("<table name=\"DOC\"><fields><field name=\"UID\" "
                                  "type=\"Integer\"/></fields><rowdata><row/></rowdata></table>"),
               EqrxTagAttrNotFound);
}

TEST(CastValue, FloatTextsDoNotDependOnTheLocale) {
  testing::DecimalCommaLocale locale;
  ASSERT_TRUE(locale.Active());
  EXPECT_EQ(TqrxRow::CastValue("12.5", FieldType::Float), Variant(12.5));
  EXPECT_EQ(TqrxRow::CastValue(" +1e2 ", FieldType::Currency), Variant(100.0));
  EXPECT_THROW(TqrxRow::CastValue("12,5", FieldType::Float), Exception);
  EXPECT_THROW(TqrxRow::CastValue("1e999", FieldType::Float), Exception);
}

TEST(CastValue, Conversions) {
  EXPECT_EQ(TqrxRow::CastValue("Str(UID&#x2C; 10)", FieldType::Memo), Variant("Str(UID, 10)"));
  EXPECT_EQ(TqrxRow::CastValue("abc", FieldType::Integer), Variant(0));
  EXPECT_EQ(TqrxRow::CastValue("", FieldType::Boolean), Variant(false));
  EXPECT_EQ(TqrxRow::CastValue("10", FieldType::Boolean), Variant(true));
  EXPECT_EQ(TqrxRow::CastValue("-1.25", FieldType::Currency), Variant(-1.25));
  EXPECT_THROW(TqrxRow::CastValue("1,5", FieldType::Float), Exception);
  EXPECT_THROW(TqrxRow::CastValue("", FieldType::BCD), Exception);
  EXPECT_THROW(TqrxRow::CastValue("nan", FieldType::Float), Exception);
  EXPECT_EQ(testing::FailureMessage<Exception>([&] { TqrxRow::CastValue("2003-02-30", FieldType::Date); }),
            "Invalid argument to date encode");
  EXPECT_EQ(testing::FailureMessage<Exception>([&] { TqrxRow::CastValue("2003-0a-01", FieldType::DateTime); }),
            "'0a' is not a valid integer value");
  EXPECT_THROW(TqrxRow::CastValue("2003", FieldType::Date), Exception);
  EXPECT_THROW(TqrxRow::CastValue("x", FieldType::Blob), Exception);
}

TEST(VarList, NamesAreUniqueWithoutRegardToCase) {
  TksVarList vars;
  vars.Add("Price", 1.5);
  vars.Add("COUNT", 3);
  EXPECT_THROW(vars.Add("price"), EListError);
  ASSERT_NE(vars.Find("count"), nullptr);
  EXPECT_EQ(*vars.Find("count"), Variant(3));
  vars.Clear();
  EXPECT_EQ(vars.Count(), 0);
}

TEST(ConstraintKinds, NamesInOrder) {
  EXPECT_EQ(ConstraintKindNames[static_cast<size_t>(ConstraintKind::DocKey)], "DocKey");
  EXPECT_EQ(static_cast<int>(ConstraintKind::Detail), 3);
}

}  // namespace
}  // namespace ks
