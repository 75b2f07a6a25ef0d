#include "db/engine/cb_table_set.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "common/byte_order.h"
#include "common/codepage.h"
#include "common/file.h"
#include "common/testing/failure_message.h"
#include "db/engine/testing/table_directory.h"

namespace ks {
namespace {

using testing::FailureMessage;
using testing::TableDirectory;

// The stored text of a field of the table's current record.
std::string Stored(TCBTableSet& set, const char* name) {
  Field4* field = d4field(set.Table().DataHandle(), name);
  return std::string(f4str(field), f4len(field));
}

std::vector<std::string> Names(TCBTableSet& set) {
  std::vector<std::string> names;
  for (set.First(); !set.Eof(); set.Next()) names.push_back(set.FieldByName("NAME").AsString());
  return names;
}

class TableSetTest : public TableDirectory {
 protected:
  void SetUp() override {
    TableDirectory::SetUp();
    CreatePeople();
    set_ = NewPeople();
    set_->Open();
  }
  void TearDown() override {
    set_.reset();
    TableDirectory::TearDown();
  }
  std::unique_ptr<TCBTableSet> set_;
};

TEST_F(TableSetTest, EmptyTableAndBlankRecord) {
  EXPECT_TRUE(set_->IsEmpty());
  EXPECT_TRUE(set_->Bof() && set_->Eof());
  EXPECT_EQ(set_->RecNo(), 0);
  set_->Next();
  set_->Last();
  EXPECT_TRUE(set_->IsEmpty());
  // The isLocked definition made no column, but the set offers the field.
  EXPECT_EQ(set_->Table().FieldCount(), 6);
  EXPECT_NE(set_->FindField("ISLOCKED"), nullptr);

  set_->Append();
  EXPECT_TRUE(set_->FieldByName("isLocked").IsNull());
  set_->Post();
  EXPECT_EQ(set_->RecNo(), 1);
  int32_t bookmark = 0;
  std::memcpy(&bookmark, set_->GetBookmark().data(), 4);
  EXPECT_EQ(bookmark, 1);
  for (const char* name : {"UID", "NAME", "PRICE", "BORN", "OK"}) {
    EXPECT_TRUE(set_->FieldByName(name).IsNull() || set_->FieldByName(name).AsString().empty())
        << name;
    EXPECT_EQ(Stored(*set_, name).find_first_not_of(' '), std::string::npos) << name;
  }
  EXPECT_EQ(set_->FieldByName("NOTE").AsString(), "");
  EXPECT_FALSE(set_->FieldByName("isLocked").AsBoolean());
  EXPECT_THROW(set_->FieldByName("NOSUCH"), EDatabaseError);
  EXPECT_EQ(set_->Lookup("UID", 1, "NAME"), Variant());
}

TEST_F(TableSetTest, StoredFormsOfEveryType) {
  set_->Append();
  set_->FieldByName("UID").SetAsInteger(-2147483647 - 1);
  set_->FieldByName("NAME").SetAsString("Ufa");
  set_->FieldByName("PRICE").SetAsFloat(-12.5);
  DateTime march;
  ASSERT_TRUE(TryEncodeDate(2002, 3, 1, march));
  set_->FieldByName("BORN").SetAsDateTime(march);
  set_->FieldByName("OK").SetAsBoolean(true);
  set_->Post();
  EXPECT_EQ(Stored(*set_, "UID"), "-2147483648");
  EXPECT_EQ(Stored(*set_, "NAME"), "Ufa" + std::string(17, ' '));
  EXPECT_EQ(Stored(*set_, "PRICE"), std::string(9, ' ') + "-12.500000");
  EXPECT_EQ(Stored(*set_, "BORN"), "20020301");
  EXPECT_EQ(Stored(*set_, "OK"), "T");
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Ufa");
  EXPECT_EQ(set_->FieldByName("BORN").AsDateTime(), march);
  EXPECT_DOUBLE_EQ(set_->FieldByName("PRICE").AsFloat(), -12.5);

  set_->Edit();
  set_->FieldByName("UID").SetAsInteger(7);
  set_->FieldByName("PRICE").SetAsFloat(0.0000004);
  set_->FieldByName("OK").Clear();
  set_->Post();
  EXPECT_EQ(Stored(*set_, "UID"), std::string(10, ' ') + "7");
  EXPECT_EQ(Stored(*set_, "PRICE"), std::string(11, ' ') + "0.000000");
  EXPECT_TRUE(set_->FieldByName("OK").IsNull());

  // Too large for 19 characters: the overflow mark, read back as no value.
  set_->Edit();
  set_->FieldByName("PRICE").SetAsFloat(1e15);
  set_->Post();
  EXPECT_EQ(Stored(*set_, "PRICE"), std::string(19, '*'));
  EXPECT_TRUE(set_->FieldByName("PRICE").IsNull());
}

TEST_F(TableSetTest, WrongTypesAndStatesAreRefused) {
  FillPeople(*set_, {"Moscow"});
  EXPECT_THROW(set_->FieldByName("NAME").SetAsString("x"), Exception);  // browse state
  try {
    set_->FieldByName("NAME").SetAsString("x");
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "cbtPeople is not in an edit/appending state.");
  }
  set_->Edit();
  set_->FieldByName("UID").SetAsString("12");
  set_->Cancel();
  EXPECT_EQ(set_->FieldByName("UID").AsInteger(), 1);
  set_->Close();

  // A field declared with a type its column cannot hold (a mistake in a data module) is
  // refused when the set opens, by name; a date-and-time field may stand for a date column.
  const std::pair<const char*, TFieldType> wrong_bindings[] = {
      {"BORN", ftString}, {"NAME", ftInteger}, {"NAME", ftFloat}, {"PRICE", ftInteger},
      {"OK", ftString},   {"UID", ftDate},     {"NOTE", ftString}};
  for (const auto& [column, declared] : wrong_bindings) {
    auto wrong = NewPeople();
    wrong->AddField(column, declared, declared == ftString ? 8 : 0);
    EXPECT_EQ(FailureMessage<EDatabaseError>([&] { wrong->Open(); }),
              std::string("cbtPeople: Type mismatch for field '") + column + "'");
    EXPECT_FALSE(wrong->Active()) << column;
  }
  auto born = NewPeople();
  born->AddField("BORN", ftDateTime);
  born->Open();
  born->Edit();
  born->FieldByName("BORN").SetAsDateTime(DateTime{37000.75});
  born->Post();
  EXPECT_EQ(Stored(*born, "BORN"), "20010419");
}

TEST_F(TableSetTest, AnUnreadableStoredValueNamesItsFieldAndCause) {
  FillPeople(*set_, {"Moscow"});
  set_->Close();
  // An integer column holding a number past 32 bits, as another program could leave it.
  {
    File file;
    ASSERT_TRUE(file.Open(dir_ + "people.dbf", File::Mode::kReadWrite));
    uint8_t head[12];
    ASSERT_TRUE(file.ReadExactAt(0, head, sizeof head));
    ASSERT_TRUE(file.WriteAt(GetLe16(head + 8) + 1, "99999999999", 11));
  }
  set_->Open();
  EXPECT_EQ(FailureMessage<Exception>([&] { (void)set_->FieldByName("UID").AsInteger(); }),
            "Database corruption detected. UID: the integer 99999999999 is out of range");
}

class DeclaredFieldsTest : public TableDirectory {};

TEST_F(DeclaredFieldsTest, DeclaredFieldsBindAndCalculatedFieldsCompute) {
  CreatePeople();
  auto set = NewPeople();
  set->AddField("UID", ftInteger, 0, "Id");
  set->AddField("NAME", ftString, 20, "Name");
  set->AddField("isLocked", ftBoolean);
  TField* label = set->AddField("LABEL", ftString, 30, "", true, fkCalculated);
  set->OnCalcFields = [](TDataSet& d) {
    d.FieldByName("LABEL").SetAsString(d.FieldByName("NAME").AsString() + "!");
  };
  set->Open();
  FillPeople(*set, {"Orel"});
  EXPECT_EQ(label->AsString(), "Orel!");
  EXPECT_EQ(set->FieldByName("UID").DisplayLabel(), "Id");
  EXPECT_EQ(set->FindField("PRICE"), nullptr);  // not declared, not offered
  set->Close();

  auto wrong = NewPeople();
  wrong->AddField("NAME", ftDate);
  EXPECT_THROW(wrong->Open(), EDatabaseError);
  EXPECT_FALSE(wrong->Active());
  EXPECT_FALSE(wrong->Table().IsOpen());
}

TEST_F(DeclaredFieldsTest, DateTimeFieldWritesTheDatePart) {
  CreatePeople();
  auto set = NewPeople();
  set->AddField("UID", ftInteger);
  set->AddField("NAME", ftString, 20);
  set->AddField("BORN", ftDateTime);
  set->Open();
  FillPeople(*set, {"Kursk"});
  set->Edit();
  set->FieldByName("BORN").SetAsDateTime(DateTime{37316.9999999999});  // rounds to the next day
  set->Post();
  EXPECT_EQ(set->Table().GetFieldString("BORN"), "20020302");
  EXPECT_EQ(set->FieldByName("BORN").AsDateTime().value, 37317);
}

TEST_F(TableSetTest, MovementOverAscendingAndDescendingTags) {
  FillPeople(*set_, {"Bryansk", "Azov", "Chita", "Abakan"});
  EXPECT_EQ(Names(*set_), (std::vector<std::string>{"Bryansk", "Azov", "Chita", "Abakan"}));
  set_->SetIndexName("iname");
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Abakan");  // first of the new order
  EXPECT_EQ(Names(*set_), (std::vector<std::string>{"Abakan", "Azov", "Bryansk", "Chita"}));
  set_->SetIndexName("DNAME");
  EXPECT_EQ(Names(*set_), (std::vector<std::string>{"Chita", "Bryansk", "Azov", "Abakan"}));
  set_->Last();
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Abakan");
  set_->Next();
  EXPECT_TRUE(set_->Eof());
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Abakan");
  set_->First();
  set_->Prior();
  EXPECT_TRUE(set_->Bof());
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Chita");
  EXPECT_EQ(set_->MoveBy(2), 2);
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Azov");
  EXPECT_EQ(set_->RecNo(), 2);  // the physical record number

  auto& defs = set_->UpdateIndexDefs();
  ASSERT_EQ(defs.Count(), 4);
  EXPECT_EQ(defs[1].Name, "INAME");
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Azov");
}

TEST_F(TableSetTest, RangesCompareLeadingCharactersBothWays) {
  FillPeople(*set_, {"ABC", "ABX", "AC", "AB", "B"});
  TCBTable& table = set_->Table();
  table.SetIndexName("INAME");
  table.SetRange("AB", "AB");
  std::vector<long> seen;
  for (table.First(); !table.Eof(); table.Next()) seen.push_back(table.RecNo());
  EXPECT_EQ(seen, (std::vector<long>{4, 1, 2}));
  table.Last();
  EXPECT_EQ(table.RecNo(), 2);
  table.Next();
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.RecNo(), 2);

  table.SetIndexName("DNAME");
  table.SetRange("AC", "AB");  // descending: from the larger key down to the smaller
  seen.clear();
  for (table.First(); !table.Eof(); table.Next()) seen.push_back(table.RecNo());
  EXPECT_EQ(seen, (std::vector<long>{3, 2, 1, 4}));
  table.Last();
  EXPECT_EQ(table.RecNo(), 4);

  table.SetIndexName("IUID");
  table.SetRange("         2", "         3");
  seen.clear();
  for (table.First(); !table.Eof(); table.Next()) seen.push_back(table.RecNo());
  EXPECT_EQ(seen, (std::vector<long>{2, 3}));
}

TEST_F(TableSetTest, FiltersAndDeletedRecords) {
  FillPeople(*set_, {"Tver", "Tula", "Omsk", "Tomsk"});
  set_->SetFilter("LEFT(NAME,1)='T'");
  EXPECT_EQ(set_->RecordCount(), 4);
  EXPECT_EQ(Names(*set_).size(), 4u);  // not yet in force
  set_->SetFiltered(true);
  EXPECT_EQ(Names(*set_), (std::vector<std::string>{"Tver", "Tula", "Tomsk"}));

  set_->OnFilterRecord = [](TDataSet& d, bool& accept) {
    accept = d.FieldByName("NAME").AsString() != "Tula";
  };
  set_->First();
  EXPECT_EQ(Names(*set_), (std::vector<std::string>{"Tver", "Tomsk"}));
  set_->OnFilterRecord = [](TDataSet&, bool&) { throw Exception("boom"); };
  set_->First();
  EXPECT_TRUE(set_->IsEmpty());  // a failing handler rejects
  set_->OnFilterRecord = nullptr;

  // A filter that parses but cannot be evaluated to true or false is a failure, not a
  // filter that rejects every record.
  EXPECT_THROW(set_->SetFilter("NAME"), ECBEngineError);
  set_->SetFilter("LEFT(NAME,1)='T'");

  // A posted record that no longer passes moves the set to the next accepted one.
  set_->First();
  set_->Edit();
  set_->FieldByName("NAME").SetAsString("Vologda");
  set_->Post();
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Tula");
  // At the end: to the previous one.
  set_->Last();
  set_->Edit();
  set_->FieldByName("NAME").SetAsString("Kazan");
  set_->Post();
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Tula");

  // Deleting the last accepted record leaves the previous one, then nothing.
  set_->Delete();
  EXPECT_TRUE(set_->IsEmpty());
  set_->SetFiltered(false);
  EXPECT_EQ(Names(*set_), (std::vector<std::string>{"Vologda", "Omsk", "Kazan"}));
  set_->Last();
  set_->Delete();
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Omsk");
  EXPECT_EQ(set_->RecordCount(), 4);  // deleted records stay in the file
}

TEST_F(TableSetTest, SeekKeyAndFindKeySkipRecordsNotAccepted) {
  FillPeople(*set_, {"Vyborg", "Luga", "Luga"});
  set_->SetIndexName("IUID");
  EXPECT_TRUE(set_->SeekKey("         2"));
  EXPECT_EQ(set_->FieldByName("UID").AsInteger(), 2);
  EXPECT_FALSE(set_->SeekKey("        99"));
  EXPECT_EQ(set_->FieldByName("UID").AsInteger(), 2);

  set_->SetIndexName("INAME");
  set_->Last();
  EXPECT_TRUE(set_->SeekKey("LUGA"));
  const int first = set_->RecNo();
  set_->Delete();
  EXPECT_TRUE(set_->SeekKey("LUGA"));
  EXPECT_NE(set_->RecNo(), first);
  set_->Delete();
  set_->First();
  const int before = set_->RecNo();
  EXPECT_FALSE(set_->SeekKey("LUGA"));  // every match deleted
  EXPECT_EQ(set_->RecNo(), before);
}

TEST_F(TableSetTest, LocateOptions) {
  FillPeople(*set_, {"Penza", "Perm", "Pskov", "Perm"});
  EXPECT_TRUE(set_->Locate("NAME", "perm", loCaseInsensitive));
  EXPECT_EQ(set_->RecNo(), 4);  // the current record matches: no move
  set_->First();
  EXPECT_TRUE(set_->Locate("NAME", "perm", loCaseInsensitive));
  EXPECT_EQ(set_->RecNo(), 2);
  EXPECT_FALSE(set_->Locate("NAME", "perm", 0));
  EXPECT_TRUE(set_->Locate("NAME", "Ps", loPartialKey));
  EXPECT_EQ(set_->RecNo(), 3);
  EXPECT_TRUE(set_->Locate("NAME;UID", Variant::Array{"Perm", 4}, 0));
  EXPECT_EQ(set_->RecNo(), 4);
  // Already on a match: no move. After and before the current record.
  EXPECT_TRUE(set_->LocateByOptions("NAME", "Perm", 0));
  EXPECT_EQ(set_->RecNo(), 4);
  EXPECT_TRUE(set_->LocateByOptions("NAME", "Perm", 8));
  EXPECT_EQ(set_->RecNo(), 2);
  EXPECT_FALSE(set_->LocateByOptions("NAME", "Perm", 8));
  EXPECT_EQ(set_->RecNo(), 2);
  set_->First();
  EXPECT_TRUE(set_->LocateByOptions("NAME", "Perm", 4));  // from a record that does not match
  EXPECT_EQ(set_->RecNo(), 2);
  // Unknown field, short value list: no match, no exception.
  EXPECT_FALSE(set_->Locate("TOWN", "Perm", 0));
  EXPECT_FALSE(set_->Locate("NAME;UID", Variant::Array{"Perm"}, 0));
  // The filter text counts even while not in force.
  set_->SetFilter("UID>3");
  EXPECT_TRUE(set_->Locate("NAME", "Perm", 0));
  EXPECT_EQ(set_->RecNo(), 4);
  EXPECT_FALSE(set_->Locate("NAME", "Penza", 0));

  set_->SetFilter("");
  EXPECT_TRUE(set_->FindFirst());
  EXPECT_EQ(set_->RecNo(), 1);
  EXPECT_TRUE(set_->FindNext());
  EXPECT_TRUE(set_->FindLast());
  EXPECT_EQ(set_->RecNo(), 4);
  EXPECT_FALSE(set_->FindNext());
  EXPECT_FALSE(set_->Found());
  // A value with an apostrophe is found like any other.
  FillPeople(*set_, {"O'Hara"});
  set_->First();
  EXPECT_TRUE(set_->Locate("NAME", "o'hara", loCaseInsensitive));
  EXPECT_EQ(set_->RecNo(), 5);
}

TEST_F(TableSetTest, AppendInsertAndCancelPositions) {
  FillPeople(*set_, {"Ryazan", "Samara", "Tambov"});
  set_->First();
  set_->Next();
  set_->Insert();
  set_->FieldByName("NAME").SetAsString("Ufa");
  EXPECT_EQ(set_->RecNo(), -1);
  set_->Cancel();
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Samara");
  set_->First();
  set_->Append();
  set_->Cancel();
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Tambov");
  EXPECT_EQ(set_->RecordCount(), 3);

  set_->First();
  set_->Insert();
  set_->FieldByName("NAME").SetAsString("Ufa");
  set_->Post();
  EXPECT_EQ(set_->RecNo(), 4);
  EXPECT_EQ(set_->FieldByName("NAME").AsString(), "Ufa");

  // Events fire in order; OnNewRecord may fill fields.
  std::vector<std::string> events;
  set_->BeforeAppend = [&](TDataSet&) { events.push_back("before"); };
  set_->OnNewRecord = [&](TDataSet& d) {
    events.push_back("new");
    d.FieldByName("UID").SetAsInteger(99);
  };
  set_->AfterAppend = [&](TDataSet&) { events.push_back("after"); };
  set_->BeforePost = [&](TDataSet&) { events.push_back("post"); };
  set_->Append();
  set_->Post();
  EXPECT_EQ(events, (std::vector<std::string>{"before", "new", "after", "post"}));
  EXPECT_EQ(set_->FieldByName("UID").AsInteger(), 99);
}

TEST_F(TableSetTest, FailedPostsLeaveNoHalfRecord) {
  FillPeople(*set_, {"Kaluga"});
  set_->FieldByName("UID").SetRequired(true);
  set_->Append();
  set_->FieldByName("NAME").SetAsString("Nameless");
  EXPECT_EQ(FailureMessage<EDatabaseError>([&] { set_->Post(); }), "Field 'UID' must have a value");
  EXPECT_EQ(set_->State(), dsInsert);
  set_->Cancel();
  EXPECT_EQ(set_->RecordCount(), 1);
  set_->FieldByName("UID").SetRequired(false);

  // The disk refuses the memo of the new record.
  SetFileFaultHook([](const std::string& path, bool is_write, uint64_t, size_t size) -> int64_t {
    return is_write && path.find("people.fpt") != std::string::npos ? -1 : int64_t(size);
  });
  set_->Append();
  set_->FieldByName("NAME").SetAsString("Lost");
  set_->FieldByName("NOTE").SetAsString(std::string(2 << 20, 'x'));
  EXPECT_THROW(set_->Post(), Exception);
  SetFileFaultHook(nullptr);
  set_->Cancel();
  set_->Close();
  set_->Open();
  EXPECT_EQ(Names(*set_), (std::vector<std::string>{"Kaluga"}));
}

TEST_F(TableSetTest, MemoStreams) {
  FillPeople(*set_, {"Kirov"});
  TField& note = set_->FieldByName("NOTE");
  const std::string cyrillic = W("Привет, мир! Ёлка\r\n");
  set_->Edit();
  note.SetAsString(cyrillic);
  set_->Post();
  // Stored in the OEM code page, read back unchanged (trailing line end included).
  EXPECT_EQ(set_->Table().GetFieldString("NOTE"), AnsiToOem(W("Привет, мир! Ёлка")));
  EXPECT_EQ(note.AsString(), cyrillic);

  // A read-write stream writing fewer bytes at 0 keeps the rest, less its trailing blanks.
  set_->Edit();
  {
    auto stream = set_->CreateBlobStream(note, bmReadWrite);
    EXPECT_EQ(stream->Write("AB", 2), 2);
    EXPECT_EQ(stream->Size(), int64_t(cyrillic.size()) - 2);
  }
  set_->Post();
  EXPECT_EQ(note.AsString(), "AB" + W("ивет, мир! Ёлка"));

  // Truncate, then write in pieces, overwrite in the middle, seek and partial reads.
  set_->Edit();
  {
    auto stream = set_->CreateBlobStream(note, bmWrite);
    EXPECT_EQ(stream->Size(), 0);
    stream->Write("hello ", 6);
    stream->Write("world", 5);
    stream->Seek(2, soBeginning);
    stream->Write("LL", 2);
    EXPECT_EQ(stream->Seek(0, soEnd), 11);
    stream->Seek(-5, soEnd);
    char part[8] = {};
    EXPECT_EQ(stream->Read(part, 100), 5);
    EXPECT_STREQ(part, "world");
    EXPECT_EQ(stream->Read(part, 1), 0);  // nothing past the end
  }
  EXPECT_EQ(note.AsString(), "heLLo world");
  set_->Cancel();
  EXPECT_EQ(note.AsString(), "AB" + W("ивет, мир! Ёлка"));

  // A validation failure restores the memo as it was.
  set_->Edit();
  note.OnValidate = [](TField& f) {
    if (f.AsString().find("bad") != std::string::npos) throw Exception("refused");
  };
  EXPECT_THROW(note.SetAsString("bad"), Exception);
  note.OnValidate = nullptr;
  EXPECT_EQ(note.AsString(), "");  // the truncation itself stands
  set_->Cancel();
  EXPECT_THROW(set_->MemoData("NAME"), Exception);
  try {
    set_->MemoData("nothere");
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Field: NOTHERE not found.");
  }
}

TEST_F(TableSetTest, MemoCodePageRoundTripLosesOnlyCharactersMissingFromTheOemPage) {
  FillPeople(*set_, {"Tomsk"});
  std::string all;
  for (int b = 0x20; b < 0x100; ++b) all += static_cast<char>(b);
  set_->Edit();
  set_->FieldByName("NOTE").SetAsString(all);
  set_->Post();
  set_->Close();
  set_->Open();
  const std::string back = set_->FieldByName("NOTE").AsString();
  ASSERT_EQ(back.size(), all.size());
  std::string lost;
  for (size_t i = 0; i < all.size(); ++i) {
    if (back[i] != all[i]) {
      EXPECT_EQ(back[i], '?');
      lost += all[i];
    }
  }
  // Everything but the punctuation, symbols and non-Russian Cyrillic letters of
  // 0x80-0xBF survives: all of ASCII, А-я, Ё, ё, №, °, ·, Ў, ў, Є, є, Ї, ї, ¤ and the no-break space.
  std::string expected;
  for (int b = 0x80; b < 0xA0; ++b) expected += static_cast<char>(b);
  for (int b : {0xA3, 0xA5, 0xA6, 0xA7, 0xA9, 0xAB, 0xAC, 0xAD, 0xAE, 0xB1, 0xB2, 0xB3, 0xB4,
                0xB5, 0xB6, 0xBB, 0xBC, 0xBD, 0xBE})
    expected += static_cast<char>(b);
  EXPECT_EQ(lost, expected);
}

TEST_F(TableSetTest, SecondProcessSeesTheEditLock) {
  FillPeople(*set_, {"Ivanovo", "Kostroma"});
  engine_.Tick();  // appended records reach the file
  set_->First();
  set_->Edit();

  const std::string link = dir_.substr(0, dir_.size() - 1) + "_link";
  std::filesystem::create_directory_symlink(dir_, link);
  auto probe = [&]() -> int {
    // A child process with its own engine and its own open of the file.
    const pid_t pid = fork();
    if (pid == 0) {
      // The child inherits this process's component lists; through another path to the
      // same directory its table is not one of them.
      TCBEngine engine;
      TCBDataBase database;
      database.SetCBEngine(&engine);
      database.SetDataPath(link);
      TCBTableSet other;
      other.SetDataBaseName(&database);
      other.SetTableName("PEOPLE.DBF");
      other.Open();
      const bool first = other.FieldByName("isLocked").AsBoolean();
      other.Next();
      const bool second = other.FieldByName("isLocked").AsBoolean();
      _exit((first ? 1 : 0) | (second ? 2 : 0));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(probe(), 1);  // the edited record only
  // This process does not see its own lock.
  EXPECT_FALSE(set_->FieldByName("isLocked").AsBoolean());
  set_->FieldByName("NAME").SetAsString("Yaroslavl");
  set_->Post();
  EXPECT_EQ(probe(), 0);
  set_->Edit();
  EXPECT_EQ(probe(), 1);
  set_->Cancel();
  EXPECT_EQ(probe(), 0);
  std::filesystem::remove(link);
}

TEST_F(TableSetTest, ListenersHearOfDeletedAndEditedRecords) {
  struct Listener : IDBCtrs {
    std::string path;
    int recno = 0;
    std::vector<std::string> heard;
    std::string TablePath() override { return path; }
    int RecordNumber() override { return recno; }
    void RecordDeleted() override { heard.push_back("deleted"); }
    void RecordChanged() override { heard.push_back("changed"); }
  } listener;
  listener.path = dir_ + "people.dbf";
  listener.recno = 2;
  TCBCtrlsEnv::Instance().Add(&listener);
  FillPeople(*set_, {"Anapa", "Belgorod", "Chita"});  // appends are not edits
  set_->First();
  set_->Edit();
  set_->Post();  // record 1: not ours
  set_->Next();
  set_->Edit();
  set_->FieldByName("NAME").SetAsString("Bryansk");
  set_->Post();
  EXPECT_FALSE(set_->EditInProgress());
  set_->Delete();
  TCBCtrlsEnv::Instance().Remove(&listener);
  EXPECT_EQ(listener.heard, (std::vector<std::string>{"changed", "deleted"}));
}

TEST_F(TableSetTest, PropertiesWhileActiveAndClosingUnderneath) {
  EXPECT_THROW(set_->SetTableName("OTHER.DBF"), Exception);
  set_->SetTableName("PEOPLE.DBF");  // the current value is accepted
  database_.SetDataPath(dir_ + "x");  // closes the tables, and with them the set
  EXPECT_FALSE(set_->Active());
  EXPECT_EQ(database_.OpenTables().size(), 0u);
}

}  // namespace
}  // namespace ks
