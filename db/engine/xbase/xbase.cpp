// The flat engine functions over the table, memo, index and expression classes.

#include "db/engine/xbase/xbase.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/engine/xbase/cdx_index.h"
#include "db/engine/xbase/dbf_table.h"
#include "db/engine/xbase/expression.h"
#include "db/engine/xbase/memo_file.h"

using ks::xbase::CompoundIndex;
using ks::xbase::DbfTable;
using ks::xbase::Expression;
using ks::xbase::FieldDef;
using ks::xbase::KeyList;
using ks::xbase::Tag;
using ks::xbase::TagSpec;

struct Code4 {
  int error = 0;
  int safety = 1;
  int err_off = 0;
  std::vector<Data4*> cursors;  // every open cursor of this engine, in order of opening
};

struct Field4 {
  Data4* data = nullptr;
  int index = 0;
  std::string memo;  // the memo last read for f4memoStr
};

struct Expr4 {
  Data4* data = nullptr;
  std::unique_ptr<Expression> expr;
  std::string result;
};

struct Data4 {
  Code4* engine = nullptr;
  std::shared_ptr<DbfTable> table;
  std::vector<char> record;
  uint32_t recno = 0;       // 0 while nothing is loaded
  bool eof = true;
  bool bof = true;
  bool changed = false;
  bool appending = false;   // between d4appendStart and d4append
  Tag* tag = nullptr;       // null: record order
  std::vector<std::unique_ptr<Field4>> fields;
  std::map<int, std::string> pending_memos;  // field index -> new text
};

namespace {

int Fail(Code4* engine, int code) {
  if (engine) engine->error = code;
  return code;
}

Index4* IndexHandle(CompoundIndex* index) { return reinterpret_cast<Index4*>(index); }
CompoundIndex* IndexOf(Index4* handle) { return reinterpret_cast<CompoundIndex*>(handle); }
Tag4* TagHandle(Tag* tag) { return reinterpret_cast<Tag4*>(tag); }
Tag* TagOf(Tag4* handle) { return reinterpret_cast<Tag*>(handle); }

// The full, lexically normal path of a table name; ".dbf" added when it has no extension.
std::string TablePath(const char* name) {
  std::filesystem::path path(name);
  if (!path.has_extension()) path += ".dbf";
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec);
  if (ec) full = path;
  return full.lexically_normal().string();
}

Data4* NewCursor(Code4* engine, std::shared_ptr<DbfTable> table) {
  auto data = std::make_unique<Data4>();
  data->engine = engine;
  data->table = std::move(table);
  data->record.assign(data->table->RecordWidth(), ' ');
  for (size_t i = 0; i < data->table->Fields().size(); ++i) {
    auto field = std::make_unique<Field4>();
    field->data = data.get();
    field->index = int(i);
    data->fields.push_back(std::move(field));
  }
  engine->cursors.push_back(data.get());
  return data.release();
}

Data4* FindOpen(Code4* engine, const std::string& path) {
  for (Data4* data : engine->cursors) {
    if (data->table->Path() == path) return data;
  }
  return nullptr;
}

void SetEof(Data4* d) {
  d->recno = d->table->RecordCount() + 1;
  d->eof = true;
  d->bof = false;
  std::fill(d->record.begin(), d->record.end(), ' ');
  d->pending_memos.clear();
}

int Load(Data4* d, uint32_t recno) {
  d->pending_memos.clear();
  d->changed = false;
  d->appending = false;
  if (const int rc = d->table->ReadRecord(recno, d->record.data()); rc != 0) {
    SetEof(d);
    return Fail(d->engine, rc);
  }
  d->recno = recno;
  d->eof = d->bof = false;
  return 0;
}

// Stores pending memo texts and points the record's memo fields at them.
int StoreMemos(Data4* d) {
  for (auto& [index, text] : d->pending_memos) {
    const FieldDef& f = d->table->Fields()[index];
    char pointer[11];
    if (text.empty()) {
      std::memset(pointer, ' ', 10);
    } else {
      uint32_t block = 0;
      if (!d->table->Memo()) return e4data;
      if (const int rc = d->table->Memo()->Write(text, &block); rc != 0) return rc;
      std::snprintf(pointer, sizeof pointer, "%10u", block);
    }
    std::memcpy(d->record.data() + f.offset, pointer, 10);
  }
  d->pending_memos.clear();
  return 0;
}

// Writes a changed record before the cursor moves; an append that was started but not
// completed is dropped.
int WritePending(Data4* d) {
  if (d->appending) {
    d->appending = false;
    d->changed = false;
    d->pending_memos.clear();
    if (d->recno >= 1 && d->recno <= d->table->RecordCount()) d->table->ReadRecord(d->recno, d->record.data());
    return 0;
  }
  if (!d->changed) return 0;
  d->changed = false;
  if (d->eof || d->recno < 1 || d->recno > d->table->RecordCount()) return 0;
  if (const int rc = StoreMemos(d); rc != 0) return Fail(d->engine, rc);
  if (const int rc = d->table->WriteRecord(d->recno, d->record.data()); rc != 0) return Fail(d->engine, rc);
  return 0;
}

// ---- walking a tag in its own order (backwards for a descending tag) -------------------

KeyList::Pos WalkFirst(const Tag& t) { return t.Descending() ? t.Keys().Last() : t.Keys().Begin(); }
KeyList::Pos WalkLast(const Tag& t) { return t.Descending() ? t.Keys().Begin() : t.Keys().Last(); }
KeyList::Pos WalkNext(const Tag& t, KeyList::Pos p) {
  const KeyList& k = t.Keys();
  if (!t.Descending()) return k.Next(p);
  return p == k.Begin() ? k.End() : k.Prev(p);
}
KeyList::Pos WalkPrev(const Tag& t, KeyList::Pos p) {
  const KeyList& k = t.Keys();
  if (t.Descending()) return k.Next(p);
  return p == k.Begin() ? k.End() : k.Prev(p);
}

// The neighbours of the current record in walk order. When the record has no entry
// (left out by the filter) they are the entries around the place its key would take.
void Neighbours(Data4* d, KeyList::Pos* next, KeyList::Pos* prev) {
  const Tag& t = *d->tag;
  const KeyList& k = t.Keys();
  std::vector<uint8_t> entry(k.EntrySize());
  t.MakeKey(d->record.data(), entry.data());
  KeyList::PutRecNo(entry.data(), k.KeyLen(), d->recno);
  const KeyList::Pos p = k.LowerBound(entry.data(), entry.size());
  const bool exact = !k.IsEnd(p) && std::memcmp(k.At(p), entry.data(), entry.size()) == 0;
  const KeyList::Pos before = p == k.Begin() ? k.End() : k.Prev(p);  // storage order
  const KeyList::Pos after = exact ? k.Next(p) : p;
  if (t.Descending()) {
    *next = before;
    *prev = after;
  } else {
    *next = after;
    *prev = before;
  }
}

int LoadEntry(Data4* d, KeyList::Pos p) {
  return Load(d, KeyList::RecNo(d->tag->Keys().At(p), d->tag->KeyLen()));
}

int Top(Data4* d) {
  if (d->tag) {
    const KeyList::Pos p = WalkFirst(*d->tag);
    if (d->tag->Keys().IsEnd(p)) {
      SetEof(d);
      d->bof = true;
      return r4eof;
    }
    return LoadEntry(d, p);
  }
  if (d->table->RecordCount() == 0) {
    SetEof(d);
    d->bof = true;
    return r4eof;
  }
  return Load(d, 1);
}

int Bottom(Data4* d) {
  if (d->tag) {
    const KeyList::Pos p = WalkLast(*d->tag);
    if (d->tag->Keys().IsEnd(p)) {
      SetEof(d);
      d->bof = true;
      return r4eof;
    }
    return LoadEntry(d, p);
  }
  if (d->table->RecordCount() == 0) {
    SetEof(d);
    d->bof = true;
    return r4eof;
  }
  return Load(d, d->table->RecordCount());
}

int SkipInTag(Data4* d, long count) {
  const Tag& t = *d->tag;
  const KeyList& k = t.Keys();
  KeyList::Pos p;
  long steps = count > 0 ? count : -count;
  if (d->eof) {
    if (count > 0) return r4eof;
    p = WalkLast(t);
    --steps;
  } else {
    KeyList::Pos next, prev;
    Neighbours(d, &next, &prev);
    p = count > 0 ? next : prev;
    --steps;
  }
  while (steps > 0 && !k.IsEnd(p)) {
    p = count > 0 ? WalkNext(t, p) : WalkPrev(t, p);
    --steps;
  }
  if (!k.IsEnd(p)) return LoadEntry(d, p);
  if (count > 0) {
    SetEof(d);
    return r4eof;
  }
  Top(d);
  d->bof = true;
  return r4bof;
}

int Skip(Data4* d, long count) {
  if (const int rc = WritePending(d); rc != 0) return rc;
  if (count == 0) {
    if (!d->eof && d->recno >= 1) return Load(d, d->recno);
    return d->eof ? r4eof : 0;
  }
  if (d->tag) return SkipInTag(d, count);
  const uint32_t total = d->table->RecordCount();
  if (d->eof && count > 0) return r4eof;
  const long target = long(d->eof ? total + 1 : d->recno) + count;
  if (target < 1) {
    if (total == 0) {
      SetEof(d);
      d->bof = true;
      return r4bof;
    }
    Load(d, 1);
    d->bof = true;
    return r4bof;
  }
  if (target > long(total)) {
    SetEof(d);
    return r4eof;
  }
  return Load(d, uint32_t(target));
}

// Does the entry at p begin with the search key?
bool Matches(const Tag& t, KeyList::Pos p, const std::string& key) {
  return !t.Keys().IsEnd(p) && std::memcmp(t.Keys().At(p), key.data(), key.size()) == 0;
}

int Seek(Data4* d, const char* text) {
  if (const int rc = WritePending(d); rc != 0) return rc;
  if (!d->tag || !text) {
    SetEof(d);
    return r4eof;
  }
  const Tag& t = *d->tag;
  const KeyList& k = t.Keys();
  const std::string key = t.SeekKey(text);
  KeyList::Pos p;
  if (!t.Descending()) {
    p = k.LowerBound(reinterpret_cast<const uint8_t*>(key.data()), key.size());
  } else {
    // The last entry whose key does not exceed the search key, over its length: the one
    // before the first entry above every key that begins with it.
    std::string above = key;
    while (!above.empty() && static_cast<unsigned char>(above.back()) == 0xFF) above.pop_back();
    KeyList::Pos upper = k.End();
    if (!above.empty()) {
      above.back() = char(static_cast<unsigned char>(above.back()) + 1);
      upper = k.LowerBound(reinterpret_cast<const uint8_t*>(above.data()), above.size());
    }
    p = upper == k.Begin() ? k.End() : k.Prev(upper);
  }
  if (k.IsEnd(p)) {
    SetEof(d);
    return r4eof;
  }
  if (const int rc = LoadEntry(d, p); rc != 0) return rc;
  return Matches(t, p, key) ? r4success : r4after;
}

}  // namespace

// ---- engine ----------------------------------------------------------------------------

Code4* code4initP() { return new Code4(); }

int code4close(Code4* engine) {
  if (!engine) return e4parm;
  int result = 0;
  while (!engine->cursors.empty()) {
    const int rc = d4close(engine->cursors.back());
    if (rc != 0 && result == 0) result = rc;
  }
  return result;
}

void code4initUndo(Code4* engine) {
  if (!engine) return;
  code4close(engine);
  delete engine;
}

long u4switch() { return 0x80; }

int code4connect(Code4* engine, const char*, const char*, const char*, const char*, const char*) {
  return engine ? 0 : e4parm;
}

int code4errorCode(Code4* engine, int code) {
  if (!engine) return e4parm;
  const int old = engine->error;
  if (code != -5) engine->error = code;
  return int(int16_t(old));
}

int code4errOff(Code4* engine, int off) {
  if (!engine) return e4parm;
  const int old = engine->err_off;
  engine->err_off = off;
  return old;
}

int code4compatibility(Code4* engine, int) { return engine ? 0 : e4parm; }
int code4codePage(Code4* engine, int) { return engine ? 0 : e4parm; }
int code4collate(Code4* engine, int) { return engine ? 0 : e4parm; }
int code4dateFormatSet(Code4* engine, const char*) { return engine ? 0 : e4parm; }
int code4optimize(Code4* engine, int) { return engine ? 0 : e4parm; }
int code4optimizeWrite(Code4* engine, int) { return engine ? 0 : e4parm; }
int code4singleOpen(Code4* engine, int) { return engine ? 0 : e4parm; }
int code4autoOpen(Code4* engine, int) { return engine ? 0 : e4parm; }
int code4lockDelay(Code4* engine, int) { return engine ? 0 : e4parm; }
int code4unlockAutoSetCB(Code4* engine, int) { return engine ? 0 : e4parm; }
int code4safety(Code4* engine, int value) {
  if (!engine) return e4parm;
  const int old = engine->safety;
  engine->safety = value;
  return old;
}

// ---- files -----------------------------------------------------------------------------

Data4* code4data(Code4* engine, const char* name) {
  if (!engine || !name) return nullptr;
  return FindOpen(engine, TablePath(name));
}

Data4* d4open(Code4* engine, const char* name) {
  if (!engine || !name || !*name) {
    Fail(engine, e4parm);
    return nullptr;
  }
  const std::string path = TablePath(name);
  if (Data4* open = FindOpen(engine, path)) return d4openClone(open);
  std::unique_ptr<DbfTable> table;
  if (const int rc = DbfTable::Open(path, &table); rc != 0) {
    Fail(engine, rc);
    return nullptr;
  }
  Data4* data = NewCursor(engine, std::shared_ptr<DbfTable>(std::move(table)));
  Top(data);
  return data;
}

Data4* d4openClone(Data4* data) {
  if (!data) return nullptr;
  Data4* clone = NewCursor(data->engine, data->table);
  Top(clone);
  return clone;
}

int d4close(Data4* data) {
  if (!data) return e4parm;
  Code4* engine = data->engine;
  int rc = WritePending(data);
  auto& cursors = engine->cursors;
  cursors.erase(std::remove(cursors.begin(), cursors.end(), data), cursors.end());
  if (data->table.use_count() == 1) {
    const int flushed = data->table->Flush();
    if (flushed != 0 && rc == 0) rc = Fail(engine, flushed);
    data->table->UnlockAll();
  }
  delete data;
  return rc;
}

Data4* d4create(Code4* engine, const char* name, const Field4Info* fields, const Tag4Info* tags) {
  if (!engine || !name || !fields) {
    Fail(engine, e4parm);
    return nullptr;
  }
  const std::string path = TablePath(name);
  if (FindOpen(engine, path)) {
    Fail(engine, e4instance);
    return nullptr;
  }
  std::vector<FieldDef> defs;
  for (const Field4Info* f = fields; f->name; ++f) {
    FieldDef def;
    def.name = f->name;
    def.type = char(f->type);
    if (def.type >= 'a' && def.type <= 'z') def.type = char(def.type - 'a' + 'A');
    def.len = f->len;
    def.dec = f->dec;
    defs.push_back(std::move(def));
  }
  std::unique_ptr<DbfTable> table;
  if (const int rc = DbfTable::Create(path, std::move(defs), engine->safety == 0, &table); rc != 0) {
    Fail(engine, rc);
    return nullptr;
  }
  Data4* data = NewCursor(engine, std::shared_ptr<DbfTable>(std::move(table)));
  Top(data);
  if (tags && tags->name && !i4create(data, nullptr, tags)) {
    d4close(data);
    return nullptr;
  }
  return data;
}

Index4* i4open(Data4* data, const char* name) {
  if (!data) return nullptr;
  DbfTable& table = *data->table;
  if (table.Index()) return IndexHandle(table.Index());
  std::string path = table.IndexPath();
  if (name && *name) {
    std::filesystem::path p(name);
    if (!p.has_extension()) p += ".cdx";
    path = std::filesystem::absolute(p).lexically_normal().string();
  }
  std::unique_ptr<CompoundIndex> index;
  if (const int rc = CompoundIndex::Open(path, table.Fields(), &index); rc != 0) {
    Fail(data->engine, rc);
    return nullptr;
  }
  table.SetIndex(std::move(index));
  if (const int rc = table.SetIndexFlag(true); rc != 0) Fail(data->engine, rc);
  return IndexHandle(table.Index());
}

Index4* i4create(Data4* data, const char* name, const Tag4Info* tags) {
  if (!data) return nullptr;
  if (const int rc = WritePending(data); rc != 0) return nullptr;
  DbfTable& table = *data->table;
  std::vector<TagSpec> specs;
  for (const Tag4Info* t = tags; t && t->name; ++t) {
    TagSpec spec;
    spec.name = t->name;
    for (char& c : spec.name) {
      if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    if (spec.name.size() > 10) spec.name.resize(10);
    spec.expression = t->expression ? t->expression : "";
    spec.filter = t->filter ? t->filter : "";
    spec.unique = t->unique != 0;
    spec.descending = t->descending != 0;
    specs.push_back(std::move(spec));
  }
  std::string path = table.IndexPath();
  if (name && *name) {
    std::filesystem::path p(name);
    if (!p.has_extension()) p += ".cdx";
    path = std::filesystem::absolute(p).lexically_normal().string();
  }
  if (!table.Index() && data->engine->safety != 0 && ks::FileExists(path)) {
    Fail(data->engine, e4create);
    return nullptr;
  }
  // The old index goes away: no cursor may keep one of its tags.
  for (Data4* cursor : data->engine->cursors) {
    if (cursor->table == data->table) cursor->tag = nullptr;
  }
  table.SetIndex(nullptr);
  std::unique_ptr<CompoundIndex> index;
  if (const int rc = CompoundIndex::Create(path, specs, table, &index); rc != 0) {
    Fail(data->engine, rc);
    return nullptr;
  }
  table.SetIndex(std::move(index));
  if (const int rc = table.SetIndexFlag(true); rc != 0) {
    Fail(data->engine, rc);
    return nullptr;
  }
  return IndexHandle(table.Index());
}

Tag4Info* i4tagInfo(Index4* handle) {
  if (!handle) return nullptr;
  auto& tags = IndexOf(handle)->Tags();
  auto* list = static_cast<Tag4Info*>(std::calloc(tags.size() + 1, sizeof(Tag4Info)));
  if (!list) return nullptr;
  for (size_t i = 0; i < tags.size(); ++i) {
    const TagSpec& spec = tags[i]->Spec();
    list[i].name = strdup(spec.name.c_str());
    list[i].expression = strdup(spec.expression.c_str());
    list[i].filter = strdup(spec.filter.c_str());
    list[i].unique = spec.unique ? r4unique : 0;
    list[i].descending = spec.descending ? r4descending : 0;
  }
  return list;
}

void u4freeDefault(Tag4Info* list) {
  if (!list) return;
  for (Tag4Info* t = list; t->name; ++t) {
    std::free(const_cast<char*>(t->name));
    std::free(const_cast<char*>(t->expression));
    std::free(const_cast<char*>(t->filter));
  }
  std::free(list);
}

void u4freeDefault(Expr4* expr) { delete expr; }

// ---- tags and position -----------------------------------------------------------------

Tag4* d4tagDefault(Data4* data) { return d4tagNext(data, nullptr); }

Tag4* d4tagNext(Data4* data, Tag4* tag) {
  if (!data || !data->table->Index()) return nullptr;
  auto& tags = data->table->Index()->Tags();
  if (!tag) return tags.empty() ? nullptr : TagHandle(tags.front().get());
  for (size_t i = 0; i + 1 < tags.size(); ++i) {
    if (TagHandle(tags[i].get()) == tag) return TagHandle(tags[i + 1].get());
  }
  return nullptr;
}

Tag4* d4tag(Data4* data, const char* name) {
  if (!data || !name || !data->table->Index()) return nullptr;
  return TagHandle(data->table->Index()->Find(name));
}

void d4tagSelectP(Data4* data, Tag4* tag) {
  if (data) data->tag = TagOf(tag);
}

const char* t4exprCB(Tag4* tag) { return tag ? TagOf(tag)->Spec().expression.c_str() : nullptr; }
const char* t4alias(Tag4* tag) { return tag ? TagOf(tag)->Name().c_str() : nullptr; }

int d4top(Data4* data) {
  if (!data) return e4parm;
  if (const int rc = WritePending(data); rc != 0) return rc;
  return Top(data);
}

int d4bottom(Data4* data) {
  if (!data) return e4parm;
  if (const int rc = WritePending(data); rc != 0) return rc;
  return Bottom(data);
}

int d4skip(Data4* data, long count) { return data ? Skip(data, count) : e4parm; }

int d4goLow(Data4* data, long recno, int) {
  if (!data) return e4parm;
  if (const int rc = WritePending(data); rc != 0) return rc;
  if (recno < 1 || recno > long(data->table->RecordCount())) {
    SetEof(data);
    return r4eof;
  }
  return Load(data, uint32_t(recno));
}

int d4eof(Data4* data) { return data ? (data->eof ? 1 : 0) : e4parm; }
int d4bof(Data4* data) { return data ? (data->bof ? 1 : 0) : e4parm; }

long d4recNoLow(Data4* data) {
  if (!data) return e4parm;
  if (data->appending) return 0;
  return data->eof ? long(data->table->RecordCount()) + 1 : long(data->recno);
}

long d4recCountDo(Data4* data) { return data ? long(data->table->RecordCount()) : e4parm; }

int d4refresh(Data4* data) {
  if (!data) return e4parm;
  if (const int rc = WritePending(data); rc != 0) return rc;
  if (const int rc = data->table->RefreshCount(); rc != 0) return Fail(data->engine, rc);
  if (!data->eof && data->recno >= 1 && data->recno <= data->table->RecordCount()) return Load(data, data->recno);
  return 0;
}

int d4deleted(Data4* data) { return data ? (data->record[0] == '*' ? 1 : 0) : e4parm; }

int d4seek(Data4* data, const char* key) { return data ? Seek(data, key) : e4parm; }

int d4seekNext(Data4* data, const char* text) {
  if (!data) return e4parm;
  if (!data->tag || !text || data->eof) return Seek(data, text);
  if (const int rc = WritePending(data); rc != 0) return rc;
  const Tag& t = *data->tag;
  const std::string key = t.SeekKey(text);
  std::vector<uint8_t> current(t.KeyLen());
  t.MakeKey(data->record.data(), current.data());
  if (key.size() > current.size() || std::memcmp(current.data(), key.data(), key.size()) != 0) return Seek(data, text);
  KeyList::Pos next, prev;
  Neighbours(data, &next, &prev);
  if (t.Keys().IsEnd(next)) {
    SetEof(data);
    return r4eof;
  }
  if (const int rc = LoadEntry(data, next); rc != 0) return rc;
  return Matches(t, next, key) ? r4success : r4after;
}

// ---- fields ----------------------------------------------------------------------------

short d4numFields(Data4* data) { return data ? short(data->fields.size()) : short(e4parm); }

Field4* d4fieldJ(Data4* data, short j) {
  if (!data || j < 1 || j > short(data->fields.size())) return nullptr;
  return data->fields[j - 1].get();
}

Field4* d4field(Data4* data, const char* name) {
  if (!data || !name) return nullptr;
  const int index = data->table->FieldIndex(name);
  return index < 0 ? nullptr : data->fields[index].get();
}

static const FieldDef& Def(Field4* field) { return field->data->table->Fields()[field->index]; }

const char* f4name(Field4* field) { return field ? Def(field).name.c_str() : nullptr; }
int f4type(Field4* field) { return field ? Def(field).type : e4parm; }
int f4len(Field4* field) { return field ? Def(field).len : e4parm; }
int f4decimals(Field4* field) { return field ? Def(field).dec : e4parm; }
char* f4str(Field4* field) { return field ? field->data->record.data() + Def(field).offset : nullptr; }

// The memo text of the current record: pending text, or read from the memo file.
static const std::string* MemoText(Field4* field) {
  Data4* d = field->data;
  if (Def(field).type != 'M') return nullptr;
  auto pending = d->pending_memos.find(field->index);
  if (pending != d->pending_memos.end()) return &pending->second;
  field->memo.clear();
  const char* p = d->record.data() + Def(field).offset;
  const double block = ks::xbase::ParseNumber(p, 10);
  if (block == 0 || !d->table->Memo()) return &field->memo;
  if (!(block >= 1 && block <= 4294967295.0)) {  // also catches "nan" and negative numbers
    Fail(d->engine, e4data);
    return &field->memo;
  }
  if (const int rc = d->table->Memo()->Read(uint32_t(block), &field->memo); rc != 0) {
    Fail(d->engine, rc);
    field->memo.clear();
  }
  return &field->memo;
}

unsigned long f4memoLen(Field4* field) {
  if (!field) return 0;
  const std::string* text = MemoText(field);
  return text ? text->size() : 0;
}

const char* f4memoStr(Field4* field) {
  if (!field) return nullptr;
  const std::string* text = MemoText(field);
  return text ? text->c_str() : "";
}

int f4memoAssignN(Field4* field, const char* text, unsigned long len) {
  if (!field) return e4parm;
  if (Def(field).type != 'M') return Fail(field->data->engine, e4parm);
  field->data->pending_memos[field->index] = text ? std::string(text, len) : std::string();
  field->data->changed = true;
  return 0;
}

char* d4recordLow(Data4* data) { return data ? data->record.data() : nullptr; }
unsigned long d4recWidthLow(Data4* data) { return data ? data->record.size() : 0; }

// ---- expressions -----------------------------------------------------------------------

Expr4* expr4parseLow(Data4* data, const char* text, void*) {
  if (!data || !text) return nullptr;
  std::string error;
  auto expr = Expression::Parse(text, data->table->Fields(), &error);
  if (!expr) {
    Fail(data->engine, e4parm);
    return nullptr;
  }
  auto* handle = new Expr4();
  handle->data = data;
  handle->expr = std::move(expr);
  return handle;
}

int expr4typeCB(Expr4* expr) { return expr ? expr->expr->Type() : e4parm; }
int expr4len(Expr4* expr) { return expr ? expr->expr->Length() : e4parm; }

const char* expr4str(Expr4* expr) {
  if (!expr) return nullptr;
  const ks::xbase::Value v = expr->expr->Evaluate(expr->data->record.data());
  switch (v.type) {
    case 'C': expr->result = v.text; break;
    case 'N': expr->result = ks::xbase::FormatNumber(v.number, expr->expr->Length(), 0); break;
    case 'D': expr->result = ks::xbase::JulianToDate(v.number); break;
    default: expr->result = v.logical ? "T" : "F"; break;
  }
  return expr->result.c_str();
}

int expr4double2(Expr4* expr, double* value) {
  if (!expr || !value) return e4parm;
  const ks::xbase::Value v = expr->expr->Evaluate(expr->data->record.data());
  if (v.type != 'N' && v.type != 'D') return e4parm;
  *value = v.number;
  return 0;
}

int expr4true(Expr4* expr) {
  if (!expr) return e4parm;
  const ks::xbase::Value v = expr->expr->Evaluate(expr->data->record.data());
  if (v.type != 'L') return e4parm;
  return v.logical ? 1 : 0;
}

// ---- changes and locks -----------------------------------------------------------------

int d4appendStart(Data4* data, int use_memo_entries) {
  if (!data) return e4parm;
  if (const int rc = WritePending(data); rc != 0) return rc;
  data->appending = true;
  data->pending_memos.clear();
  if (!use_memo_entries) {
    for (const FieldDef& f : data->table->Fields()) {
      if (f.type == 'M') std::memset(data->record.data() + f.offset, ' ', f.len);
    }
  }
  return 0;
}

void d4blank(Data4* data) {
  if (!data) return;
  std::fill(data->record.begin(), data->record.end(), ' ');
  data->pending_memos.clear();
  data->changed = true;
}

int d4append(Data4* data) {
  if (!data) return e4parm;
  if (const int rc = StoreMemos(data); rc != 0) return Fail(data->engine, rc);
  uint32_t recno = 0;
  data->appending = false;
  data->changed = false;
  // A failed write keeps the record in memory (it is retried by the next flush) but is
  // reported here.
  const int rc = data->table->AppendRecord(data->record.data(), &recno);
  if (recno != 0) {
    data->recno = recno;
    data->eof = data->bof = false;
  }
  return rc != 0 ? Fail(data->engine, rc) : 0;
}

int d4changed(Data4* data, int flag) {
  if (!data) return e4parm;
  const bool old = data->changed;
  if (flag == 1) {
    data->changed = true;
  } else if (flag == 0) {
    data->changed = false;
    data->pending_memos.clear();
    // What was discarded must not linger in the buffer.
    if (old && !data->appending && !data->eof && data->recno >= 1 && data->recno <= data->table->RecordCount()) {
      data->table->ReadRecord(data->recno, data->record.data());
    }
  }
  return old ? 1 : 0;
}

int d4flush(Data4* data) {
  if (!data) return e4parm;
  // An append in progress stays open: the flush tick may come between its calls.
  if (!data->appending) {
    if (const int rc = WritePending(data); rc != 0) return rc;
  }
  if (const int rc = data->table->Flush(); rc != 0) return Fail(data->engine, rc);
  return 0;
}

int d4delete(Data4* data) {
  if (!data) return e4parm;
  if (data->eof || data->recno < 1) return Fail(data->engine, e4parm);
  if (data->record[0] != '*') {
    data->record[0] = '*';
    data->changed = true;
  }
  return 0;
}

int d4lockInternal(Data4* data, unsigned long recno, char, int) {
  if (!data) return e4parm;
  if (recno < 1 || recno > 0xFFFFFFFFul) return e4parm;
  return data->table->Lock(uint32_t(recno));
}

int d4unlock(Data4* data) {
  if (!data) return e4parm;
  const int rc = data->appending ? 0 : WritePending(data);
  data->table->UnlockAll();
  return rc;
}
