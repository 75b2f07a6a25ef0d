// Files written through the table set, read back by an independent reader (Debian's
// python3-dbfread): field texts, numbers, dates, logicals, deleted marks and OEM memos.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "common/codepage.h"
#include "common/testing/run_command.h"
#include "db/engine/testing/table_directory.h"

namespace ks {
namespace {

using testing::RunCommand;

class InteropTest : public testing::TableDirectory {};

TEST_F(InteropTest, IndependentReaderSeesWhatTheTableSetWrote) {
  if (!std::filesystem::exists("/usr/bin/python3")) GTEST_SKIP() << "no python3";
  CreatePeople();
  {
    auto set = NewPeople();
    set->Open();
    set->Append();
    set->FieldByName("UID").SetAsInteger(-42);
    set->FieldByName("NAME").SetAsString(W("Москва"));
    set->FieldByName("PRICE").SetAsFloat(1234.5);
    DateTime date;
    ASSERT_TRUE(TryEncodeDate(2002, 3, 1, date));
    set->FieldByName("BORN").SetAsDateTime(date);
    set->FieldByName("OK").SetAsBoolean(true);
    set->FieldByName("NOTE").SetAsString(W("Ёлка №5\r\nвторая строка"));
    set->Post();
    set->Append();
    set->FieldByName("UID").SetAsInteger(7);
    set->Post();
    set->Append();
    set->FieldByName("UID").SetAsInteger(8);
    set->Post();
    set->Delete();
    set->Close();
  }
  const std::string script = dir_ + "read.py";
  std::ofstream(script) << R"(import sys
from dbfread import DBF
t = DBF(sys.argv[1], encoding='latin-1', load=True)
def text(v, page):
    return '' if v is None else v.encode('latin-1').decode(page)
for r in t.records:
    print('|'.join([str(r['UID']), text(r['NAME'], 'cp1251'), str(r['PRICE']),
                    str(r['BORN']), str(r['OK']), text(r['NOTE'], 'cp866').replace('\r\n', '/')]))
print('deleted', len(t.deleted))
)";
  const std::string out = RunCommand("/usr/bin/python3 " + script + " " + dir_ + "people.dbf 2>&1");
  EXPECT_EQ(out, "-42|Москва|1234.5|2002-03-01|True|Ёлка №5/вторая строка\n"
                 "7||None|None|None|\n"
                 "deleted 1\n");
}

}  // namespace
}  // namespace ks
