// The framework's own behaviour, over the smallest storage a test needs: records of one
// integer and one text held in a vector.

#include "common/testing/failure_message.h"
#include "db/engine/dataset/dataset.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ks {
namespace {

struct Row {
  bool has_id = false;
  int32_t id = 0;
  std::string name;
};

// Buffer: has-id byte, id, name (31 + terminator), calculated area, then the row index.
class VectorDataSet : public TDataSet {
 public:
  VectorDataSet() : TDataSet("vds") {}
  ~VectorDataSet() override { Close(); }
  std::vector<Row> rows;
  int fail_posts = 0;

  bool GetFieldData(TField& field, void* buffer) override {
    char* record = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
    if (record == nullptr || (State() == dsBrowse && IsEmpty())) return false;
    if (field.FieldNo() < 0) {
      char* slot = record + kCalc + field.Offset();
      if (slot[0] && buffer) std::memcpy(buffer, slot + 1, field.DataSize());
      return slot[0] != 0;
    }
    if (field.FieldNo() == 1) {
      if (!record[0]) return false;
      if (buffer) std::memcpy(buffer, record + 1, 4);
      return true;
    }
    if (buffer) std::strcpy(static_cast<char*>(buffer), record + 5);
    return true;
  }
  void SetFieldData(TField& field, const void* buffer) override {
    if (State() != dsEdit && State() != dsInsert && State() != dsCalcFields)
      throw Exception("vds is not in an edit/appending state.");
    char* record = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
    if (field.FieldNo() < 0) {
      char* slot = record + kCalc + field.Offset();
      slot[0] = buffer != nullptr;
      if (buffer) std::memcpy(slot + 1, buffer, field.DataSize());
      return;
    }
    field.Validate(buffer);
    if (field.FieldNo() == 1) {
      record[0] = buffer != nullptr;
      if (buffer) std::memcpy(record + 1, buffer, 4);
    } else {
      std::strncpy(record + 5, buffer ? static_cast<const char*>(buffer) : "", 31);
    }
    SetModified(true);
    FieldChanged(field);
  }
  std::unique_ptr<TStream> CreateBlobStream(TField&, TBlobStreamMode) override { return nullptr; }

 protected:
  static constexpr int kCalc = 37;
  void InternalOpen() override {
    FieldDefs().Clear();
    FieldDefs().Add("ID", ftInteger);
    FieldDefs().Add("NAME", ftString, 30);
    if (Fields().empty()) CreateFields();
    BindFields(true);
    open_ = true;
  }
  void InternalClose() override {
    BindFields(false);
    DestroyDefaultFields();
    open_ = false;
  }
  bool IsCursorOpen() const override { return open_; }
  int RecordBufferSize() override { return kCalc + CalcFieldsSize() + 4; }
  TGetResult GetRecord(char* buffer, TGetMode mode) override {
    if (mode == gmNext) ++cursor_;
    if (mode == gmPrior) --cursor_;
    if (cursor_ < 0) { cursor_ = -1; return grBOF; }
    if (cursor_ >= static_cast<int>(rows.size())) { cursor_ = static_cast<int>(rows.size()); return grEOF; }
    const Row& row = rows[cursor_];
    buffer[0] = row.has_id;
    std::memcpy(buffer + 1, &row.id, 4);
    std::strncpy(buffer + 5, row.name.c_str(), 31);
    std::memcpy(buffer + RecordBufferSize() - 4, &cursor_, 4);
    GetCalcFields(buffer);
    return grOK;
  }
  void InternalFirst() override { cursor_ = -1; }
  void InternalLast() override { cursor_ = static_cast<int>(rows.size()); }
  void InternalInitRecord(char* buffer) override { std::memset(buffer, 0, kCalc); }
  void InternalInsert() override { inserting_ = true; }
  void InternalPost() override {
    if (fail_posts > 0) {
      --fail_posts;
      throw Exception("disk full");
    }
    char* b = ActiveBuffer();
    Row row{b[0] != 0, 0, b + 5};
    std::memcpy(&row.id, b + 1, 4);
    if (inserting_) {
      rows.push_back(row);
      cursor_ = static_cast<int>(rows.size()) - 1;
    } else {
      rows[cursor_] = row;
    }
    inserting_ = false;
  }
  void InternalCancel() override {
    inserting_ = false;
    if (cursor_ >= static_cast<int>(rows.size())) cursor_ = static_cast<int>(rows.size()) - 1;
  }
  void InternalDelete() override {
    rows.erase(rows.begin() + cursor_);
    if (cursor_ >= static_cast<int>(rows.size())) cursor_ = static_cast<int>(rows.size()) - 1;
  }
  void InternalSetToRecord(char* buffer) override {
    std::memcpy(&cursor_, buffer + RecordBufferSize() - 4, 4);
  }
  void InternalGotoBookmark(const TBookmark& b) override { std::memcpy(&cursor_, b.data(), 4); }
  TBookmark GetBookmarkData(const char* buffer) override {
    return TBookmark(buffer + RecordBufferSize() - 4, 4);
  }
  void ClearCalcFields(char* buffer) override { std::memset(buffer + kCalc, 0, CalcFieldsSize()); }
  void SetBookmarkFlag(char*, TBookmarkFlag) override {}
  TBookmarkFlag GetBookmarkFlag(const char*) override { return bfCurrent; }

 private:
  bool open_ = false;
  bool inserting_ = false;
  int cursor_ = -1;
};

class DataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds.rows = {{true, 1, "one"}, {true, 2, "two"}, {false, 0, "three"}};
  }
  VectorDataSet ds;
};

TEST_F(DataSetTest, NavigationAndBookmarks) {
  EXPECT_THROW(ds.First(), EDatabaseError);  // closed
  ds.Open();
  EXPECT_TRUE(ds.Bof());
  EXPECT_EQ(ds.FieldByName("id").AsInteger(), 1);
  EXPECT_EQ(ds.MoveBy(5), 2);
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.FieldByName("ID").IsNull());
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "three");
  const TBookmark mark = ds.GetBookmark();
  ds.First();
  ds.GotoBookmark(mark);
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "three");
  EXPECT_EQ(ds.MoveBy(-1), -1);
  EXPECT_EQ(ds.FieldByName("ID").AsVariant(), Variant(2));
  EXPECT_EQ(testing::FailureMessage<EDatabaseError>([&] { ds.FieldByName("PRICE"); }),
            "vds: Field 'PRICE' not found");
}

TEST_F(DataSetTest, EventsInOrderAndModifiedFlag) {
  std::vector<std::string> log;
  auto note = [&](const char* what) { return [&log, what](TDataSet&) { log.push_back(what); }; };
  ds.BeforeOpen = note("before-open");
  ds.AfterOpen = note("after-open");
  ds.BeforeInsert = note("before-insert");
  ds.OnNewRecord = note("new");
  ds.AfterInsert = note("after-insert");
  ds.BeforePost = note("before-post");
  ds.AfterPost = note("after-post");
  ds.BeforeEdit = note("before-edit");
  ds.AfterEdit = note("after-edit");
  ds.BeforeCancel = note("before-cancel");
  ds.AfterCancel = note("after-cancel");
  ds.Open();
  ds.Append();
  EXPECT_FALSE(ds.Modified());
  ds.FieldByName("ID").SetAsInteger(4);
  EXPECT_TRUE(ds.Modified());
  ds.Post();
  ds.Edit();
  ds.Cancel();
  // Moving away from an unmodified edit cancels it; from a modified one posts it.
  ds.Edit();
  ds.First();
  ds.Edit();
  ds.FieldByName("NAME").SetAsString("uno");
  ds.Next();
  EXPECT_EQ(ds.rows[0].name, "uno");
  EXPECT_EQ(log, (std::vector<std::string>{
                     "before-open", "after-open", "before-insert", "new", "after-insert",
                     "before-post", "after-post", "before-edit", "after-edit", "before-cancel",
                     "after-cancel", "before-edit", "after-edit", "before-cancel", "after-cancel",
                     "before-edit", "after-edit", "before-post", "after-post"}));
}

TEST_F(DataSetTest, ValidationSeesTheNewValueAndMayRefuseIt) {
  ds.Open();
  TField& id = ds.FieldByName("ID");
  int changes = 0;
  id.OnChange = [&](TField&) { ++changes; };
  id.OnValidate = [](TField& f) {
    if (f.AsInteger() < 0) throw Exception("negative");
  };
  ds.Edit();
  id.SetAsInteger(10);
  EXPECT_THROW(id.SetAsInteger(-1), Exception);
  EXPECT_EQ(id.AsInteger(), 10);
  EXPECT_EQ(changes, 1);
  id.SetAsString(" 12 ");
  EXPECT_EQ(id.AsInteger(), 12);
  EXPECT_THROW(id.SetAsString("twelve"), EDatabaseError);
  id.SetAsString("");
  EXPECT_TRUE(id.IsNull());
  ds.Post();
  EXPECT_FALSE(ds.rows[0].has_id);
}

TEST_F(DataSetTest, FailedPostKeepsEditStateAndErrorEventDecides) {
  ds.Open();
  ds.Edit();
  ds.FieldByName("NAME").SetAsString("x");
  ds.fail_posts = 1;
  EXPECT_THROW(ds.Post(), Exception);
  EXPECT_EQ(ds.State(), dsEdit);
  ds.fail_posts = 2;
  int calls = 0;
  ds.OnPostError = [&](TDataSet&, const std::exception&, TDataAction& action) {
    ++calls;
    action = daRetry;
  };
  ds.Post();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(ds.rows[0].name, "x");
}

TEST_F(DataSetTest, CalculatedFieldsAndDeclaredFields) {
  TField* id = ds.AddField("ID", ftInteger, 0, "Number");
  TField* twice = ds.AddField("TWICE", ftInteger, 0, "", false, fkCalculated);
  ds.OnCalcFields = [](TDataSet& d) {
    if (!d.FieldByName("ID").IsNull()) d.FieldByName("TWICE").SetAsInteger(d.FieldByName("ID").AsInteger() * 2);
  };
  ds.Open();
  EXPECT_EQ(ds.FieldCount(), 2);  // NAME was not declared
  EXPECT_EQ(ds.FindField("NAME"), nullptr);
  EXPECT_EQ(twice->AsInteger(), 2);
  EXPECT_FALSE(twice->Visible());
  EXPECT_EQ(id->DisplayLabel(), "Number");
  ds.Last();
  EXPECT_TRUE(twice->IsNull());
  EXPECT_THROW(ds.AddField("MORE", ftString), EDatabaseError);  // not while open
  ds.Close();
  EXPECT_EQ(ds.FieldCount(), 2);  // declared fields outlive the close
}

TEST_F(DataSetTest, DeleteAndEmptyDataset) {
  ds.rows.resize(1);
  ds.Open();
  ds.Delete();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_THROW(ds.Delete(), EDatabaseError);
  ds.Edit();  // an edit of an empty dataset becomes an insert
  EXPECT_EQ(ds.State(), dsInsert);
  ds.FieldByName("NAME").SetAsString("new");
  ds.Post();
  EXPECT_EQ(ds.rows.size(), 1u);
  EXPECT_FALSE(ds.FindFirst());  // no search of its own
}

}  // namespace
}  // namespace ks
