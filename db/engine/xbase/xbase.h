#pragma once
// The flat interface of our dBASE engine: FoxPro 2.x tables (.dbf), memo files (.fpt) and
// compact compound indexes (.cdx), key and filter expressions, and record locks.
//
// Handles are opaque; a null handle means failure, and the reason is then held by the
// engine's error code (code4errorCode). Texts are bytes in the table's code page
// (Windows-1251 for this system). Record numbers count from 1.

#include <cstdint>

struct Code4;   // one engine: its settings, its error code and the files it has open
struct Data4;   // a cursor over an open data file (clones share the file)
struct Index4;  // the production index of a data file
struct Tag4;    // one tag of an index
struct Field4;  // one field of a data file, bound to the cursor it came from
struct Expr4;   // a parsed expression, bound to the cursor it was parsed for

// Field list of d4create: ends with an entry whose name is null.
struct Field4Info {
  const char* name;
  int16_t type;  // 'C', 'N', 'F', 'D', 'L', 'M'
  uint16_t len;
  uint16_t dec;
  uint16_t nulls;  // reserved, 0
};

// Tag list of i4create and i4tagInfo: ends with an entry whose name is null.
struct Tag4Info {
  const char* name;
  const char* expression;
  const char* filter;   // null or empty: every record has a key
  int16_t unique;       // r4unique or 0
  uint16_t descending;  // r4descending or 0
};

// Results and codes.
constexpr int r4success = 0;
constexpr int r4after = 2;       // seek: no exact match; positioned on the next larger key (on a
                                 // descending tag: the next key in its order, a smaller one)
constexpr int r4eof = 3;         // seek: nothing at or after the key; positioned at the end
constexpr int r4bof = 4;         // skip backwards ran off the top: the cursor stands on the first
                                 // record of the order with d4bof set; seeks never return it
constexpr int r4entry = 5;       // seek: the tag's current entry could not be read back (stale
                                 // key); positioned on the next entry, as after r4after. This
                                 // engine keeps its tags in memory, always in step with the
                                 // records, so it never returns 5
constexpr int r4descending = 10;
constexpr int r4unique = 20;
constexpr int r4locked = 50;     // d4lockInternal: another process holds the record lock (the
                                 // call never waits). Seeks do not test locks and never return it

constexpr int e4create = -60;    // a file could not be created
constexpr int e4open = -61;      // a file exists but could not be opened or is not valid
constexpr int e4fileFind = -64;  // a data, memo or index file is missing
constexpr int e4instance = -69;  // the file is open exclusively elsewhere
constexpr int e4read = -70;      // a read failed or came up short
constexpr int e4write = -80;     // a write failed (disk full, unwritable file)
constexpr int e4data = -120;     // the file is corrupt (header, record, memo block or index page)
constexpr int e4memory = -920;
constexpr int e4parm = -930;     // a call with a null handle or a bad argument; also an expression
                                 // (filter, locate, tag key) that does not parse
constexpr int e4connect = -2100; // never raised: this engine is stand-alone

// --- engine --------------------------------------------------------------------------
Code4* code4initP();
void code4initUndo(Code4* engine);      // closes everything and frees the engine
int code4close(Code4* engine);          // closes every data file of the engine
long u4switch();                        // 0x80: stand-alone build, no connect step
int code4connect(Code4* engine, const char* server, const char* process, const char* user,
                 const char* password, const char* protocol);
int code4errorCode(Code4* engine, int code);  // -5 reads, any other value sets; returns the old code
// The cause of the current error code when a file operation failed behind it: the operation,
// the file and the system's reason ("Не удалось записать файл /db/firm.dbf: Input/output
// error", Windows-1251); empty when the engine knows none. Cleared with the code.
const char* code4errorCause(Code4* engine);
int code4errOff(Code4* engine, int off);      // the engine never prints; kept for the settings
// Settings: accepted and stored. Only safety changes behaviour (0: create overwrites).
int code4compatibility(Code4* engine, int value);
int code4codePage(Code4* engine, int value);
int code4collate(Code4* engine, int value);
int code4dateFormatSet(Code4* engine, const char* format);
int code4optimize(Code4* engine, int value);
int code4optimizeWrite(Code4* engine, int value);
int code4singleOpen(Code4* engine, int value);
int code4autoOpen(Code4* engine, int value);
int code4lockDelay(Code4* engine, int value);
int code4unlockAutoSetCB(Code4* engine, int value);
int code4safety(Code4* engine, int value);
// Bytes of memory an index of a table opened or created afterwards may hold for the keys
// of appended records (16 MiB by default); more go to sorted runs in temporary
// files beside the index. Returns the old value.
long code4indexMemory(Code4* engine, long bytes);

// --- files ---------------------------------------------------------------------------
// A cursor of this engine that has the named file open (compared by full path), else null.
Data4* code4data(Code4* engine, const char* name);
Data4* d4open(Code4* engine, const char* name);
Data4* d4openClone(Data4* data);  // a second cursor over the same open file
int d4close(Data4* data);         // closes the cursor; the file when it was the last one
Data4* d4create(Code4* engine, const char* name, const Field4Info* fields, const Tag4Info* tags);
Index4* i4open(Data4* data, const char* name);  // name null: the production index
Index4* i4create(Data4* data, const char* name, const Tag4Info* tags);  // replaces the index
Tag4Info* i4tagInfo(Index4* index);  // freed with u4freeDefault
void u4freeDefault(Tag4Info* list);
void u4freeDefault(Expr4* expr);

// --- tags and position ---------------------------------------------------------------
Tag4* d4tagDefault(Data4* data);          // the first tag, or null
Tag4* d4tagNext(Data4* data, Tag4* tag);  // tag null: the first; null after the last
Tag4* d4tag(Data4* data, const char* name);
void d4tagSelectP(Data4* data, Tag4* tag);  // null: record order
const char* t4exprCB(Tag4* tag);
const char* t4alias(Tag4* tag);
int d4top(Data4* data);
int d4bottom(Data4* data);
int d4skip(Data4* data, long count);  // r4eof past the end, r4bof before the start
int d4goLow(Data4* data, long recno, int go_for_write);
int d4eof(Data4* data);  // > 0 at the end
int d4bof(Data4* data);  // > 0 at the top
long d4recNoLow(Data4* data);
long d4recCountDo(Data4* data);
int d4refresh(Data4* data);
int d4deleted(Data4* data);  // 0: live
int d4seek(Data4* data, const char* key);
int d4seekNext(Data4* data, const char* key);

// --- fields --------------------------------------------------------------------------
short d4numFields(Data4* data);
Field4* d4fieldJ(Data4* data, short j);  // j from 1
Field4* d4field(Data4* data, const char* name);
const char* f4name(Field4* field);
int f4type(Field4* field);
int f4len(Field4* field);
int f4decimals(Field4* field);
char* f4str(Field4* field);  // the field's bytes in the record buffer (not terminated)
unsigned long f4memoLen(Field4* field);
const char* f4memoStr(Field4* field);  // the memo of the current record (or its pending new text)
int f4memoAssignN(Field4* field, const char* text, unsigned long len);
char* d4recordLow(Data4* data);  // the record buffer: deletion flag, then the fields
unsigned long d4recWidthLow(Data4* data);

// --- expressions ---------------------------------------------------------------------
Expr4* expr4parseLow(Data4* data, const char* text, void* reserved);
int expr4typeCB(Expr4* expr);  // 'C', 'N', 'D', 'L'
int expr4len(Expr4* expr);
const char* expr4str(Expr4* expr);  // the value of a character expression, for the current record
int expr4double2(Expr4* expr, double* value);
int expr4true(Expr4* expr);  // > 0: true

// --- changes and locks ---------------------------------------------------------------
int d4appendStart(Data4* data, int use_memo_entries);
void d4blank(Data4* data);
// Appended records, new memos and the header are gathered in memory (every cursor of the
// engine sees them at once) and reach the files on d4flush, d4refresh, d4close or when
// 1 MiB has gathered; the index file is written whole on d4flush and d4close.
int d4append(Data4* data);
int d4changed(Data4* data, int flag);  // 1 marks, 0 clears, -5 asks (> 0: changed)
int d4flush(Data4* data);
int d4delete(Data4* data);  // marks the current record deleted
int d4lockInternal(Data4* data, unsigned long recno, char lock_type, int wait);  // 0: locked
int d4unlock(Data4* data);  // writes a changed record, then drops every lock of the file
