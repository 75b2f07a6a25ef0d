// The flat engine functions over the table, memo, index and expression classes.

#include "db/engine/xbase/xbase.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/paths.h"
#include "common/platform.h"
#include "db/engine/xbase/cdx_index.h"
#include "db/engine/xbase/dbf_table.h"
#include "db/engine/xbase/expression.h"
#include "db/engine/xbase/handles.h"
#include "db/engine/xbase/memo_file.h"

using ks::xbase::CompoundIndex;
using ks::xbase::DbfTable;
using ks::xbase::Expression;
using ks::xbase::FieldDef;
using ks::xbase::KeyList;
using ks::xbase::Tag;
using ks::xbase::TagDefinition;

namespace {

using namespace ks::xbase;

// The full, lexically normal path of a table name; ".dbf" added when it has no extension.
std::string TablePath(const char* name) { return ks::FullPath(ks::WithDefaultExtension(name, ".dbf")); }

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

}  // namespace

using namespace ks::xbase;

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
  if (code != -5) {
    engine->error = code;
    engine->error_cause.clear();
    ks::ForgetFileFailure();
  }
  return int(int16_t(old));
}

const char* code4errorCause(Code4* engine) { return engine ? engine->error_cause.c_str() : ""; }

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

long code4indexMemory(Code4* engine, long bytes) {
  if (!engine) return e4parm;
  const long old = engine->index_memory;
  if (bytes > 0) engine->index_memory = bytes;
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
    path = ks::FullPath(ks::WithDefaultExtension(name, ".cdx"));
  }
  std::unique_ptr<CompoundIndex> index;
  if (const int rc = CompoundIndex::Open(path, table.Fields(), &index); rc != 0) {
    Fail(data->engine, rc);
    return nullptr;
  }
  index->LimitKeyMemory(size_t(data->engine->index_memory));
  table.SetIndex(std::move(index));
  if (const int rc = table.SetIndexFlag(true); rc != 0) Fail(data->engine, rc);
  return IndexHandle(table.Index());
}

Index4* i4create(Data4* data, const char* name, const Tag4Info* tags) {
  if (!data) return nullptr;
  if (const int rc = WritePending(data); rc != 0) return nullptr;
  DbfTable& table = *data->table;
  std::vector<TagDefinition> definitions;
  for (const Tag4Info* t = tags; t && t->name; ++t) {
    TagDefinition definition;
    definition.name = t->name;
    for (char& c : definition.name) {
      if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    if (definition.name.size() > 10) definition.name.resize(10);
    definition.expression = t->expression ? t->expression : "";
    definition.filter = t->filter ? t->filter : "";
    definition.unique = t->unique != 0;
    definition.descending = t->descending != 0;
    definitions.push_back(std::move(definition));
  }
  std::string path = table.IndexPath();
  if (name && *name) {
    path = ks::FullPath(ks::WithDefaultExtension(name, ".cdx"));
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
  if (const int rc = CompoundIndex::Create(path, definitions, table, &index); rc != 0) {
    Fail(data->engine, rc);
    return nullptr;
  }
  index->LimitKeyMemory(size_t(data->engine->index_memory));
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
    const TagDefinition& definition = tags[i]->Definition();
    list[i].name = strdup(definition.name.c_str());
    list[i].expression = strdup(definition.expression.c_str());
    list[i].filter = strdup(definition.filter.c_str());
    list[i].unique = definition.unique ? r4unique : 0;
    list[i].descending = definition.descending ? r4descending : 0;
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
