#pragma once
// The demo legacy database: the ten Paradox tables of the old package, filled with
// plausible Russian trade data from a fixed seed, so that the same sizes always give
// byte-identical files.

#include <string>

namespace ks {

struct LegacyDbSize {
  int documents = 500;  // headers in Document.DB
  int lines = 2500;     // goods lines in FULLSTORAGE.DB
  int payments = 100;   // payment orders in Main.DB
  int goods = 25;       // Model.DB
  int firms = 10;       // FirmRef.DB
  int people = 10;      // People.DB

  // Every count multiplied by `factor`; 400 gives the size of the scale benchmark
  // (200,000 documents, 1,000,000 goods lines, 40,000 payment orders, 10,000 goods,
  // 4,000 firms and 4,000 people).
  static LegacyDbSize Scaled(int factor);
};

// File names of the tables, as the legacy package has them.
inline constexpr const char* kLegacyTables[] = {
    "Group.DB", "Country.DB",  "FirmRef.DB", "Model.DB", "vol.DB",
    "People.DB", "Template.DB", "Document.DB", "Main.DB", "FULLSTORAGE.DB"};
inline constexpr const char* kLegacyBlobFiles[] = {"Template.MB", "Document.MB", "Main.MB"};

// Writes every table into `dir` (created when missing), replacing files of the same names.
// code_page: 1251, or 866 for the tables of an installation that began under DOS (the
// headers name 866 and the texts are stored in it; characters 866 lacks become "?").
// Throws ks::Exception on a bad size or code page or a write failure.
void GenerateLegacyDb(const std::string& dir, const LegacyDbSize& size, int code_page = 1251);

}  // namespace ks
