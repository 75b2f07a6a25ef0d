#pragma once
// The legacy tables of the two data modules, each made with its table name and declared
// fields, and the structure probe that lets older databases lacking some fields convert
// with blank values.

#include <string>
#include <vector>

#include "legacy/legacy_table.h"

namespace ks {

// The reference books, owned by the dictionary data module.
struct TLegacyDictTables {
  TLegacyDictTables();
  std::vector<TLegacyTable*> Tables();

  TLegacyTable tblGroup{"tblGroup"};
  TLegacyTable tblCountry{"tblCountry"};
  TLegacyTable tblFirmRef{"tblFirmRef"};
  TLegacyTable tblModel{"tblModel"};
  TLegacyTable tblVol{"tblVol"};
  TLegacyTable tblPeople{"tblPeople"};
};

// The archives and the probe table, owned by the main data module. They share the chains
// of the files walked: the large archives are opened by the probe and by their stages.
struct TLegacyMainTables {
  TLegacyMainTables();
  // The tables the stages read; tblCheck is not among them.
  std::vector<TLegacyTable*> Tables();

  TLegacyTable tblTemplate{"tblTemplate"};
  TLegacyTable tblDocument{"tblDocument"};
  TLegacyTable tblMain{"tblMain"};
  TLegacyTable tblFullstorage{"tblFullstorage"};
  TLegacyTable tblCheck{"tblCheck"};
  // Cleared at the start of each run, which walks every file afresh.
  ParadoxChainCache chains;
};

// Declares the table name and fields of the legacy table with that component name
// ("tblDocument"); false for an unknown name.
bool DeclareLegacyTable(TLegacyTable& table);

// Points every table (tblCheck included) at the legacy directory.
void SetLegacyDirectory(TLegacyDictTables& dict, TLegacyMainTables& main, const std::string& dir);

// Opens check on each table's name in turn and marks every declared field the real table
// lacks as absent (and every present one as present again); check is closed afterwards,
// also when a table cannot be opened.
void ProbeLegacyStructure(TLegacyTable& check, const std::vector<TLegacyTable*>& tables);

}  // namespace ks
