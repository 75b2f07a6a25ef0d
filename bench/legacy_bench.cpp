// Reading speed of the legacy tables. Writes a FULLSTORAGE-shaped table of 1,000,000
// records (header by pxlib, blocks by the bench itself), then reads every field of every record through TLegacyTable and
// compares the time with reading the file's bytes from the page cache.
//
//   cmake --build build -j2 --target legacy_bench && build/bench/legacy_bench [records] [dir]

extern "C" {
#include <paradox.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/file.h"
#include "legacy/legacy_tables.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// pxlib writes the header of the empty table; the data blocks are appended here, since
// pxlib takes more than a minute for a million records.
void WriteFullstorage(const std::string& path, long records, const ks::TLegacyTable& shape) {
  pxdoc_t* doc = PX_new();
  const auto& defs = shape.FieldDefs();
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * defs.size(), "fields"));
  for (size_t i = 0; i < defs.size(); ++i) {
    fields[i].px_fname = static_cast<char*>(doc->malloc(doc, defs[i].name.size() + 1, "name"));
    std::strcpy(fields[i].px_fname, defs[i].name.c_str());
    fields[i].px_fdc = 0;
    switch (defs[i].kind) {
      case ks::TLegacyFieldKind::kFloat: fields[i].px_ftype = pxfNumber; fields[i].px_flen = 8; break;
      case ks::TLegacyFieldKind::kBoolean: fields[i].px_ftype = pxfLogical; fields[i].px_flen = 1; break;
      case ks::TLegacyFieldKind::kString: fields[i].px_ftype = pxfAlpha; fields[i].px_flen = defs[i].size; break;
      default: fields[i].px_ftype = pxfLong; fields[i].px_flen = 4;
    }
  }
  if (PX_create_file(doc, fields, static_cast<int>(defs.size()), path.c_str(), pxfFileTypNonIndexDB) < 0) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    std::exit(1);
  }
  std::vector<char> record(static_cast<size_t>(PX_get_recordsize(doc)));
  std::vector<std::vector<char>> samples;  // a few distinct records, repeated
  const std::string declaration = ks::W("РОСС RU.АЯ46.В12345");
  for (int r = 0; r < 16; ++r) {
    char* at = record.data();
    std::memset(at, 0, record.size());
    for (size_t i = 0; i < defs.size(); ++i) {
      const int len = fields[i].px_flen;
      switch (fields[i].px_ftype) {
        case pxfNumber: PX_put_data_double(doc, at, len, r * 1.25); break;
        case pxfLogical: PX_put_data_byte(doc, at, len, static_cast<char>(r % 2)); break;
        case pxfAlpha: {
          std::string text = declaration.substr(0, 10 + r % 10);
          PX_put_data_alpha(doc, at, len, text.data());
          break;
        }
        default: PX_put_data_long(doc, at, len, r * 100 + static_cast<int>(i));
      }
      at += len;
    }
    samples.push_back(record);
  }
  PX_close(doc);
  PX_delete(doc);

  ks::File file;
  file.Open(path, ks::File::Mode::kReadWrite);
  std::vector<uint8_t> header(0x800);
  file.ReadExactAt(0, header.data(), header.size());
  const int header_size = header[2] | (header[3] << 8);
  const int block_size = header[5] * 1024;
  const int record_size = static_cast<int>(record.size());
  const long per_block = (block_size - 6) / record_size;
  const long blocks = (records + per_block - 1) / per_block;
  std::vector<char> block(static_cast<size_t>(block_size));
  long written = 0;
  for (long b = 1; b <= blocks; ++b) {
    const long count = std::min(per_block, records - written);
    std::memset(block.data(), 0, block.size());
    const uint16_t next = b < blocks ? static_cast<uint16_t>(b + 1) : 0;
    const uint16_t prev = static_cast<uint16_t>(b - 1);
    const int16_t last = static_cast<int16_t>((count - 1) * record_size);
    std::memcpy(&block[0], &next, 2);
    std::memcpy(&block[2], &prev, 2);
    std::memcpy(&block[4], &last, 2);
    for (long r = 0; r < count; ++r) {
      std::memcpy(&block[6 + r * record_size], samples[(written + r) % samples.size()].data(), record_size);
    }
    file.WriteAt(header_size + (b - 1) * static_cast<uint64_t>(block_size), block.data(), block.size());
    written += count;
  }
  auto put16 = [&](int at, long v) { header[at] = v & 0xFF; header[at + 1] = (v >> 8) & 0xFF; };
  const uint32_t count = static_cast<uint32_t>(records);
  std::memcpy(&header[0x06], &count, 4);
  put16(0x0A, blocks);
  put16(0x0C, blocks);
  put16(0x0E, blocks ? 1 : 0);
  put16(0x10, blocks);
  file.WriteAt(0, header.data(), header.size());
}

double ReadBytes(const std::string& path, uint64_t& total) {
  ks::File file;
  file.Open(path, ks::File::Mode::kReadOnly);
  std::vector<char> buffer(1 << 20);
  const auto start = Clock::now();
  total = 0;
  for (int64_t n; (n = file.ReadAt(total, buffer.data(), buffer.size())) > 0;) total += static_cast<uint64_t>(n);
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
  const std::string dir = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string() + "/ks_legacy_bench/";
  std::filesystem::create_directories(dir);

  ks::TLegacyDictTables dict;
  ks::TLegacyMainTables main_tables;
  ks::SetLegacyDirectory(dict, main_tables, dir);
  ks::TLegacyTable& table = main_tables.tblFullstorage;
  const std::string path = dir + "/FULLSTORAGE.DB";

  auto start = Clock::now();
  WriteFullstorage(path, records, table);
  std::printf("write %ld records: %.2f s\n", records, Seconds(start));

  uint64_t bytes = 0;
  double best_bytes = 1e9, best_cached = 1e9, best_by_name = 1e9;
  double checksum = 0;
  for (int round = 0; round < 3; ++round) {
    best_bytes = std::min(best_bytes, ReadBytes(path, bytes));

    // Field objects looked up once, as a stage would keep them.
    start = Clock::now();
    table.Open();
    std::vector<const ks::TLegacyField*> fields;
    for (const auto& def : table.FieldDefs()) fields.push_back(&table.FieldByName(def.name));
    long seen = 0;
    for (table.First(); !table.Eof(); table.Next(), ++seen) {
      for (size_t i = 0; i < fields.size(); ++i) {
        switch (table.FieldDefs()[i].kind) {
          case ks::TLegacyFieldKind::kFloat: checksum += fields[i]->AsFloat(); break;
          case ks::TLegacyFieldKind::kBoolean: checksum += fields[i]->AsBoolean(); break;
          case ks::TLegacyFieldKind::kString: checksum += static_cast<double>(fields[i]->AsString().size()); break;
          default: checksum += fields[i]->AsInteger();
        }
      }
    }
    table.Close();
    best_cached = std::min(best_cached, Seconds(start));
    if (seen != records) std::fprintf(stderr, "read %ld records, expected %ld\n", seen, records);

    // Every value by name, as the stages are written.
    start = Clock::now();
    table.Open();
    for (table.First(); !table.Eof(); table.Next()) {
      checksum += table.FieldByName("DocID").AsInteger() + table.FieldByName("ModelID").AsInteger() +
                  table.FieldByName("Price").AsFloat() + table.FieldByName("NDS").AsFloat() +
                  table.FieldByName("NDSAlloc").AsBoolean() + table.FieldByName("Count").AsFloat() +
                  table.FieldByName("VolID").AsInteger() + table.FieldByName("GroupID").AsInteger() +
                  table.FieldByName("countryid").AsInteger() +
                  static_cast<double>(table.FieldByName("numdeclar").AsString().size());
    }
    table.Close();
    best_by_name = std::min(best_by_name, Seconds(start));
  }
  std::printf("file: %.1f MB\n", static_cast<double>(bytes) / 1e6);
  std::printf("read the bytes (page cache, 1 MiB reads): %.3f s\n", best_bytes);
  std::printf("read every field, field objects kept:     %.3f s (%.1fx)\n", best_cached, best_cached / best_bytes);
  std::printf("read every field by name each time:       %.3f s (%.1fx)\n", best_by_name, best_by_name / best_bytes);
  std::printf("checksum %.0f\n", checksum);
  std::filesystem::remove(path);
  return 0;
}
