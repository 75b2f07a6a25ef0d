#include "app/verify/database_verifier.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "app/report/conversion_report.h"
#include "common/codepage.h"
#include "common/file.h"
#include "common/non_copyable.h"
#include "common/russian_plural.h"
#include "db/database_files.h"
#include "db/engine/cb_errors.h"
#include "db/engine/xbase/table_files.h"
#include "db/engine/xbase/xbase.h"
#include "legacy/legacy_alias.h"
#include "resources/metadata_load.h"

namespace ks {
namespace {

// ---- what a field may hold ------------------------------------------------------------

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllOf(const char* p, int len, char c) {
  for (int i = 0; i < len; ++i) {
    if (p[i] != c) return false;
  }
  return true;
}

// A number right-aligned in its field: blanks, an optional minus, digits with at most one
// point. All blanks is no value; all asterisks the mark of a number too wide for the field.
bool IsNumberText(const char* p, int len) {
  int i = 0;
  while (i < len && p[i] == ' ') ++i;
  if (i == len || AllOf(p, len, '*')) return true;
  if (p[i] == '-') ++i;
  int digits = 0;
  bool point = false;
  for (; i < len; ++i) {
    if (IsDigit(p[i])) {
      ++digits;
    } else if (p[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits > 0;
}

int Digits(const char* p, int n) {
  int value = 0;
  for (int i = 0; i < n; ++i) value = value * 10 + (p[i] - '0');
  return value;
}

// YYYYMMDD of a real day, "00000000" or blanks.
bool IsDateText(const char* p) {
  if (AllOf(p, 8, ' ') || AllOf(p, 8, '0')) return true;
  for (int i = 0; i < 8; ++i) {
    if (!IsDigit(p[i])) return false;
  }
  const int year = Digits(p, 4), month = Digits(p + 4, 2), day = Digits(p + 6, 2);
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return !(month == 2 && day == 29 && !leap);
}

bool IsLogicalText(char c) { return c == 'T' || c == 'F' || c == '?' || c == ' '; }

// The value of an integer field (UID, NEXTUID) that passed IsNumberText; false for no value.
bool IntegerValue(const char* p, int len, int64_t& value) {
  int i = 0;
  while (i < len && p[i] == ' ') ++i;
  if (i == len || p[i] == '*') return false;
  const bool negative = p[i] == '-';
  if (negative) ++i;
  value = 0;
  for (; i < len && IsDigit(p[i]); ++i) value = value * 10 + (p[i] - '0');
  if (negative) value = -value;
  return true;
}

// A memo pointer: blanks for no memo, else a block number right-aligned in digits.
bool MemoBlock(const char* p, int len, bool& none, int64_t& block) {
  int i = 0;
  while (i < len && p[i] == ' ') ++i;
  none = i == len;
  if (none) return true;
  block = 0;
  for (; i < len; ++i) {
    if (!IsDigit(p[i])) return false;
    block = block * 10 + (p[i] - '0');
  }
  return true;
}

// The field's bytes for a message: control characters shown as "?", cut after 20.
std::string Shown(const char* p, int len) {
  std::string text(p, std::min(len, 20));
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  }
  return "\"" + text + (len > 20 ? "...\"" : "\"");
}

std::string EngineFault(int code) {
  const std::string meaning = EngineCodeMeaning(code);
  return meaning.empty() ? EngineCodeText(code) : meaning;
}

// What is wrong with a file's size, with the size it needs and the size it has.
std::string SizeMismatch(const std::string& what, const xbase::TableFileFault& fault) {
  return what + W(": нужно ") + std::to_string(fault.expected) + W(" байт, а в файле ") + std::to_string(fault.found);
}

// A fault of a table's files as the check reports it: the file's name and what is wrong.
VerificationFinding Described(const xbase::TableFileFault& fault, const std::string& directory) {
  const std::string name = fault.file.substr(directory.size());
  switch (fault.kind) {
    case xbase::TableFileFault::Kind::kMissingIndex:
      return {name, "", W("заголовок таблицы называет индексный файл, которого нет")};
    case xbase::TableFileFault::Kind::kRecordCount:
      return {name, "", SizeMismatch(W("число записей в заголовке не сходится с размером файла"), fault)};
    case xbase::TableFileFault::Kind::kNoEndMark:
      return {name, "", W("нет метки конца файла после последней записи")};
    case xbase::TableFileFault::Kind::kMemoNextFree:
      return {name, "", SizeMismatch(W("первый свободный блок лежит за концом файла"), fault)};
  }
  return {name, "", ""};
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

std::string MemoFileName(const std::string& dbf_name) { return dbf_name.substr(0, dbf_name.size() - 3) + "fpt"; }

// ---- the check ------------------------------------------------------------------------

struct Field {
  Field4* handle;
  const char* bytes;  // in the cursor's record buffer, which every record is read into
  char type;
  int len;
  std::string name;
};

struct CounterRow {
  std::string table;  // TBLNAME, trailing blanks cut
  int64_t next_uid = 0;
  int64_t recno = 0;
};

// What the check of one table found.
struct TableCheck {
  TableVerification table;
  std::vector<VerificationFinding> findings;  // the first kVerificationFindingLimit
  std::vector<CounterRow> counter_rows;       // of LINES
  std::optional<int64_t> largest_uid;
};

class Verifier : NonCopyable {
 public:
  Verifier() : engine_(code4initP()) {}
  ~Verifier() { code4initUndo(engine_); }

  // The tables are read in two parts at once, the second by a verifier of its own on a
  // thread; the results come together in the tables' order, as if read one by one.
  DatabaseVerification Run(const std::string& directory, const std::vector<ExpectedTable>& tables) {
    const std::string dir = WithTrailingDelimiter(directory);
    std::vector<TableCheck> checks(tables.size());
    const std::vector<bool> second_part = SplitBySize(dir, tables);
    Verifier other;
    std::exception_ptr failure;
    std::thread second([&] {
      try {
        for (size_t i = 0; i < tables.size(); ++i) {
          if (second_part[i]) checks[i] = other.CheckTable(dir, tables[i]);
        }
      } catch (...) {
        failure = std::current_exception();
      }
    });
    try {
      for (size_t i = 0; i < tables.size(); ++i) {
        if (!second_part[i]) checks[i] = CheckTable(dir, tables[i]);
      }
    } catch (...) {
      second.join();
      throw;
    }
    second.join();
    if (failure) std::rethrow_exception(failure);
    for (TableCheck& check : checks) Absorb(check);
    CheckCounters();
    return std::move(result_);
  }

 private:
  // Which tables the second part reads: about half the bytes, the largest tables spread.
  static std::vector<bool> SplitBySize(const std::string& dir, const std::vector<ExpectedTable>& tables) {
    std::vector<std::pair<int64_t, size_t>> sizes;
    for (size_t i = 0; i < tables.size(); ++i) {
      const std::string path = FindFileIgnoringCase(dir, tables[i].file);
      File file;
      sizes.emplace_back(!path.empty() && file.Open(path, File::Mode::kReadOnly) ? file.Size() : 0, i);
    }
    std::sort(sizes.begin(), sizes.end(), std::greater<>());
    std::vector<bool> second(tables.size(), false);
    int64_t first_bytes = 0, second_bytes = 0;
    for (const auto& [size, i] : sizes) {
      second[i] = second_bytes < first_bytes;
      (second[i] ? second_bytes : first_bytes) += std::max<int64_t>(size, 0);
    }
    return second;
  }

  void Absorb(TableCheck& check) {
    result_.tables.push_back(check.table);
    result_.discrepancies += check.table.discrepancies;
    for (VerificationFinding& finding : check.findings) {
      if (result_.findings.size() < kVerificationFindingLimit) result_.findings.push_back(std::move(finding));
    }
    counter_rows_.insert(counter_rows_.end(), check.counter_rows.begin(), check.counter_rows.end());
    if (check.largest_uid) largest_uids_[Lower(check.table.file)] = *check.largest_uid;
  }

  void Find(TableCheck& check, const std::string& file, const std::string& where, const std::string& what) {
    ++check.table.discrepancies;
    if (check.findings.size() < kVerificationFindingLimit) check.findings.push_back({file, where, what});
  }
  // A finding of the counters, made once every table is in the result.
  void Find(TableVerification& table, const std::string& file, const std::string& where, const std::string& what) {
    ++table.discrepancies;
    ++result_.discrepancies;
    if (result_.findings.size() < kVerificationFindingLimit) result_.findings.push_back({file, where, what});
  }

  static std::string At(int64_t recno, const std::string& field = std::string()) {
    return W("запись ") + std::to_string(recno) + (field.empty() ? "" : W(", поле ") + field);
  }

  TableCheck CheckTable(const std::string& directory, const ExpectedTable& expected) {
    TableCheck check;
    TableVerification& table = check.table;
    const std::string path = FindFileIgnoringCase(directory, expected.file);
    table.file = path.empty() ? Lower(expected.file) : path.substr(directory.size());
    table.expected_records = expected.records;
    if (path.empty()) {
      Find(check, table.file, "", W("файл таблицы не найден"));
      return check;
    }

    code4errorCode(engine_, 0);
    Data4* data = d4open(engine_, path.c_str());
    if (data == nullptr) {
      Find(check, table.file, "", WhyNotOpened(path, table.file, code4errorCode(engine_, 0)));
      return check;
    }
    table.opened = true;
    // What a reader meets beside the records: the index the header claims, the end of the
    // records, the memo file's free space.
    std::vector<xbase::TableFileFault> faults;
    if (const int code = xbase::InspectTableFiles(path, &faults); code != 0) {
      Find(check, table.file, "", W("файлы таблицы не читаются: ") + EngineFault(code));
    }
    for (const xbase::TableFileFault& fault : faults) {
      const VerificationFinding finding = Described(fault, directory);
      Find(check, finding.file, finding.where, finding.what);
    }
    table.records = d4recCountDo(data);
    if (table.records != table.expected_records) {
      Find(check, table.file, "",
           W("в файле " + CountOf(table.records, "запись", "записи", "записей") + ", а преобразование записало ") +
               std::to_string(table.expected_records));
    }
    ReadRecords(data, check);
    d4close(data);
    code4errorCode(engine_, 0);
    return check;
  }

  // Why the engine refused a table: what the header promises against what the file holds,
  // when that is the fault.
  std::string WhyNotOpened(const std::string& path, const std::string& file_name, int code) {
    if (code == e4fileFind) {
      return W("таблица не открывается: нет файла ") + MemoFileName(file_name) + W(" с текстами полей memo");
    }
    // The engine's own reading of the header says how many records it promises.
    xbase::DbfHeader header;
    File file;
    if (code == e4data && xbase::ReadTableHeader(path, &header) == 0 && file.Open(path, File::Mode::kReadOnly)) {
      const int64_t size = file.Size();
      const uint64_t needed = header.DataEnd();
      if (size >= 0 && needed > uint64_t(size)) {
        const uint64_t room = uint64_t(size) > header.header_length
                                  ? (uint64_t(size) - header.header_length) / header.record_width
                                  : 0;
        return W("файл обрезан: заголовок называет " +
                 CountOf(int64_t(header.record_count), "запись", "записи", "записей") + " (") +
               std::to_string(needed) + W(" байт), а в файле ") + std::to_string(size) + W(" байт, место для ") +
               std::to_string(room);
      }
    }
    return W("таблица не открывается: ") + EngineFault(code);
  }

  void ReadRecords(Data4* data, TableCheck& check) {
    TableVerification& table = check.table;
    std::vector<Field> fields;
    for (short j = 1; j <= d4numFields(data); ++j) {
      Field4* f = d4fieldJ(data, j);
      fields.push_back({f, f4str(f), static_cast<char>(f4type(f)), f4len(f), f4name(f)});
    }
    const Field* uid = nullptr;
    const Field* tblname = nullptr;
    const Field* next_uid = nullptr;
    for (const Field& f : fields) {
      if (f.name == "UID" && f.type == 'N') uid = &f;
      if (f.name == "TBLNAME" && f.type == 'C') tblname = &f;
      if (f.name == "NEXTUID" && f.type == 'N') next_uid = &f;
    }
    const bool is_counter_table = SameIgnoringCase(table.file, "lines.dbf") && tblname && next_uid;
    const char* record = d4recordLow(data);
    const std::string memo_file = MemoFileName(table.file);

    int64_t largest_uid = 0;
    bool any_uid = false;
    int rc = d4top(data);
    for (; rc == 0 && d4eof(data) <= 0; rc = d4skip(data, 1)) {
      const int64_t recno = d4recNoLow(data);
      ++table.records_read;
      if (record[0] != ' ' && record[0] != '*') {
        Find(check, table.file, At(recno), W("метка удаления не пробел и не \"*\": ") + Shown(record, 1));
      }
      for (const Field& f : fields) {
        switch (f.type) {
          case 'N':
          case 'F':
            if (!IsNumberText(f.bytes, f.len)) {
              Find(check, table.file, At(recno, f.name), W("не число: ") + Shown(f.bytes, f.len));
            }
            break;
          case 'D':
            // A damaged header may give a date field another width.
            if (f.len != 8 || !IsDateText(f.bytes)) {
              Find(check, table.file, At(recno, f.name), W("не дата: ") + Shown(f.bytes, f.len));
            }
            break;
          case 'L':
            if (!IsLogicalText(f.bytes[0])) {
              Find(check, table.file, At(recno, f.name), W("не логическое значение: ") + Shown(f.bytes, 1));
            }
            break;
          case 'M':
            CheckMemo(f, recno, check, memo_file);
            break;
        }
      }
      int64_t value = 0;
      if (uid && IntegerValue(uid->bytes, uid->len, value) && IsNumberText(uid->bytes, uid->len)) {
        largest_uid = any_uid ? std::max(largest_uid, value) : value;
        any_uid = true;
      }
      if (is_counter_table && IntegerValue(next_uid->bytes, next_uid->len, value)) {
        std::string name(tblname->bytes, tblname->len);
        name.erase(name.find_last_not_of(' ') + 1);
        check.counter_rows.push_back({name, value, recno});
      }
    }
    if (rc < 0 || table.records_read != table.records) {
      const int code = code4errorCode(engine_, 0);
      Find(check, table.file, At(table.records_read + 1),
           W("чтение прервано: ") + EngineFault(rc < 0 ? rc : code != 0 ? code : e4read));
    }
    if (any_uid) check.largest_uid = largest_uid;
  }

  void CheckMemo(const Field& f, int64_t recno, TableCheck& check, const std::string& memo_file) {
    TableVerification& table = check.table;
    bool none = false;
    int64_t block = 0;
    if (!MemoBlock(f.bytes, f.len, none, block)) {
      return Find(check, table.file, At(recno, f.name), W("указатель memo не число: ") + Shown(f.bytes, f.len));
    }
    if (none) return;
    ++table.memos;
    code4errorCode(engine_, 0);
    f4memoLen(f.handle);
    if (const int code = code4errorCode(engine_, 0); code != 0) {
      Find(check, memo_file, W("блок ") + std::to_string(block) + " (" + table.file + ", " + At(recno, f.name) + ")",
           code == e4data ? W("указатель ведёт за пределы файла или заголовок блока повреждён")
                          : EngineFault(code));
    }
  }

  // Each counter row of LINES must lie above every UID of the table it counts.
  void CheckCounters() {
    TableVerification* lines = nullptr;
    for (TableVerification& table : result_.tables) {
      if (SameIgnoringCase(table.file, "lines.dbf")) lines = &table;
    }
    if (lines == nullptr) return;
    for (const CounterRow& row : counter_rows_) {
      if (SameIgnoringCase(row.table, "VERSION")) continue;
      const std::string counted = Lower(row.table);
      bool known = false;
      for (const TableVerification& table : result_.tables) known = known || Lower(table.file) == counted;
      if (!known) {
        Find(*lines, lines->file, At(row.recno, "TBLNAME"), W("счётчик таблицы, которой нет: ") + row.table);
        continue;
      }
      const auto largest = largest_uids_.find(counted);
      if (largest != largest_uids_.end() && row.next_uid <= largest->second) {
        Find(*lines, lines->file, At(row.recno, "NEXTUID"),
             W("счётчик ") + row.table + " = " + std::to_string(row.next_uid) +
                 W(" не выше наибольшего UID этой таблицы, ") + std::to_string(largest->second));
      }
    }
  }

  Code4* engine_;
  DatabaseVerification result_;
  std::vector<CounterRow> counter_rows_;
  std::map<std::string, int64_t> largest_uids_;  // lower-case table file name -> largest UID
};

// 1258046 -> "1 258 046".
std::string Grouped(int64_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  const size_t first = digits[0] == '-' ? 1 : 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > first && (digits.size() - i) % 3 == 0) out += ' ';
    out += digits[i];
  }
  return out;
}

}  // namespace

DatabaseVerification VerifyDatabase(const std::string& directory, const std::vector<ExpectedTable>& tables) {
  return Verifier().Run(directory, tables);
}

std::vector<ExpectedTable> TablesWrittenByRun(const ConversionReport& report) {
  std::vector<ExpectedTable> tables;
  const TqrxTableDefs& defs = MetadataRoot().TableDefs();
  for (const TqrxTableDef& def : defs) {
    if (def.IsMemory()) continue;
    ExpectedTable table{def.Name() + ".dbf", 0};
    for (const StageCounts& stage : report.Stages()) {
      if (SameIgnoringCase(stage.target, table.file)) table.records += stage.written;
    }
    if (SameIgnoringCase(table.file, "LINES.dbf")) table.records += report.CounterRows();
    tables.push_back(table);
  }
  return tables;
}

std::vector<std::string> VerificationLines(const DatabaseVerification& verification) {
  const int64_t tables = static_cast<int64_t>(verification.tables.size());
  const int64_t records = verification.Records();
  const int64_t n = verification.discrepancies;
  std::string summary = "Проверка новой базы: " + std::to_string(tables) + " " +
                        RussianPlural(tables, "таблица", "таблицы", "таблиц") + ", " + Grouped(records) + " " +
                        RussianPlural(records, "запись", "записи", "записей") + ", ";
  if (n == 0) return {summary + "расхождений нет"};
  std::vector<std::string> lines{summary + Grouped(n) + " " +
                                 RussianPlural(n, "расхождение", "расхождения", "расхождений") + ":"};
  for (const VerificationFinding& finding : verification.findings) {
    lines.push_back("  " + Cp1251ToUtf8(finding.file) + (finding.where.empty() ? "" : ", " + Cp1251ToUtf8(finding.where)) +
                    ": " + Cp1251ToUtf8(finding.what));
  }
  if (static_cast<int64_t>(verification.findings.size()) < n) {
    lines.push_back("  ... и ещё " + Grouped(n - static_cast<int64_t>(verification.findings.size())));
  }
  return lines;
}

}  // namespace ks
