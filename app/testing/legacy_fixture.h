#pragma once
// Small legacy databases for the conversion tests: the ten Paradox tables with the field
// names and kinds the converter reads, each filled with the few records a test chooses.

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "tools/paradox_writer.h"

namespace ks::testing {

// Fills one table: set the values of a record through the writer, then Append(); repeat.
using RecordFiller = std::function<void(ParadoxTableWriter&)>;

// Sets the identifier and the type of the Document record being filled.
void SetDocument(ParadoxTableWriter& w, int32_t id, int32_t type);

struct LegacyFixture {
  RecordFiller group, country, firm_ref, model, vol, people, templates, document, main, fullstorage;

  // Fields left out of the tables written, as "Table.Field" ("Document.NDS"): an older
  // database that lacks them. The fillers must not set them.
  std::set<std::string> omitted_fields;
  // Tables not written at all, by table name ("Main").
  std::set<std::string> omitted_tables;

  // Writes every table into dir (which must exist); a table without a filler is empty.
  void Write(const std::string& dir) const;
};

}  // namespace ks::testing
