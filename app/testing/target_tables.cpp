#include "app/testing/target_tables.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "common/number_text.h"

namespace ks::testing {
namespace {

std::string ScriptPath() {
  if (const char* source = std::getenv("KS_SOURCE_DIR")) return std::string(source) + "/app/testing/read_target.py";
  const std::string here = __FILE__;
  return here.substr(0, here.rfind('/') + 1) + "read_target.py";
}

std::string Run(const std::string& command) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot start: " + command);
  std::string out;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = ::pclose(pipe);
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("failed: " + command);
  }
  return out;
}

}  // namespace

TargetTables::TargetTables(const std::string& dir) {
  // The Debian interpreter: the one on PATH may lack the Debian modules.
  root_ = ParseJson(Run("/usr/bin/python3 '" + ScriptPath() + "' '" + dir + "'"));
}

bool TargetTables::Has(const std::string& file) const {
  for (const auto& member : root_.members) {
    if (member.first == file) return true;
  }
  return false;
}

const JsonValue& TargetTables::Table(const std::string& file) const { return root_[file]; }

const std::vector<JsonValue>& TargetTables::Records(const std::string& file) const {
  return Table(file)["records"].items;
}

std::vector<std::string> TargetTables::Rows(const std::string& file) const {
  std::vector<std::string> rows;
  for (const JsonValue& record : Records(file)) rows.push_back(Row(Table(file), record));
  return rows;
}

std::vector<std::string> TargetTables::Files() const {
  std::vector<std::string> files;
  for (const auto& member : root_.members) files.push_back(member.first);
  return files;
}

std::string TargetTables::Dump() const {
  std::string dump;
  for (const auto& [file, table] : root_.members) {
    dump += "[" + file + "]\n";
    const std::string& types = table["types"].text;
    const auto& fields = table["fields"].items;
    for (const JsonValue& record : table["records"].items) {
      dump += Row(table, record);
      for (size_t i = 0; i < fields.size() && i < types.size(); ++i) {
        if (types[i] != 'M') continue;
        const JsonValue& memo = record[fields[i].text];
        dump += " | " + fields[i].text + "=" + (memo.IsNull() ? "" : memo["hex"].text);
      }
      dump += "\n";
    }
  }
  return dump;
}

std::string TargetTables::Value(const JsonValue& value) {
  switch (value.kind) {
    case JsonValue::Kind::kNull: return "";
    case JsonValue::Kind::kBool: return value.boolean ? "T" : "F";
    case JsonValue::Kind::kNumber: return FormatGeneral(value.number, 15);
    case JsonValue::Kind::kString: return value.text;
    default: return "?";
  }
}

std::string TargetTables::Row(const JsonValue& table, const JsonValue& record) {
  const std::string& types = table["types"].text;
  const auto& fields = table["fields"].items;
  std::string row;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i < types.size() && types[i] == 'M') continue;
    if (!row.empty()) row += " | ";
    row += fields[i].text + "=" + Value(record[fields[i].text]);
  }
  return row;
}

std::string TargetTables::MemoBytes(const JsonValue& record, const std::string& field) {
  const JsonValue& memo = record[field];
  if (memo.IsNull()) return "";
  const std::string& hex = memo["hex"].text;
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string TargetTables::MemoText(const JsonValue& record, const std::string& field) {
  const JsonValue& memo = record[field];
  return memo.IsNull() ? "" : memo["text"].text;
}

}  // namespace ks::testing
