// Appends goods lines (16 fields, six tags filtered by .NOT. DELETED()) through a table set,
// setting every field by name, and the same records through the engine's flat interface,
// in one run, and prints both times.
//
//   cmake --build build -j2 --target dataset_bench
//   ./build/bench/dataset_bench [records=1000000] [directory=/tmp]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <ctime>

#include "db/engine/cb_table_set.h"
#include "db/engine/cb_engine.h"
#include "db/engine/field_text.h"

namespace {

using Clock = std::chrono::steady_clock;

// Processor time of this process: the machine is shared, so wall time alone says little.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

struct Timing {
  double wall = 0;
  double cpu = 0;
};

struct Column {
  const char* name;
  char type;  // C, I (numeric 11), N (numeric 19.6), L
  int size;
};

constexpr Column kColumns[] = {
    {"DOCID", 'I', 0},   {"MODID", 'I', 0},   {"PRICE", 'N', 0},   {"NDS", 'N', 0},
    {"NSP", 'L', 0},     {"FCOUNT", 'N', 0},  {"VOLID", 'I', 0},   {"GRPID", 'I', 0},
    {"CNTRYID", 'I', 0}, {"GTD", 'C', 30},    {"ORDERA", 'I', 0},  {"CURRID", 'I', 0},
    {"FKPRICE", 'N', 0}, {"LCOUNT", 'C', 50}, {"NOTE1", 'C', 100}, {"NOTE2", 'C', 100},
};

struct TagDef {
  const char* name;
  const char* expression;
};

constexpr TagDef kTags[] = {
    {"IDOC", "Str(DOCID, 10)+Str(ORDERA, 10)"}, {"IMODID", "Str(MODID, 10)"},
    {"IVOLID", "Str(VOLID, 10)"},               {"IGRPID", "Str(GRPID, 10)"},
    {"ICNTID", "Str(CNTRYID, 10)"},             {"ICURID", "Str(CURRID, 10)"},
};
constexpr const char* kLive = ".NOT. DELETED()";

// The values of record i, as the goods stage would set them.
int32_t IntValue(int column, long i) {
  switch (column) {
    case 0: return int32_t(i / 10 + 1);
    case 1: return int32_t(i % 5000 + 1);
    case 6: return int32_t(i % 40 + 1);
    case 7: return int32_t(i % 300 + 1);
    case 8: return int32_t(i % 200 + 1);
    case 10: return int32_t(i % 10 + 1);
    default: return int32_t(i % 7 + 1);
  }
}
double FloatValue(int column, long i) { return (i % 100000) * 0.01 + column; }
std::string TextValue(int column, long i) {
  if (column == 9) return "10130010/" + std::to_string(i);
  if (column == 13) return "";
  return "note " + std::to_string(i % 977);
}

Timing EngineDirect(const std::string& dir, long count) {
  Code4* engine = code4initP();
  std::vector<Field4Info> fields;
  for (const Column& c : kColumns) {
    Field4Info f{c.name, int16_t(c.type == 'I' || c.type == 'N' ? 'N' : c.type), 0, 0, 0};
    f.len = uint16_t(c.type == 'C' ? c.size : c.type == 'I' ? 11 : c.type == 'N' ? 19 : 1);
    f.dec = uint16_t(c.type == 'N' ? 6 : 0);
    fields.push_back(f);
  }
  fields.push_back({nullptr, 0, 0, 0, 0});
  std::vector<Tag4Info> tags;
  for (const TagDef& t : kTags) tags.push_back({t.name, t.expression, kLive, 0, 0});
  tags.push_back({nullptr, nullptr, nullptr, 0, 0});

  const auto start = Clock::now();
  const double cpu_start = CpuSeconds();
  Data4* data = d4create(engine, (dir + "goods_direct.dbf").c_str(), fields.data(), tags.data());
  if (data == nullptr) {
    std::fprintf(stderr, "create failed: %d\n", code4errorCode(engine, -5));
    std::exit(1);
  }
  std::vector<Field4*> handles;
  for (const Column& c : kColumns) handles.push_back(d4field(data, c.name));
  for (long i = 0; i < count; ++i) {
    d4appendStart(data, 0);
    d4blank(data);
    for (int k = 0; k < 16; ++k) {
      const Column& c = kColumns[k];
      std::string text;
      switch (c.type) {
        case 'I': text = ks::IntToDbf(IntValue(k, i)); break;
        case 'N': text = ks::FloatToDbf(FloatValue(k, i)); break;
        case 'L': text = (i & 1) ? "T" : "F"; break;
        default: text = ks::PadRight(TextValue(k, i), c.size); break;
      }
      std::memcpy(f4str(handles[k]), text.data(), text.size());
    }
    if (d4append(data) != 0) {
      std::fprintf(stderr, "append failed\n");
      std::exit(1);
    }
  }
  d4close(data);
  const Timing timing{std::chrono::duration<double>(Clock::now() - start).count(),
                      CpuSeconds() - cpu_start};
  code4initUndo(engine);
  return timing;
}

Timing ThroughTableSet(const std::string& dir, long count) {
  ks::TCBEngine engine("engPrimary");
  ks::TCBDataBase database("dtbKestrel");
  database.SetCBEngine(&engine);
  database.SetDataPath(dir);
  ks::TCBTableSet goods("cbtGoods");
  goods.SetDataBaseName(&database);
  goods.SetTableName("GOODS_SET.DBF");

  const auto start = Clock::now();
  const double cpu_start = CpuSeconds();
  for (const Column& c : kColumns) {
    goods.FieldDefs().Add(c.name, c.type == 'C' ? ks::ftString : c.type == 'I' ? ks::ftInteger
                                  : c.type == 'N' ? ks::ftFloat : ks::ftBoolean, c.size);
  }
  for (const TagDef& t : kTags) goods.TagDefs().Add(t.name, t.expression, kLive, false, false);
  goods.CreateTable();
  goods.Open();
  for (long i = 0; i < count; ++i) {
    goods.Append();
    for (int k = 0; k < 16; ++k) {
      const Column& c = kColumns[k];
      ks::TField& field = goods.FieldByName(c.name);
      switch (c.type) {
        case 'I': field.SetAsInteger(IntValue(k, i)); break;
        case 'N': field.SetAsFloat(FloatValue(k, i)); break;
        case 'L': field.SetAsBoolean(i & 1); break;
        default: field.SetAsString(TextValue(k, i)); break;
      }
    }
    goods.Post();
  }
  goods.Close();
  return Timing{std::chrono::duration<double>(Clock::now() - start).count(),
                CpuSeconds() - cpu_start};
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
  std::string dir = argc > 2 ? argv[2] : "/tmp";
  dir += "/ks_dataset_bench/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);

  const Timing direct = EngineDirect(dir, count);
  std::printf("engine directly : %ld records, %.2f s wall, %.2f s processor\n", count,
              direct.wall, direct.cpu);
  const Timing set = ThroughTableSet(dir, count);
  std::printf("table set       : %ld records, %.2f s wall, %.2f s processor\n", count,
              set.wall, set.cpu);
  std::printf("table set / engine: %.2f wall, %.2f processor\n", set.wall / direct.wall,
              set.cpu / direct.cpu);
  std::filesystem::remove_all(dir);
  return 0;
}
