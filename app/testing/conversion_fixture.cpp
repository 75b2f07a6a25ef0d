#include "app/testing/conversion_fixture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>

#include "app/startup.h"
#include "common/codepage.h"

namespace ks::testing {
namespace fs = std::filesystem;

const char kOverwriteQuestion[] =
    "База данных возможно уже содержит данные. Нажатие кнопки \"пуск\" приведет к их полной потере. "
    "Продолжить?";

void LoadMetadataOnce() {
  static std::once_flag once;
  std::call_once(once, [] { LoadProcessMetadata(); });
}

namespace {

const char* const kTables[] = {"COUNTRY", "CURREXCH", "DOC",    "DUTIES", "FIRM",     "GOODS",   "LINES",
                               "MODEL",   "PEOPLE",   "TGROUP", "TMPLT",  "TVOLUME",  "DOCCRATE", "FIRMREP"};

const char* const kStages[][2] = {
    {"Начало заполнения справочника должностей", "Заполнение справочника должностей успешно завершено"},
    {"Начало копирования справочника групп", "Копирование справочника групп успешно завершено"},
    {"Начало копирования справочника стран", "Копирование справочника стран успешно завершено"},
    {"Начало копирования справочника фирм", "Копирование справочника фирм успешно завершено"},
    {"Начало копирования справочника товаров", "Копирование справочника товаров успешно завершено"},
    {"Начало копирования справочника единиц измерения", "Копирование справочника единиц измерения успешно завершено"},
    {"Начало копирования справочника представителей", "Копирование справочника представителей успешно завершено"},
    {"Начало копирования справочника шаблонов", "Копирование справочника шаблонов успешно завершено"},
    {"Начало копирования архива документов", "Копирование архива документов успешно завершено"},
    {"Начало копирования архива платежных поручений", "Копирование архива платежных поручений успешно завершено"},
    {"Начало копирования товаров", "Копирование товаров успешно завершено"},
};

}  // namespace

std::vector<std::string> CreationLines() {
  std::vector<std::string> lines;
  for (const char* table : kTables) {
    lines.push_back(std::string("Начало создания таблицы ") + table);
    lines.push_back(std::string("Создание таблицы ") + table + " успешно завершено");
    lines.push_back("---");
    lines.push_back("");
  }
  return lines;
}

std::vector<std::string> StageLines(int stage) {
  return {kStages[stage - 1][0], kStages[stage - 1][1], "---", ""};
}

std::vector<std::string> CdxDeletionLines() {
  std::vector<std::string> lines;
  for (const char* table : kTables) lines.push_back("Удаление " + Cp1251ToUtf8(LowerCp1251(table)) + ".cdx");
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> ExpectedLog(const std::vector<std::string>& deletion_lines,
                                     const std::vector<std::string>& warnings) {
  std::vector<std::string> log = CreationLines();
  for (int stage = 1; stage <= 11; ++stage) {
    for (const std::string& line : StageLines(stage)) log.push_back(line);
  }
  for (const char* line : {"Закрытие таблиц", "OK", "", "Удаление индексов", ""}) log.push_back(line);
  for (const std::string& line : deletion_lines) {
    log.push_back(line);
    log.push_back("OK");
    log.push_back("");
  }
  for (const char* line : {"Удаление индексов успешно завершено", "---", "",
                           "Преобразование данных успешно завершено", "---", ""}) {
    log.push_back(line);
  }
  if (!warnings.empty()) {
    log.push_back("");
    log.push_back("Предупреждения:");
    log.insert(log.end(), warnings.begin(), warnings.end());
  }
  return log;
}

std::vector<std::string> LoggedWarnings(const std::vector<std::string>& log) {
  const auto heading = std::find(log.begin(), log.end(), "Предупреждения:");
  return heading == log.end() ? std::vector<std::string>() : std::vector<std::string>(heading + 1, log.end());
}

std::vector<std::string> DeletionLines(const std::vector<std::string>& log) {
  std::vector<std::string> lines;
  for (const std::string& line : log) {
    if (line.rfind("Удаление ", 0) == 0 && line != "Удаление индексов" &&
        line != "Удаление индексов успешно завершено") {
      lines.push_back(line);
    }
  }
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::string DirectorySnapshot(const std::string& dir) {
  if (!fs::exists(dir)) return "<none>";
  std::vector<std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    std::string line = entry.path().string().substr(dir.size());
    if (entry.is_regular_file()) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      line += " " + std::to_string(bytes.size()) + " " + std::to_string(std::hash<std::string>()(bytes)) + " " +
              std::to_string(fs::last_write_time(entry.path()).time_since_epoch().count());
    }
    entries.push_back(line);
  }
  std::sort(entries.begin(), entries.end());
  std::string snapshot;
  for (const std::string& line : entries) snapshot += line + "\n";
  return snapshot;
}

std::vector<std::string> FilesEndingWith(const std::string& dir, const std::string& ext) {
  std::vector<std::string> names;
  if (!fs::exists(dir)) return names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower.size() > ext.size() && lower.compare(lower.size() - ext.size(), ext.size(), ext) == 0) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

int HeaderFlags(const std::string& dbf_path) {
  std::ifstream in(dbf_path, std::ios::binary);
  char header[32] = {};
  in.read(header, sizeof header);
  return in ? static_cast<unsigned char>(header[28]) : -1;
}

}  // namespace ks::testing
