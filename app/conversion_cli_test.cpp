// The conversion run through ksconvert-cli, on a generated demo database: the same tables
// as the core writes, the log on standard output, and the exit codes of the paths that
// must touch nothing.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "app/converter.h"
#include "app/run/stage_target.h"
#include "app/startup.h"
#include "app/testing/cli_run.h"
#include "app/testing/conversion_fixture.h"
#include "app/testing/target_tables.h"
#include "common/codepage.h"
#include "common/testing/decimal_comma_locale.h"
#include "common/testing/temp_dir.h"
#include "tools/legacy_db_generator.h"

namespace ks {
namespace {

using testing::TargetTables;

using testing::CliResult;
using testing::ReadAll;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ConversionCliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testing::LoadMetadataOnce();
    legacy_dir_ = new testing::TempDir;
    LegacyDbSize size;
    size.documents = 60;
    size.lines = 240;
    size.payments = 12;
    GenerateLegacyDb(legacy_dir_->Path(), size);
  }
  static void TearDownTestSuite() {
    delete legacy_dir_;
    legacy_dir_ = nullptr;
  }

  std::string Legacy() const { return legacy_dir_->Path(); }

  // Runs the program with standard input from /dev/null: there is no terminal to ask.
  CliResult RunCli(const std::string& args) const { return testing::RunCli(args, dir_.Path()); }

  static testing::TempDir* legacy_dir_;
  testing::TempDir dir_;
};

testing::TempDir* ConversionCliTest::legacy_dir_ = nullptr;

TEST_F(ConversionCliTest, WritesWhatTheCoreWritesAndLogsTheRunOnStandardOutput) {
  const std::string by_core = dir_.Path() + "core/";
  testing::RecordingWindow window;
  {
    Converter converter;
    converter.SetLegacyDirectory(Legacy());
    converter.TakeDatabasePath(by_core);
    ASSERT_TRUE(converter.Run(window));
  }
  const std::string by_cli = dir_.Path() + "cli/";
  const CliResult cli = RunCli("--legacy '" + Legacy() + "' --database '" + by_cli + "' --yes");
  ASSERT_EQ(cli.exit_code, 0) << cli.err;
  // No terminal: no progress bar; at most the warnings under their heading, then the
  // read-back check of the new database.
  const std::vector<std::string> err = SplitLines(cli.err);
  ASSERT_FALSE(err.empty());
  if (err.size() > 1) {
    EXPECT_EQ(err[0], "Предупреждения:") << cli.err;
  }
  // Then the control totals, which all agree or are explained.
  const auto check = std::find_if(err.begin(), err.end(),
                                  [](const std::string& line) { return line.rfind("Проверка новой базы: ", 0) == 0; });
  ASSERT_NE(check, err.end()) << cli.err;
  EXPECT_EQ(check->rfind("Проверка новой базы: 14 таблиц, ", 0), 0u) << cli.err;
  EXPECT_EQ(check->substr(check->rfind(", ")), ", расхождений нет") << cli.err;
  ASSERT_NE(check + 1, err.end()) << cli.err;
  EXPECT_EQ(check[1], "Контрольные суммы (прежний архив / новая база):");
  EXPECT_EQ(cli.err.find("не сходится"), std::string::npos) << cli.err;
  const std::vector<std::string> lines = SplitLines(cli.out);
  // The log on standard output stays as it was; the window's ends with the warnings.
  EXPECT_EQ(testing::Joined(lines), testing::Joined(testing::ExpectedLog(testing::DeletionLines(lines))));
  EXPECT_EQ(testing::Joined(window.lines),
            testing::Joined(
                testing::ExpectedLog(testing::DeletionLines(window.lines), testing::LoggedWarnings(window.lines))));

  const TargetTables core(by_core);
  const TargetTables target(by_cli);
  EXPECT_EQ(target.Dump(), core.Dump());
  EXPECT_TRUE(testing::FilesEndingWith(by_cli, ".cdx").empty());
  for (const std::string& table : testing::FilesEndingWith(by_cli, ".dbf")) {
    EXPECT_EQ(testing::HeaderFlags(by_cli + table) & 0x01, 0) << table;
  }

  // What holds of any legacy database: goods lines one for one, payment orders numbered
  // consecutively above every document and every document a goods line names, the DOC
  // counter above them, and each document kind with its property keys in order.
  const auto& goods = target.Records("goods.dbf");
  EXPECT_EQ(goods.size(), 240u);
  double highest_named = 0;
  for (const auto& line : goods) highest_named = std::max(highest_named, line["DOCID"].number);
  double highest_document = 0;
  std::vector<double> payment_uids;
  const std::map<std::string, std::string> keys = {
      {"50", "BASIS=CAPTION="},
      {"60", "BASENUM=BASEDATE=ADDSTR=FIRMPROP=PARTPROP="},
      {"80", "NOTE="},
      {"40", "NOTE=FIRMPROP=PARTPROP="},
      {"20", "PRICE=NDS=BASIS=SOLID=TAXPART="},
      {"10", "PRICE=NDS=PURPOSE=PAYTYPE=PAYDATE=NDSSTR=PAYKIND=PAYORD=PAYCODE="}};
  std::set<double> uids;
  for (const auto& doc : target.Records("doc.dbf")) {
    const std::string kind = TargetTables::Value(doc["FTYPE"]);
    EXPECT_TRUE(uids.insert(doc["UID"].number).second) << "UID repeated: " << doc["UID"].number;
    if (kind == "10") {
      payment_uids.push_back(doc["UID"].number);
    } else {
      highest_document = std::max(highest_document, doc["UID"].number);
    }
    // Every line is KEY=value with a known kind letter; no line break inside a value.
    std::string found;
    for (const std::string& line : SplitLines(TargetTables::MemoText(doc, "FCOMPLEX"))) {
      const size_t equals = line.find('=');
      ASSERT_NE(equals, std::string::npos) << line;
      found += line.substr(0, equals + 1);
      const std::string value = line.substr(equals + 1, line.back() == '\r' ? line.size() - equals - 2 : std::string::npos);
      ASSERT_FALSE(value.empty());
      EXPECT_NE(std::string("CFDB").find(value[0]), std::string::npos) << line;
    }
    ASSERT_EQ(keys.count(kind), 1u) << kind;
    EXPECT_EQ(found, keys.at(kind));
  }
  ASSERT_EQ(payment_uids.size(), 12u);
  const double base = std::max({1000.0, highest_document, highest_named});
  EXPECT_GT(payment_uids.front(), base);
  for (size_t i = 0; i < payment_uids.size(); ++i) EXPECT_EQ(payment_uids[i], payment_uids.front() + i);
  double doc_counter = 0;
  for (const auto& row : target.Records("lines.dbf")) {
    if (row["TBLNAME"].text == "Doc.dbf") doc_counter = row["NEXTUID"].number;
  }
  EXPECT_EQ(doc_counter, payment_uids.back() + 1);
}

// Every file of a directory by name, with its bytes.
std::map<std::string, std::string> FilesOf(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    files[entry.path().filename().string()] = ReadAll(entry.path().string());
  }
  return files;
}

TEST_F(ConversionCliTest, AProcessUnderADecimalCommaLocaleWritesTheSameBytes) {
  // The window program runs under its users' locale; here the whole process does, with the
  // schema loaded anew under it, and the command line (under "C") is the reference.
  const std::string by_core = dir_.Path() + "comma/";
  {
    testing::DecimalCommaLocale locale;
    ASSERT_TRUE(locale.Active());
    LoadProcessMetadata();
    testing::RecordingWindow window;
    Converter converter;
    converter.SetLegacyDirectory(Legacy());
    converter.TakeDatabasePath(by_core);
    ASSERT_TRUE(converter.Run(window));
  }
  LoadProcessMetadata();
  const std::string by_cli = dir_.Path() + "c/";
  const CliResult cli = RunCli("--legacy '" + Legacy() + "' --database '" + by_cli + "' --yes");
  ASSERT_EQ(cli.exit_code, 0) << cli.err;
  const auto expected = FilesOf(by_cli);
  const auto written = FilesOf(by_core);
  ASSERT_EQ(written.size(), expected.size());
  for (const auto& [name, bytes] : expected) {
    ASSERT_EQ(written.count(name), 1u) << name;
    EXPECT_TRUE(written.at(name) == bytes) << name << " differs";
  }
}

TEST_F(ConversionCliTest, TablesInCodePage866ConvertLikeTheirWindowsTwins) {
  // The same demo database written as an installation begun under DOS keeps it: texts and
  // memos in 866, the headers saying so.
  const std::string legacy_866 = dir_.Path() + "legacy866/";
  LegacyDbSize size;
  size.documents = 60;
  size.lines = 240;
  size.payments = 12;
  GenerateLegacyDb(legacy_866, size, 866);

  const CliResult check = RunCli("--legacy '" + legacy_866 + "' --database '" + dir_.Path() + "none/' --check --report '" +
                                 dir_.Path() + "check.json'");
  ASSERT_EQ(check.exit_code, 0) << check.err;
  EXPECT_NE(check.out.find("legacy table Document: code page 866 (named by the header), read translated to 1251\n"),
            std::string::npos)
      << check.out;
  EXPECT_EQ(check.err.find("кодовой странице 1251"), std::string::npos) << check.err;  // nothing was lost
  const std::string json = ReadAll(dir_.Path() + "check.json");
  EXPECT_NE(json.find("{\"table\": \"Main\", \"code_page\": 866, \"header_code_page\": 866, \"decided_by\": \"header\""),
            std::string::npos)
      << json;

  const std::string by_1251 = dir_.Path() + "from1251/", by_866 = dir_.Path() + "from866/";
  ASSERT_EQ(RunCli("--legacy '" + Legacy() + "' --database '" + by_1251 + "' --yes").exit_code, 0);
  const CliResult run = RunCli("--legacy '" + legacy_866 + "' --database '" + by_866 + "' --yes");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const auto expected = FilesOf(by_1251);
  const auto written = FilesOf(by_866);
  ASSERT_EQ(written.size(), expected.size());
  size_t replaced = 0;
  for (const auto& [name, bytes] : expected) {
    ASSERT_EQ(written.count(name), 1u) << name;
    const std::string& other = written.at(name);
    ASSERT_EQ(other.size(), bytes.size()) << name;
    // Only characters that 866 cannot hold differ: the DOS tables have "?" there.
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (other[i] == bytes[i]) continue;
      ASSERT_TRUE(MissingIn866(static_cast<unsigned char>(bytes[i])) && other[i] == '?')
          << name << " byte " << i << ": " << int(static_cast<unsigned char>(bytes[i])) << " vs " << int(other[i]);
      ++replaced;
    }
  }
  EXPECT_GT(replaced, 0u);  // the demo texts hold « » and the like

  // A box-drawing character, which 1251 lacks, in a group name: read as "?" and reported.
  std::string group = ReadAll(legacy_866 + "Group.DB");
  const std::string name = AnsiToOem(W("Без группы"));
  const size_t at = group.find(name);
  ASSERT_NE(at, std::string::npos);
  group[at + 3] = static_cast<char>(0xB3);
  std::ofstream(legacy_866 + "Group.DB", std::ios::binary) << group;
  const CliResult lossy = RunCli("--legacy '" + legacy_866 + "' --database '" + dir_.Path() + "none/' --check --report '" +
                                 dir_.Path() + "lossy.json'");
  ASSERT_EQ(lossy.exit_code, 0) << lossy.err;
  EXPECT_NE(lossy.err.find("Group.GroupName (исходная таблица): 1 текст в кодовой странице 866 содержит символы, "
                           "которых нет в кодовой странице 1251; они прочитаны как \"?\"\n"),
            std::string::npos)
      << lossy.err;
  const std::string lossy_json = ReadAll(dir_.Path() + "lossy.json");
  EXPECT_NE(lossy_json.find("\"loss\": \"missing_in_cp1251\", \"width\": 0, \"count\": 1, \"examples\": [{\"legacy_table\": "
                            "\"Group\", \"legacy_id_field\": \"GroupID\", \"legacy_id\": 0"),
            std::string::npos)
      << lossy_json;
}

TEST_F(ConversionCliTest, RefusesWithoutATerminalAndRecreatesWithYes) {
  const std::string db = dir_.Path() + "db/";
  ASSERT_EQ(RunCli("--legacy '" + Legacy() + "' --database '" + db + "'").exit_code, 0);  // empty: no question
  const std::string first = TargetTables(db).Dump();
  const std::string files = testing::DirectorySnapshot(db);

  const CliResult refused = RunCli("--legacy '" + Legacy() + "' --database '" + db + "'");
  EXPECT_EQ(refused.exit_code, 3);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(testing::DirectorySnapshot(db), files);

  const CliResult again = RunCli("--legacy '" + Legacy() + "' --database '" + db + "' --yes");
  EXPECT_EQ(again.exit_code, 0) << again.err;
  EXPECT_EQ(TargetTables(db).Dump(), first);
  EXPECT_NE(testing::DirectorySnapshot(db), files);  // written anew

  // A directory named without its closing "/" loses its indexes as well.
  const CliResult plain = RunCli("--legacy '" + Legacy() + "' --database '" + dir_.Path() + "plain' --yes");
  EXPECT_EQ(plain.exit_code, 0) << plain.err;
  EXPECT_TRUE(testing::FilesEndingWith(dir_.Path() + "plain/", ".cdx").empty());
  EXPECT_EQ(TargetTables(dir_.Path() + "plain/").Dump(), first);
}

TEST_F(ConversionCliTest, MissingLegacyTableFailsWithItsMessageBeforeTheDatabaseIsCreated) {
  const std::string legacy = dir_.Path() + "legacy/";
  std::filesystem::create_directories(legacy);
  for (const auto& entry : std::filesystem::directory_iterator(Legacy())) {
    if (entry.path().filename() != "Document.DB") std::filesystem::copy(entry.path(), legacy);
  }
  const std::string db = dir_.Path() + "new/db/";
  const CliResult result = RunCli("--legacy '" + legacy + "' --database '" + db + "' --yes");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("Document"), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "new"));
}

}  // namespace
}  // namespace ks
