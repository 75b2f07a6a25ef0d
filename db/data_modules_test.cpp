// The data modules over a freshly created database: UID allocation from LINES, the
// dictionary look-up, the record rules of the reference sets, the declared fields, and the
// modules' lifetimes.

#include <gtest/gtest.h>

#include <map>

#include "common/codepage.h"
#include "common/date_time.h"
#include "db/testing/modules_fixture.h"

namespace ks {
namespace {

class DataModulesTest : public testing::ModulesTest {
 protected:
  void SetUp() override {
    testing::ModulesTest::SetUp();
    if (HasFatalFailure()) return;
    TdtmDict& d = *dict_;
    CreateAndOpen({&main_->cbtLines, &main_->cbtDocCommon, &d.cbtFirm, &d.cbtFirmFind, &d.cbtModel, &d.cbtModelFind,
                   &d.cbtCountry, &d.cbtCountryFind, &d.cbttGroup, &d.cbttGroupFind, &d.cbtPeople, &d.cbtPeopleFind,
                   &d.cbtCurrExch, &d.cbtCurrExchFind});
  }

  // A LINES row as the run writes it.
  void AddLinesRow(const std::string& name, int32_t next) {
    TCBTableSet& lines = main_->cbtLines;
    lines.Append();
    lines.FieldByName("TBLNAME").SetAsString(name);
    lines.FieldByName("NEXTUID").SetAsInteger(next);
    lines.Post();
  }
  // NEXTUID of every LINES row by stored name.
  std::map<std::string, int32_t> LinesRows() {
    std::map<std::string, int32_t> rows;
    TCBTableSet& lines = main_->cbtLines;
    for (lines.First(); !lines.Eof(); lines.Next())
      rows[lines.FieldByName("TBLNAME").AsString()] = lines.FieldByName("NEXTUID").AsInteger();
    return rows;
  }
  int32_t PostNamed(TCBTableSet& set, const std::string& name, const Variant& uid = {}) {
    set.Append();
    set.FieldByName("FNAME").SetAsString(name);
    if (!uid.IsNull()) set.FieldByName("UID").SetAsVariant(uid);
    set.Post();
    return set.FieldByName("UID").AsInteger();
  }
  std::string DictText(TCBTableSet& set, int32_t key, const std::string& field = "FNAME") {
    const Variant value = dict_->GetDictValue(set, key, field);
    return value.IsNull() ? "<null>" : value.As<std::string>();
  }
};

TEST_F(DataModulesTest, UidsComeFromLinesOnlyForRecordsWithoutOne) {
  TdtmDict& d = *dict_;
  EXPECT_EQ(PostNamed(d.cbtCountry, "Given", 17), 17);
  EXPECT_EQ(main_->cbtLines.RecordCount(), 0);

  EXPECT_EQ(PostNamed(d.cbtCountry, "First"), 1000);
  EXPECT_EQ(LinesRows(), (std::map<std::string, int32_t>{{"COUNTRY.DBF", 1001}}));
  EXPECT_EQ(PostNamed(d.cbtCountry, "Second"), 1001);
  EXPECT_EQ(LinesRows(), (std::map<std::string, int32_t>{{"COUNTRY.DBF", 1002}}));

  // Counters of different tables do not mix; the stored name is the configured one.
  EXPECT_EQ(PostNamed(d.cbttGroup, "Tools"), 1000);
  EXPECT_EQ(LinesRows(), (std::map<std::string, int32_t>{{"COUNTRY.DBF", 1002}, {"tGroup.DBF", 1001}}));
}

TEST_F(DataModulesTest, LinesRowsAreFoundWithoutRegardToCase) {
  TdtmDict& d = *dict_;
  AddLinesRow("COUNTRY.DBF_OLD", 9000);  // a longer name is another table
  AddLinesRow("FIRM.DBF", 70);           // the set says "Firm.dbf"
  AddLinesRow("model.dbf", 500);         // the set says "MODEL.DBF"
  AddLinesRow("VERSION", 7);

  d.cbtFirm.Append();
  d.cbtFirm.FieldByName("FULLNAME").SetAsString("Firm");
  d.cbtFirm.Post();
  EXPECT_EQ(d.cbtFirm.FieldByName("UID").AsInteger(), 70);
  EXPECT_EQ(PostNamed(d.cbtModel, "Saw"), 500);
  EXPECT_EQ(PostNamed(d.cbtCountry, "Land"), 1000);
  EXPECT_EQ(
      LinesRows(),
      (std::map<std::string, int32_t>{
          {"COUNTRY.DBF", 1001}, {"COUNTRY.DBF_OLD", 9000}, {"FIRM.DBF", 71}, {"model.dbf", 501}, {"VERSION", 7}}));

  // The document set of the main module, named "Doc.dbf", against a row in upper case.
  AddLinesRow("DOC.DBF", 40);
  main_->cbtDocCommon.Append();
  main_->SetAutoIncBeforePost(main_->cbtDocCommon);
  main_->cbtDocCommon.Post();
  EXPECT_EQ(main_->cbtDocCommon.FieldByName("UID").AsInteger(), 40);
  EXPECT_EQ(LinesRows()["DOC.DBF"], 41);

  // Letters beyond ASCII fold the way the tag's Upper() folds them.
  AddLinesRow(W("счёт.dbf"), 300);
  TCBTableSet accounts;
  accounts.SetDataBaseName(&main_->dtbKestrel);
  accounts.SetTableName(W("СЧЁТ.DBF"));
  accounts.FieldDefs().Add("UID", ftInteger);
  accounts.CreateTable();
  accounts.Open();
  accounts.Append();
  main_->SetAutoIncBeforePost(accounts);
  EXPECT_EQ(accounts.FieldByName("UID").AsInteger(), 300);
  accounts.Cancel();
  EXPECT_EQ(LinesRows()[W("счёт.dbf")], 301);
}

TEST_F(DataModulesTest, AFailingAllocationStopsThePost) {
  main_->cbtLines.Close();
  dict_->cbtCountry.Append();
  dict_->cbtCountry.FieldByName("FNAME").SetAsString("Land");
  EXPECT_ANY_THROW(dict_->cbtCountry.Post());
  EXPECT_EQ(dict_->cbtCountry.State(), dsInsert);
  dict_->cbtCountry.Cancel();
  EXPECT_EQ(dict_->cbtCountry.RecordCount(), 0);

  // A counter that cannot be stored gives the record no number, so a second try allocates.
  OpenTableSet(main_->cbtLines);
  main_->cbtLines.BeforePost = [](TDataSet&) { throw Exception("LINES is read-only"); };
  dict_->cbtCountry.Append();
  dict_->cbtCountry.FieldByName("FNAME").SetAsString("Land");
  EXPECT_THROW(dict_->cbtCountry.Post(), Exception);
  EXPECT_TRUE(dict_->cbtCountry.FieldByName("UID").IsNull());
  EXPECT_EQ(main_->cbtLines.State(), dsBrowse);
  main_->cbtLines.BeforePost = nullptr;
  dict_->cbtCountry.Post();
  EXPECT_EQ(dict_->cbtCountry.FieldByName("UID").AsInteger(), 1000);
  EXPECT_EQ(LinesRows(), (std::map<std::string, int32_t>{{"COUNTRY.DBF", 1001}}));
}

TEST_F(DataModulesTest, DictionaryLookUpByUid) {
  TdtmDict& d = *dict_;
  EXPECT_EQ(DictText(d.cbtCountryFind, 0), W("Россия"));
  EXPECT_EQ(DictText(d.cbtCurrExchFind, 0), W("р."));
  try {
    d.GetDictValue(d.cbttGroupFind, 0, "FNAME");
    ADD_FAILURE() << "no exception";
  } catch (const EKSDictValueNotFound& e) {
    EXPECT_EQ(std::string(e.what()), W("Ключ 0 в таблице tGroup.DBF по индексу IPRIMARY не найден"));
  }
  EXPECT_THROW(d.GetDictValue(d.cbtCountryFind, 5, "FNAME"), EKSDictValueNotFound);

  // Records posted through the editing sets are seen by the search sets at once.
  PostNamed(d.cbtCountry, W("Франция"), 5);
  PostNamed(d.cbtCountry, "Nowhere", 0);
  PostNamed(d.cbtCountry, "Below", -3);
  EXPECT_EQ(DictText(d.cbtCountryFind, 5), W("Франция"));
  EXPECT_EQ(DictText(d.cbtCountryFind, 0), "Nowhere");  // a stored 0 wins over the default
  EXPECT_EQ(DictText(d.cbtCountryFind, -3), "Below");
  EXPECT_EQ(d.GetDictValue(d.cbtCountryFind, 5, "UID"), Variant(int32_t{5}));
  EXPECT_THROW(d.GetDictValue(d.cbtCountryFind, 5, "NOSUCH"), Exception);

  d.cbtCurrExch.Append();
  d.cbtCurrExch.FieldByName("UID").SetAsInteger(2);
  d.cbtCurrExch.Post();
  EXPECT_TRUE(d.GetDictValue(d.cbtCurrExchFind, 2, "RATE").IsNull());
}

TEST_F(DataModulesTest, ModelsGetTheirDefaultsAndGroupName) {
  TdtmDict& d = *dict_;
  PostNamed(d.cbttGroup, "Tools", 5);

  d.cbtModel.Append();
  d.cbtModel.FieldByName("FNAME").SetAsString("Saw");
  d.cbtModel.FieldByName("GRPID").SetAsInteger(0);
  d.cbtModel.FieldByName("CURRID").SetAsInteger(0);
  d.cbtModel.FieldByName("CNTRYID").SetAsInteger(3);
  d.cbtModel.Post();
  EXPECT_TRUE(d.cbtModel.FieldByName("GRPID").IsNull());
  EXPECT_EQ(d.cbtModel.FieldByName("GRPNAME").AsString(), "");  // a text column stores no null
  EXPECT_TRUE(d.cbtModel.FieldByName("CURRID").IsNull());
  EXPECT_EQ(d.cbtModel.FieldByName("CNTRYID").AsInteger(), 3);
  EXPECT_TRUE(d.cbtModel.FieldByName("NSP").AsBoolean());

  d.cbtModel.Append();
  d.cbtModel.FieldByName("FNAME").SetAsString("Hammer");
  d.cbtModel.FieldByName("GRPID").SetAsInteger(5);
  d.cbtModel.FieldByName("NSP").SetAsBoolean(false);
  d.cbtModel.Post();
  EXPECT_EQ(d.cbtModel.FieldByName("GRPNAME").AsString(), "Tools");
  EXPECT_FALSE(d.cbtModel.FieldByName("NSP").AsBoolean());

  // An unknown group leaves the name empty and the post goes through.
  d.cbtModel.Edit();
  d.cbtModel.FieldByName("GRPID").SetAsInteger(7);
  d.cbtModel.Post();
  EXPECT_EQ(d.cbtModel.FieldByName("GRPNAME").AsString(), "");
  EXPECT_EQ(d.cbtModel.RecordCount(), 2);
}

TEST_F(DataModulesTest, CancellingAModelRunsTheRulesAgainButCreatesNothing) {
  TdtmDict& d = *dict_;
  d.cbtModel.Append();
  d.cbtModel.FieldByName("FNAME").SetAsString("Dropped");
  d.cbtModel.Cancel();
  EXPECT_EQ(d.cbtModel.RecordCount(), 0);
  EXPECT_EQ(d.cbtModel.State(), dsBrowse);
  EXPECT_EQ(main_->cbtLines.RecordCount(), 0);

  PostNamed(d.cbttGroup, "Tools", 5);
  d.cbtModel.Append();
  d.cbtModel.FieldByName("FNAME").SetAsString("Saw");
  d.cbtModel.Post();
  // The stored record is edited and posted again, picking up its group name.
  d.cbtModel.Edit();
  d.cbtModel.FieldByName("GRPID").SetAsInteger(5);
  d.cbtModel.Post();
  d.cbtModel.Append();
  d.cbtModel.Cancel();
  EXPECT_EQ(d.cbtModel.RecordCount(), 1);
  EXPECT_EQ(d.cbtModel.FieldByName("GRPNAME").AsString(), "Tools");
}

TEST_F(DataModulesTest, ChangeRecordsOfModelsAndGroups) {
  TdtmDict& d = *dict_;
  for (TCBTableSet* set : {&d.cbtModel, &d.cbttGroup}) {
    const TKSChangeDef& change = d.ChangeDef(set);
    EXPECT_EQ(change.UID, -1);
    EXPECT_EQ(change.DataSet, nullptr);

    PostNamed(*set, "Old", 11);
    EXPECT_EQ(change.UID, -1);  // an insert
    EXPECT_EQ(change.DataSet, set);
    set->Edit();
    EXPECT_EQ(change.OldName, "Old");
    EXPECT_EQ(change.UID, 11);
    set->FieldByName("FNAME").SetAsString("New");
    set->Post();
    EXPECT_EQ(change.NewName, "New");
    EXPECT_EQ(change.UID, 11);
  }
  // Every dataset of the module has its record, the legacy ones too; only those two change.
  EXPECT_EQ(d.ChangeDef(&d.cbtCountry).DataSet, nullptr);
  PostNamed(d.cbtCountry, "Land");
  EXPECT_EQ(d.ChangeDef(&d.cbtCountry).DataSet, nullptr);
  EXPECT_EQ(d.ChangeDef(&d.legacy.tblGroup).UID, -1);
}

TEST_F(DataModulesTest, FirmsAndPeopleAreCompleted) {
  TdtmDict& d = *dict_;
  d.cbtFirm.Append();
  d.cbtFirm.FieldByName("FULLNAME").SetAsString("Plain");
  d.cbtFirm.Post();
  EXPECT_EQ(d.cbtFirm.FieldByName("CHIEFDUT").AsInteger(), -1);
  EXPECT_EQ(d.cbtFirm.FieldByName("ACCNTDUT").AsInteger(), -2);
  EXPECT_EQ(d.cbtFirm.FieldByName("CASHDUT").AsInteger(), -3);
  EXPECT_TRUE(d.cbtFirm.FieldByName("FSELF").AsBoolean());
  EXPECT_FALSE(d.cbtFirm.FieldByName("NO2NDSGN").IsNull() || d.cbtFirm.FieldByName("NO2NDSGN").AsBoolean());
  EXPECT_FALSE(d.cbtFirm.FieldByName("NOSEAL").IsNull() || d.cbtFirm.FieldByName("NOSEAL").AsBoolean());

  d.cbtFirm.Append();
  d.cbtFirm.FieldByName("FULLNAME").SetAsString("Set");
  d.cbtFirm.FieldByName("CHIEFDUT").SetAsInteger(4);
  d.cbtFirm.FieldByName("FSELF").SetAsBoolean(false);
  d.cbtFirm.FieldByName("INN").SetAsString("123");
  d.cbtFirm.FieldByName("KPP").SetAsString("456");
  d.cbtFirm.Post();
  EXPECT_EQ(d.cbtFirm.FieldByName("CHIEFDUT").AsInteger(), 4);
  EXPECT_FALSE(d.cbtFirm.FieldByName("FSELF").AsBoolean());

  ASSERT_TRUE(d.cbtFirmFind.SeekKey("      1000"));
  EXPECT_EQ(d.cbtFirmFind.FieldByName("WINN").AsString(), "");
  EXPECT_EQ(d.cbtFirmFind.FieldByName("WKPP").AsString(), "");
  ASSERT_TRUE(d.cbtFirmFind.SeekKey("      1001"));
  EXPECT_EQ(d.cbtFirmFind.FieldByName("WINN").AsString(), W("ИНН 123"));
  EXPECT_EQ(d.cbtFirmFind.FieldByName("WKPP").AsString(), W("КПП 456"));

  d.cbtPeople.Append();
  d.cbtPeople.FieldByName("FSTNAME").SetAsString(W("Иван"));
  d.cbtPeople.FieldByName("LASTNAME").SetAsString(W("Петрович"));
  d.cbtPeople.FieldByName("SCNDNAME").SetAsString(W("Сидоров"));
  d.cbtPeople.Post();
  EXPECT_EQ(d.cbtPeople.FieldByName("FIO").AsString(), W("Сидоров И. П."));
  EXPECT_EQ(d.cbtPeople.FieldByName("PSPDATE").AsDateTime(), Today());
  d.cbtPeople.Edit();
  d.cbtPeople.FieldByName("FSTNAME").Clear();
  d.cbtPeople.FieldByName("PSPDATE").SetAsDateTime(DateTime{2});  // 1900-01-01
  d.cbtPeople.Post();
  EXPECT_EQ(d.cbtPeople.FieldByName("PSPDATE").AsDateTime(), DateTime{2});
  ASSERT_TRUE(d.cbtPeopleFind.SeekKey("      1000"));
  EXPECT_EQ(d.cbtPeopleFind.FieldByName("FIO").AsString(), W("Сидоров  П."));
}

TEST_F(DataModulesTest, DeclaredFieldsOfTheSets) {
  TdtmDict& d = *dict_;
  // Whatever width a text field is declared with, once its set is open it has its column's
  // width, so that a value set through it is neither cut short nor written past the column;
  // isLocked comes after the stored fields.
  for (TCBTableSet* set :
       {&main_->cbtLines, &main_->cbtGoods, &main_->cbtDocCommon, &main_->cbtTmpltDummy, &d.cbtFirm,
        &d.cbtFirmFind, &d.cbtModel, &d.cbtModelFind, &d.cbtCountry, &d.cbtCountryFind, &d.cbttVolume,
        &d.cbttVolumeFind, &d.cbttGroup, &d.cbttGroupFind, &d.cbtPeople, &d.cbtPeopleFind, &d.cbtDuties,
        &d.cbtDutiesFind, &d.cbtCurrExch, &d.cbtCurrExchFind}) {
    if (!set->Active()) OpenTableSet(*set);
    int text_fields = 0;
    for (const TFieldNode& node : set->Nodes()) {
      const TField* field = set->FindField(node.Name);
      if (field == nullptr || field->DataType() != ftString) continue;
      EXPECT_EQ(field->Size(), node.Length) << set->Name() << "." << node.Name;
      ++text_fields;
    }
    EXPECT_GT(text_fields, 0) << set->Name();
    const TField* last_stored = nullptr;
    for (const TField* field : set->Fields()) {
      if (!field->Calculated()) last_stored = field;
    }
    ASSERT_NE(last_stored, nullptr) << set->Name();
    EXPECT_EQ(last_stored->FieldName(), "isLocked") << set->Name();
    EXPECT_EQ(last_stored->DataType(), ftBoolean);
    EXPECT_EQ(set->DataBaseName(), &main_->dtbKestrel);
  }
  // The tax-number fields of the firm search set are calculated; the editing set has none.
  for (const char* name : {"WINN", "WKPP"}) EXPECT_TRUE(d.cbtFirmFind.FieldByName(name).Calculated());
  EXPECT_EQ(d.cbtFirm.FindField("WINN"), nullptr);

  // The search sets show exactly their labelled fields.
  const std::map<std::string, std::string> firm_labels = {{"FULLNAME", "Полное_название"},
                                                          {"ADDRESS", "Адрес"},
                                                          {"RASDEP", "Расчетный_счет"},
                                                          {"CORDEP", "Корреспондентский_счет"},
                                                          {"BANK", "Банк"},
                                                          {"INN", "ИНН"},
                                                          {"KPP", "КПП"},
                                                          {"OKONH", "Код_по_ОКОНХ"},
                                                          {"OKPO", "Код_по_ОКПО"},
                                                          {"BIK", "БИК"},
                                                          {"CARGO", "Грузоотправитель"},
                                                          {"WINN", "Поле_ИНН"},
                                                          {"WKPP", "Поле_КПП"}};
  const std::map<std::string, std::string> people_labels = {{"FSTNAME", "Имя"},
                                                            {"SCNDNAME", "Фамилия"},
                                                            {"LASTNAME", "Отчество"},
                                                            {"FIO", "ФИО"},
                                                            {"PSPSER", "Паспорт.Серия"},
                                                            {"PSPGIVE", "Паспорт.Место_выдачи"},
                                                            {"PSPDATE", "Паспорт.Дата_выдачи"},
                                                            {"PSPNUM", "Паспорт.Номер"}};
  for (const auto& [set, labels] :
       {std::pair{&d.cbtFirmFind, firm_labels}, std::pair{&d.cbtPeopleFind, people_labels}}) {
    size_t visible = 0;
    for (TField* field : set->Fields()) {
      const auto label = labels.find(field->FieldName());
      if (label == labels.end()) {
        EXPECT_FALSE(field->Visible()) << field->FieldName();
      } else {
        EXPECT_TRUE(field->Visible()) << field->FieldName();
        EXPECT_EQ(field->DisplayLabel(), W(label->second)) << field->FieldName();
        ++visible;
      }
    }
    EXPECT_EQ(visible, labels.size());
  }
  EXPECT_TRUE(d.cbtFirm.FieldByName("UID").Visible());  // editing sets hide nothing
}

// The modules go away in either order without touching each other afterwards (the
// sanitizer build catches what a plain build would not).
TEST(DataModulesLifetime, EitherModuleMayGoFirst) {
  testing::LoadSchemaOnce();
  const testing::TempDir temp("ks_db_");
  const std::string dir = temp.Path();
  testing::RecordingWindow window;
  for (bool dict_first : {false, true}) {
    auto dict = std::make_unique<TdtmDict>();
    auto main = std::make_unique<TdtmMain>(*dict);
    main->TakeDatabasePath(dir);
    CreateAllTables(main->dtbKestrel, window);
    for (TCBTableSet* set : {&main->cbtLines, &dict->cbtCountry, &dict->cbtCountryFind, &main->cbtGoods})
      OpenTableSet(*set);
    dict->cbtCountry.Append();
    dict->cbtCountry.FieldByName("FNAME").SetAsString("Land");
    dict->cbtCountry.Post();
    if (dict_first) {
      dict.reset();
      EXPECT_EQ(main->dtbKestrel.OpenTables().size(), 2u);  // the dictionary's tables are gone
      main.reset();
    } else {
      main.reset();
      EXPECT_FALSE(dict->cbtCountry.Active());
      EXPECT_EQ(dict->cbtCountry.DataBaseName(), nullptr);
      dict.reset();
    }
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ks
