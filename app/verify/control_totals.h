#pragma once
// Control totals: the legacy archive's own figures beside those read back from the new base,
// the way an accountant accepts a migration. Each side is read on its own: the legacy
// tables through a fresh set of legacy readers, the new tables through an engine instance
// of their own, apart from anything the run keeps in memory, and without the records
// marked deleted, as any dBASE reader counts. A difference is explained by what the run
// does on purpose (records it skips, values too wide for their field stored as asterisks,
// the count 1 of the goods lines of type-4 documents, the goods lines whose document does
// not exist), each with its amount; what is left is a finding.
//
// The figures:
//   documents (stage 9): count, Summa against DOC.FSUM, nalvalue with its sign against
//     DOC.NSP, as a whole and per legacy document type and year of the document date;
//   payment orders (stage 10): count and Sum against DOC.FSUM, as a whole and per year;
//   goods lines (stage 11): count, Price against GOODS.PRICE, Count against GOODS.FCOUNT;
//   reference books (stages 2 to 8): record counts.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/verify/exact_decimal.h"

namespace ks {

class ConversionReport;

// Why a part of a difference is no fault, and how much it accounts for.
struct ControlExplanation {
  std::string reason;  // UTF-8
  int64_t count = 0;   // records or values
  ExactDecimal amount;  // legacy minus new for these records
};

struct ControlTotal {
  int stage = 0;
  std::string figure;        // "COUNT", "DOC.FSUM", "DOC.NSP", "GOODS.PRICE", "GOODS.FCOUNT"
  std::optional<int> kind;   // the legacy document type of the group (stage 9)
  std::optional<int> year;   // the year of the group (stages 9 and 10)
  ExactDecimal legacy;
  ExactDecimal target;       // read back from the new base
  std::vector<ControlExplanation> explanations;

  bool WholeStage() const { return !kind && !year; }
  ExactDecimal Explained() const;
  ExactDecimal Unexplained() const { return legacy - target - Explained(); }
};

struct ControlTotals {
  // Per stage in run order: the whole-stage item of each figure, then its groups.
  std::vector<ControlTotal> items;

  bool Clean() const;  // nothing unexplained
};

// Reads both sides: the legacy tables of legacy_directory and the new tables of
// database_directory (Windows-1251 paths). The report of the run that wrote the new base
// names the reasons it skipped reference records for. Throws ks::Exception when a legacy
// table cannot be read; a new table that cannot be opened counts as empty.
ControlTotals ComputeControlTotals(const std::string& legacy_directory, const std::string& database_directory,
                                   const ConversionReport& report);

}  // namespace ks
