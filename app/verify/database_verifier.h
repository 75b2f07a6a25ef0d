#pragma once
// The read-back check of a new database: every table is opened again through the engine,
// apart from anything the run keeps in memory, and read record by record. A table must
// open and hold as many records as the run wrote; every numeric field must read as a
// number or blanks (or the overflow mark of asterisks the run writes deliberately), every
// date as a date, "00000000" or blanks, every logical as T, F, ? or blank; every memo
// pointer must lead to a sound block of the memo file; and every counter row of LINES must
// lie above every UID of the table it counts. The files are only read.

#include <cstdint>
#include <string>
#include <vector>

#include "app/verify/verification_result.h"

namespace ks {

class ConversionReport;

struct ExpectedTable {
  std::string file;  // the table file name as created ("DOC.dbf"); found in any case
  int64_t records = 0;
};

// Checks the tables of directory (Windows-1251 path).
DatabaseVerification VerifyDatabase(const std::string& directory, const std::vector<ExpectedTable>& tables);

// Every table the schema creates, with the records the run's report says it wrote into it.
std::vector<ExpectedTable> TablesWrittenByRun(const ConversionReport& report);

// The summary line for standard error, then one line per finding kept (UTF-8).
std::vector<std::string> VerificationLines(const DatabaseVerification& verification);

}  // namespace ks
