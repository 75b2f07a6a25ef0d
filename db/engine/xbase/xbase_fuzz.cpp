// Fuzz target: a table, memo or index file of arbitrary bytes must give an error code or
// data, never a crash, a hang or a read past a buffer. The first input byte chooses the
// file: 0 the .dbf, 1 the .fpt, 2 the .cdx (the other files come from a valid table).

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "db/engine/xbase/xbase.h"

namespace {

const Field4Info kFields[] = {{"UID", 'N', 11, 0, 0}, {"FNAME", 'C', 20, 0, 0}, {"FDATE", 'D', 8, 0, 0},
                              {"NOTE", 'M', 10, 0, 0}, {nullptr, 0, 0, 0, 0}};
const Tag4Info kTags[] = {{"IPRIMARY", "Str(UID, 10)", nullptr, 0, 0},
                          {"INAME", "Upper(FNAME)+Str(UID, 10)", ".NOT. DELETED()", 0, r4descending},
                          {"DUMMY", "1", nullptr, 0, 0},
                          {nullptr, nullptr, nullptr, 0, 0}};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteAll(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

struct Valid {
  std::string dir, dbf, fpt, cdx;
  Valid() {
    dir = "/tmp/ks_xbase_fuzz_" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    Code4* engine = code4initP();
    code4safety(engine, 0);
    Data4* data = d4create(engine, (dir + "/t.dbf").c_str(), kFields, kTags);
    for (int i = 1; i <= 40; ++i) {
      d4appendStart(data, 0);
      d4blank(data);
      const std::string uid = std::to_string(i), name = "name" + std::to_string(i * 7 % 13);
      std::copy(uid.begin(), uid.end(), f4str(d4field(data, "UID")) + 11 - uid.size());
      std::copy(name.begin(), name.end(), f4str(d4field(data, "FNAME")));
      std::copy_n("20240305", 8, f4str(d4field(data, "FDATE")));
      f4memoAssignN(d4field(data, "NOTE"), name.data(), name.size() * (i % 3));
      d4append(data);
      if (i % 5 == 0) d4delete(data);
      d4unlock(data);
    }
    code4initUndo(engine);
    dbf = ReadAll(dir + "/t.dbf");
    fpt = ReadAll(dir + "/t.fpt");
    cdx = ReadAll(dir + "/t.cdx");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  static Valid valid;
  if (size < 1) return 0;
  const std::string base = valid.dir + "/t";
  const auto write = [&](const char* ext, const std::string& bytes) {
    WriteAll(base + ext, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  };
  write(".dbf", valid.dbf);
  write(".fpt", valid.fpt);
  write(".cdx", valid.cdx);
  const char* ext = input[0] % 3 == 0 ? ".dbf" : input[0] % 3 == 1 ? ".fpt" : ".cdx";
  WriteAll(base + ext, input + 1, size - 1);

  Code4* engine = code4initP();
  if (Data4* data = d4open(engine, (base + ".dbf").c_str())) {
    i4open(data, nullptr);
    for (Tag4* tag = nullptr;;) {
      int steps = 0;
      for (int rc = d4top(data); rc == 0 && steps < 1000; rc = d4skip(data, 1), ++steps) {
        for (short j = 1; j <= d4numFields(data); ++j) {
          Field4* field = d4fieldJ(data, j);
          if (f4type(field) == 'M') f4memoLen(field);
        }
      }
      d4bottom(data);
      d4skip(data, -3);
      d4seek(data, "name1");
      d4seekNext(data, "name1");
      tag = d4tagNext(data, tag);
      if (!tag) break;
      d4tagSelectP(data, tag);
    }
    if (Expr4* expr = expr4parseLow(data, "UPPER(FNAME)='NAME'.AND.UID>3", nullptr)) {
      expr4true(expr);
      u4freeDefault(expr);
    }
    d4close(data);
  }
  code4initUndo(engine);
  return 0;
}
