#include "app/report/report_text.h"

#include <cstdio>

#include "common/char_escape.h"
#include "common/codepage.h"

namespace ks {
namespace {

constexpr CharEscape kDisplayEscapes[] = {{'\\', "\\\\"}, {'\r', "\\r"}, {'\n', "\\n"}, {'\t', "\\t"}};

}  // namespace

std::string DisplayText(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  size_t plain = 0;  // start of the run of bytes that convert as they are
  const auto flush = [&](size_t end) {
    if (end > plain) out += Cp1251ToUtf8(cp1251.substr(plain, end - plain));
  };
  for (size_t i = 0; i < cp1251.size(); ++i) {
    const auto c = static_cast<unsigned char>(cp1251[i]);
    const char* escape = FindEscape(kDisplayEscapes, cp1251[i]);
    char hex[8];
    if (escape == nullptr && (c < 0x20 || c == 0x7F || c == 0x98)) {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      escape = hex;
    }
    if (escape == nullptr) continue;
    flush(i);
    out += escape;
    plain = i + 1;
  }
  flush(cp1251.size());
  return out;
}

std::string RecordLabel(const LegacyRecordName& record) {
  if (record.table.empty()) return "-";
  const std::string table = DisplayText(record.table);
  if (record.id_field.empty()) return table + ", запись " + std::to_string(record.id);
  return table + ", " + DisplayText(record.id_field) + " " + std::to_string(record.id);
}

std::string SkipReasonText(const std::string& reason) {
  static const struct {
    const char* english;
    const char* russian;
  } kExplanations[] = {{" (no group)", "нет группы"},
                       {" (no country)", "нет страны"},
                       {" (not converted)", "этот тип документов не преобразуется"}};
  for (const auto& known : kExplanations) {
    const std::string_view english = known.english;
    if (reason.size() > english.size() && reason.compare(reason.size() - english.size(), english.size(), english) == 0) {
      return std::string(known.russian) + " (" + reason.substr(0, reason.size() - english.size()) + ")";
    }
  }
  return reason;
}

}  // namespace ks
