// Positioning: record order or a tag's order (backwards for a descending tag), skips,
// seeks and the record load and write steps under them.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "db/engine/xbase/handles.h"
#include "db/engine/xbase/memo_file.h"


namespace ks::xbase {

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

namespace {

// ---- walking a tag in its own order (backwards for a descending tag) -------------------

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

}  // namespace

namespace {

// Stands on the first or the last record of the current order; r4eof on an empty view.
int GoToEnd(Data4* d, bool first) {
  if (d->tag) {
    uint32_t recno = 0;
    if (d->tag->EndRecNo(first, &recno)) return Load(d, recno);
  } else if (d->table->RecordCount() != 0) {
    return Load(d, first ? 1 : d->table->RecordCount());
  }
  SetEof(d);
  d->bof = true;
  return r4eof;
}

}  // namespace

int Top(Data4* d) { return GoToEnd(d, true); }

int Bottom(Data4* d) { return GoToEnd(d, false); }

namespace {

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
}  // namespace ks::xbase

using namespace ks::xbase;

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

const char* t4exprCB(Tag4* tag) { return tag ? TagOf(tag)->Definition().expression.c_str() : nullptr; }
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
