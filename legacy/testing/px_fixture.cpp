#include "legacy/testing/px_fixture.h"

extern "C" {
#include <paradox.h>
}

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace ks::testing {
namespace {

int StoredSize(const PxColumn& c) { return c.type == pxfBCD ? 17 : c.size; }


}  // namespace

void WritePxTable(const std::string& db_path, const std::string& mb_path, const std::vector<PxColumn>& columns,
                  const std::vector<std::vector<PxValue>>& rows, bool keyed) {
  pxdoc_t* doc = PX_new();
  if (doc == nullptr) throw std::runtime_error("PX_new2 failed");
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * columns.size(), "fields"));
  for (size_t i = 0; i < columns.size(); ++i) {
    fields[i].px_fname = static_cast<char*>(doc->malloc(doc, columns[i].name.size() + 1, "name"));
    std::memcpy(fields[i].px_fname, columns[i].name.c_str(), columns[i].name.size() + 1);
    fields[i].px_ftype = columns[i].type;
    fields[i].px_flen = StoredSize(columns[i]);
    fields[i].px_fdc = columns[i].type == pxfBCD ? columns[i].size : 0;
  }
  if (PX_create_file(doc, fields, static_cast<int>(columns.size()), db_path.c_str(),
                     keyed ? pxfFileTypIndexDB : pxfFileTypNonIndexDB) < 0) {
    PX_delete(doc);
    throw std::runtime_error("PX_create_file failed for " + db_path);
  }
  pxblob_t* blob = nullptr;
  if (!mb_path.empty()) {
    blob = PX_new_blob(doc);
    if (PX_create_blob_file(blob, mb_path.c_str()) < 0) throw std::runtime_error("PX_create_blob_file failed");
    doc->px_blob = blob;
  }
  std::vector<char> record(static_cast<size_t>(PX_get_recordsize(doc)));
  for (const auto& row : rows) {
    std::fill(record.begin(), record.end(), 0);
    int offset = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
      const PxColumn& c = columns[i];
      char* at = record.data() + offset;
      const int len = StoredSize(c);
      offset += len;
      const PxValue& v = row[i];
      if (std::holds_alternative<std::monostate>(v)) continue;
      switch (c.type) {
        case pxfShort:
          PX_put_data_short(doc, at, len, static_cast<short>(std::get<int64_t>(v)));
          break;
        case pxfLong:
        case pxfDate:
        case pxfTime:
        case pxfAutoInc:
          PX_put_data_long(doc, at, len, static_cast<int>(std::get<int64_t>(v)));
          break;
        case pxfLogical:
          PX_put_data_byte(doc, at, len, static_cast<char>(std::get<int64_t>(v)));
          break;
        case pxfNumber:
        case pxfCurrency:
        case pxfTimestamp:
          PX_put_data_double(doc, at, len, std::get<double>(v));
          break;
        case pxfBCD: {
          std::string text = std::get<std::string>(v);
          PX_put_data_bcd(doc, at, c.size, text.data());
          break;
        }
        case pxfAlpha: {
          std::string text = std::get<std::string>(v);
          PX_put_data_alpha(doc, at, len, text.data());
          break;
        }
        case pxfBytes: {
          std::string text = std::get<std::string>(v);
          text.resize(static_cast<size_t>(len), '\0');
          PX_put_data_bytes(doc, at, len, text.data());
          break;
        }
        default: {  // blobs
          std::string text = std::get<std::string>(v);
          PX_put_data_blob(doc, at, len, text.data(), static_cast<int>(text.size()));
        }
      }
    }
    if (PX_put_record(doc, record.data()) < 0) throw std::runtime_error("PX_put_record failed");
  }
  if (blob) PX_close_blob(blob);
  PX_close(doc);
  PX_delete(doc);
}

std::vector<std::vector<PxValue>> ReadPxTable(const std::string& db_path) {
  pxdoc_t* doc = PX_new();
  if (doc == nullptr || PX_open_file(doc, db_path.c_str()) < 0) throw std::runtime_error("pxlib cannot open " + db_path);
  const int count = PX_get_num_records(doc);
  const int field_count = PX_get_num_fields(doc);
  pxfield_t* fields = PX_get_fields(doc);
  std::vector<char> record(static_cast<size_t>(PX_get_recordsize(doc)));
  std::vector<std::vector<PxValue>> rows;
  for (int r = 0; r < count; ++r) {
    if (PX_get_record(doc, r, record.data()) == nullptr) throw std::runtime_error("PX_get_record failed");
    std::vector<PxValue> row;
    int offset = 0;
    for (int i = 0; i < field_count; ++i) {
      char* at = record.data() + offset;
      const int len = fields[i].px_flen;
      offset += len;
      PxValue value;
      switch (fields[i].px_ftype) {
        case pxfShort: {
          short s;
          if (PX_get_data_short(doc, at, len, &s) > 0) value = int64_t{s};
          break;
        }
        case pxfLong:
        case pxfDate:
        case pxfTime:
        case pxfAutoInc: {
          long l;
          // pxlib hands a blank long out as the smallest 32-bit value.
          if (PX_get_data_long(doc, at, len, &l) > 0 && l != -2147483647L - 1) value = int64_t{l};
          break;
        }
        case pxfLogical: {
          char b;
          if (PX_get_data_byte(doc, at, len, &b) > 0) value = int64_t{b != 0};
          break;
        }
        case pxfNumber:
        case pxfCurrency:
        case pxfTimestamp: {
          double d;
          if (PX_get_data_double(doc, at, len, &d) > 0) value = d;
          break;
        }
        case pxfAlpha: {
          char* text = nullptr;
          if (PX_get_data_alpha(doc, at, len, &text) > 0 && text) {
            value = std::string(text);
            doc->free(doc, text);
          }
          break;
        }
        case pxfBCD: {
          char* text = nullptr;
          if (PX_get_data_bcd(doc, reinterpret_cast<unsigned char*>(at), fields[i].px_fdc, &text) > 0 && text) {
            value = std::string(text);
            doc->free(doc, text);
          }
          break;
        }
        default:
          break;
      }
      row.push_back(std::move(value));
    }
    rows.push_back(std::move(row));
  }
  PX_close(doc);
  PX_delete(doc);
  return rows;
}

}  // namespace ks::testing
