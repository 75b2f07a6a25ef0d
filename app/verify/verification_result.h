#pragma once
// What the read-back check of a new database found: per table the records the file holds
// against those the run wrote, and every discrepancy with the file and the place it was
// found. Plain data, so that the report can keep it and show it in any form.
//
// Texts are Windows-1251 like everything in the data layer.

#include <cstdint>
#include <string>
#include <vector>

namespace ks {

struct TableVerification {
  std::string file;              // the table file's name in the directory ("doc.dbf")
  bool opened = false;           // the engine could open it
  int64_t expected_records = 0;  // what the run wrote into it
  int64_t records = 0;           // what its header counts
  int64_t records_read = 0;      // records whose fields were read and checked
  int64_t memos = 0;             // memo pointers followed into the memo file
  int64_t discrepancies = 0;     // found in this table or in its memo file
};

struct VerificationFinding {
  std::string file;   // the file the fault lies in ("doc.fpt")
  std::string where;  // "запись 17, поле FSUM"; empty for the file as a whole
  std::string what;   // what is wrong there
};

// Findings kept in the list; beyond this only the count grows.
inline constexpr size_t kVerificationFindingLimit = 100;

struct DatabaseVerification {
  std::vector<TableVerification> tables;
  std::vector<VerificationFinding> findings;  // the first kVerificationFindingLimit
  int64_t discrepancies = 0;                  // all of them

  bool Clean() const { return discrepancies == 0; }
  int64_t Records() const {
    int64_t total = 0;
    for (const TableVerification& table : tables) total += table.records_read;
    return total;
  }
};

}  // namespace ks
