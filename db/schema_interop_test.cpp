// The created database as independent readers see it: every column of every table
// (python3-dbfread, texts printed in UTF-8), the one tag of DOC (index_dump) and the values
// the data modules store.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "common/codepage.h"
#include "db/testing/modules_fixture.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

// Column layouts by table: name, type letter, width and decimals; memo widths are the engine's.
const std::map<std::string, std::string> kColumns = {
    {"country", "UID N11.0,FNAME C50.0"},
    {"currexch", "UID N11.0,FNAME C50.0,RATE N19.6"},
    {"doc",
     "UID N11.0,FTYPE N11.0,FDATE D8.0,INTNUM N11.0,STRNUM C200.0,FIRM N11.0,PARTNER N11.0,FSUM N19.6,"
     "RATE N19.6,NSP N19.6,USENSP L1.0,FCOMPLEX M,CURRID N11.0,BYCURR L1.0,PEOPLEID N11.0,FOLDER N11.0"},
    {"duties", "UID N11.0,FNAME C50.0"},
    {"firm",
     "UID N11.0,FSELF L1.0,SHRTNAME C30.0,FULLNAME C250.0,ADDRESS C250.0,CARGO C250.0,INN C30.0,BIK C15.0,"
     "BANK C250.0,CORDEP C50.0,RASDEP C50.0,NO2NDSGN L1.0,NOSEAL L1.0,OKONH C150.0,OKPO C150.0,KPP C30.0,"
     "CHIEFID N11.0,ACCNTID N11.0,CASHID N11.0,CHIEFDUT N11.0,ACCNTDUT N11.0,CASHDUT N11.0"},
    {"goods",
     "DOCID N11.0,MODID N11.0,PRICE N19.6,NDS N19.6,NSP L1.0,FCOUNT N19.6,VOLID N11.0,GRPID N11.0,"
     "CNTRYID N11.0,GTD C30.0,ORDERA N11.0,CURRID N11.0,FKPRICE N19.6,LCOUNT C50.0,NOTE1 C100.0,NOTE2 C100.0"},
    {"lines", "TBLNAME C20.0,NEXTUID N11.0"},
    {"model",
     "UID N11.0,FNAME C240.0,PRICE N19.6,NDS N19.6,NSP L1.0,CNTRYID N11.0,GTD C30.0,GRPID N11.0,VOLID N11.0,"
     "GRPNAME C50.0,CURRID N11.0,LCOUNT C50.0,NOTE1 C100.0,NOTE2 C100.0"},
    {"people",
     "UID N11.0,FIRMID N11.0,FSTNAME C30.0,SCNDNAME C30.0,LASTNAME C30.0,PSPSER C10.0,PSPGIVE C200.0,"
     "PSPDATE D8.0,PSPNUM C30.0,DUTID N11.0"},
    {"tgroup", "UID N11.0,FNAME C50.0"},
    {"tmplt", "UID N11.0,DOCTYPE N11.0,FLDNAME C8.0,FBODY M"},
    {"tvolume", "UID N11.0,FNAME C50.0"},
    {"doccrate", "DOCID N11.0,CURRID N11.0,RATE N19.6"},
    {"firmrep", "FIRM N11.0,DOCFTYPE N11.0,REPFIELD C50.0,FDUTCAPT C200.0,PEOPLE N11.0"},
};

class SchemaInteropTest : public testing::ModulesTest {
 protected:
  void SetUp() override {
    if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no /usr/bin/python3";
    testing::ModulesTest::SetUp();
  }

  // Runs a dbfread script over the directory; its output lines joined by "\n".
  std::string DbfRead(const std::string& body) {
    const std::string script = dir_ + "read.py";
    std::ofstream(script) << "import sys, os\nfrom dbfread import DBF\nd = sys.argv[1]\n" << body;
    const std::string out =
        testing::RunCommand("PYTHONIOENCODING=utf-8 /usr/bin/python3 " + script + " " + dir_ + " 2>&1");
    fs::remove(script);
    return out;
  }
};

TEST_F(SchemaInteropTest, ColumnsOfEveryTableAsAnIndependentReaderSeesThem) {
  CreateAllTables(main_->dtbKestrel, window_);
  const std::string out = DbfRead(R"(
for name in sorted(f for f in os.listdir(d) if f.endswith('.dbf')):
    t = DBF(os.path.join(d, name), load=True)
    cols = []
    for f in t.fields:
        cols.append(f.name + ' ' + f.type + ('' if f.type == 'M' else '%d.%d' % (f.length, f.decimal_count)))
    print(name[:-4] + '=' + ','.join(cols) + '=' + str(len(t.records)))
)");
  std::string expected;  // in the order of the sorted file names, as the map keeps them
  for (const auto& [table, columns] : kColumns) expected += table + "=" + columns + "=0\n";
  EXPECT_EQ(out, expected);
}

TEST_F(SchemaInteropTest, DocIsIndexedByTheSingleConstantTag) {
  if (!fs::exists("/usr/bin/index_dump")) GTEST_SKIP() << "no index_dump";
  CreateAndOpen({&main_->cbtDocCommon});
  for (int uid : {7, 3}) {
    main_->cbtDocCommon.Append();
    main_->cbtDocCommon.FieldByName("UID").SetAsInteger(uid);
    main_->cbtDocCommon.Post();
  }
  main_->cbtDocCommon.Close();
  const std::string out = testing::RunCommand("/usr/bin/index_dump --type=num " + dir_ + "doc.cdx DUMMY 2>&1");
  EXPECT_EQ(out, "1 1\n1 2\n");  // key 1 for both records
}

TEST_F(SchemaInteropTest, RecordsCompletedByTheDictionaryRulesAreStoredAsRead) {
  CreateAndOpen({&main_->cbtLines, &dict_->cbtFirm, &dict_->cbtPeople, &dict_->cbtCountry, &dict_->cbttGroupFind,
                 &dict_->cbtModel});
  dict_->cbtFirm.Append();
  dict_->cbtFirm.FieldByName("FULLNAME").SetAsString(W("ООО Ромашка"));
  dict_->cbtFirm.Post();
  dict_->cbtPeople.Append();
  dict_->cbtPeople.FieldByName("SCNDNAME").SetAsString(W("Сидоров"));
  dict_->cbtPeople.Post();
  dict_->cbtModel.Append();
  dict_->cbtModel.FieldByName("FNAME").SetAsString("Saw");
  dict_->cbtModel.FieldByName("GRPID").SetAsInteger(0);
  dict_->cbtModel.Post();
  main_->CloseDataSets();
  dict_->CloseDataSets();

  const std::string out = DbfRead(R"(
f = DBF(os.path.join(d, 'firm.dbf'), encoding='cp1251', load=True).records[0]
print(f['UID'], f['FULLNAME'], f['FSELF'], f['NO2NDSGN'], f['NOSEAL'], f['CHIEFDUT'], f['ACCNTDUT'], f['CASHDUT'])
p = DBF(os.path.join(d, 'people.dbf'), encoding='cp1251', load=True).records[0]
print(p['UID'], p['SCNDNAME'], p['PSPDATE'] is not None)
m = DBF(os.path.join(d, 'model.dbf'), encoding='cp1251', load=True).records[0]
print(m['UID'], m['FNAME'], m['GRPID'], repr(m['GRPNAME']), m['NSP'])
for r in DBF(os.path.join(d, 'lines.dbf'), load=True).records:
    print(r['TBLNAME'], r['NEXTUID'])
)");
  EXPECT_EQ(out,
            "1000 ООО Ромашка True False False -1 -2 -3\n"
            "1000 Сидоров True\n"
            "1000 Saw None '' True\n"
            "Firm.dbf 1001\n"
            "PEOPLE.DBF 1001\n"
            "MODEL.DBF 1001\n");
}

}  // namespace
}  // namespace ks
