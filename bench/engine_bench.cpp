// Engine benchmark: appends 1,000,000 goods lines (16 fields, six tags with the filter
// .NOT. DELETED()) and 200,000 documents with a 300-byte memo each (one constant tag),
// as the conversion writes them, and compares the time with one plain buffered write of
// the same number of bytes.
//
// Run: build-xbase/bench/engine_bench [directory] [goods] [docs]
//      (directory default /tmp/ks_engine_bench; it is created and emptied)

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "db/engine/xbase/xbase.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Whole numbers right-aligned, as the field text conversions write them.
void PutInt(Data4* data, Field4* field, long value) {
  const int len = f4len(field);
  char* out = f4str(field);
  std::memset(out, ' ', size_t(len));
  unsigned long u = value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  int pos = len;
  do {
    out[--pos] = char('0' + u % 10);
    u /= 10;
  } while (u > 0 && pos > 0);
  if (value < 0 && pos > 0) out[--pos] = '-';
  (void)data;
}
// Float texts come from a table made once, so that the figures show the engine's work
// rather than the C library's number formatting.
constexpr size_t kFloatTexts = 100000;
const std::vector<char>& FloatTexts() {
  static const std::vector<char> texts = [] {
    std::vector<char> t(kFloatTexts * 19);
    char buf[64];
    for (size_t i = 0; i < kFloatTexts; ++i) {
      std::snprintf(buf, sizeof buf, "%19.6f", double(i) / 100);
      std::memcpy(t.data() + i * 19, buf, 19);
    }
    return t;
  }();
  return texts;
}
void PutFloat(Field4* field, double value) {
  const size_t index = size_t(value * 100 + 0.5) % kFloatTexts;
  std::memcpy(f4str(field), FloatTexts().data() + index * 19, 19);
}
void PutText(Field4* field, const std::string& text) {
  const size_t len = size_t(f4len(field));
  std::memset(f4str(field), ' ', len);
  std::memcpy(f4str(field), text.data(), std::min(len, text.size()));
}

uintmax_t FileSize(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

const Field4Info kGoodsFields[] = {
    {"DOCID", 'N', 11, 0, 0},   {"MODID", 'N', 11, 0, 0},  {"PRICE", 'N', 19, 6, 0},  {"NDS", 'N', 19, 6, 0},
    {"NSP", 'L', 1, 0, 0},      {"FCOUNT", 'N', 19, 6, 0}, {"VOLID", 'N', 11, 0, 0},  {"GRPID", 'N', 11, 0, 0},
    {"CNTRYID", 'N', 11, 0, 0}, {"GTD", 'C', 30, 0, 0},    {"ORDERA", 'N', 11, 0, 0}, {"CURRID", 'N', 11, 0, 0},
    {"FKPRICE", 'N', 19, 6, 0}, {"LCOUNT", 'C', 50, 0, 0}, {"NOTE1", 'C', 100, 0, 0}, {"NOTE2", 'C', 100, 0, 0},
    {nullptr, 0, 0, 0, 0}};
const Tag4Info kGoodsTags[] = {{"IDOC", "Str(DOCID, 10)+Str(ORDERA, 10)", ".NOT. DELETED()", 0, 0},
                               {"IMODID", "Str(MODID, 10)", ".NOT. DELETED()", 0, 0},
                               {"IVOLID", "Str(VOLID, 10)", ".NOT. DELETED()", 0, 0},
                               {"IGRPID", "Str(GRPID, 10)", ".NOT. DELETED()", 0, 0},
                               {"ICNTID", "Str(CNTRYID, 10)", ".NOT. DELETED()", 0, 0},
                               {"ICURID", "Str(CURRID, 10)", ".NOT. DELETED()", 0, 0},
                               {nullptr, nullptr, nullptr, 0, 0}};
const Field4Info kDocFields[] = {
    {"UID", 'N', 11, 0, 0},     {"FTYPE", 'N', 11, 0, 0},   {"FDATE", 'D', 8, 0, 0},   {"INTNUM", 'N', 11, 0, 0},
    {"STRNUM", 'C', 200, 0, 0}, {"FIRM", 'N', 11, 0, 0},    {"PARTNER", 'N', 11, 0, 0}, {"FSUM", 'N', 19, 6, 0},
    {"RATE", 'N', 19, 6, 0},    {"NSP", 'N', 19, 6, 0},     {"USENSP", 'L', 1, 0, 0},   {"FCOMPLEX", 'M', 10, 0, 0},
    {"CURRID", 'N', 11, 0, 0},  {"BYCURR", 'L', 1, 0, 0},   {"PEOPLEID", 'N', 11, 0, 0}, {"FOLDER", 'N', 11, 0, 0},
    {nullptr, 0, 0, 0, 0}};
const Tag4Info kDocTags[] = {{"DUMMY", "1", nullptr, 0, 0}, {nullptr, nullptr, nullptr, 0, 0}};

double WriteGoods(Code4* engine, const std::string& path, long count) {
  const auto start = Clock::now();
  Data4* data = d4create(engine, path.c_str(), kGoodsFields, kGoodsTags);
  if (!data) {
    std::fprintf(stderr, "create failed: %d\n", code4errorCode(engine, -5));
    std::exit(1);
  }
  Field4* f[16];
  for (short j = 1; j <= 16; ++j) f[j - 1] = d4fieldJ(data, j);
  std::mt19937 random(1);
  long doc = 0, line = 0;
  for (long i = 0; i < count; ++i) {
    if (line == 0 || random() % 5 == 0) {
      ++doc;
      line = 0;
    }
    ++line;
    if (d4appendStart(data, 0) != 0) std::exit(1);
    d4blank(data);
    PutInt(data, f[0], doc);
    PutInt(data, f[1], long(random() % 20000) + 1);
    PutFloat(f[2], double(random() % 100000) / 100);
    PutFloat(f[3], 20);
    PutText(f[4], "F");
    PutFloat(f[5], double(random() % 999));
    PutInt(data, f[6], long(random() % 20) + 1);
    PutInt(data, f[7], long(random() % 300) + 1);
    PutInt(data, f[8], long(random() % 200) + 1);
    PutText(f[9], "10130010/010203/0004567");
    PutInt(data, f[10], line);
    PutInt(data, f[11], long(random() % 5) + 1);
    PutFloat(f[12], double(random() % 100000) / 100);
    PutText(f[13], "12 pieces");
    PutText(f[14], "A note on the goods line");
    d4changed(data, 1);
    if (d4append(data) != 0 || d4unlock(data) != 0) {
      std::fprintf(stderr, "append failed: %d\n", code4errorCode(engine, -5));
      std::exit(1);
    }
  }
  if (d4close(data) != 0) std::exit(1);
  return Seconds(start);
}

double WriteDocs(Code4* engine, const std::string& path, long count) {
  const auto start = Clock::now();
  Data4* data = d4create(engine, path.c_str(), kDocFields, kDocTags);
  if (!data) std::exit(1);
  Field4* f[16];
  for (short j = 1; j <= 16; ++j) f[j - 1] = d4fieldJ(data, j);
  std::string memo;
  for (int k = 0; memo.size() < 300; ++k) memo += "KEY" + std::to_string(k) + "=value\r\n";
  memo.resize(300);
  for (long i = 1; i <= count; ++i) {
    if (d4appendStart(data, 0) != 0) std::exit(1);
    d4blank(data);
    PutInt(data, f[0], i);
    PutInt(data, f[1], 1 + i % 7);
    PutText(f[2], "20240305");
    PutInt(data, f[3], i);
    PutText(f[4], "N-" + std::to_string(i));
    PutInt(data, f[5], i % 500);
    PutInt(data, f[6], i % 700);
    PutFloat(f[7], double(i % 100000) / 10);
    f4memoAssignN(f[11], memo.data(), memo.size());
    d4changed(data, 1);
    if (d4append(data) != 0 || d4unlock(data) != 0) std::exit(1);
  }
  if (d4close(data) != 0) std::exit(1);
  return Seconds(start);
}

// One plain buffered write of the same number of bytes: the floor.
double WriteFloor(const std::string& path, uintmax_t bytes) {
  const auto start = Clock::now();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::exit(1);
  std::string chunk(1 << 20, 'x');
  for (uintmax_t done = 0; done < bytes; done += chunk.size()) {
    std::fwrite(chunk.data(), 1, size_t(std::min<uintmax_t>(chunk.size(), bytes - done)), file);
  }
  std::fclose(file);
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "/tmp/ks_engine_bench";
  const long goods = argc > 2 ? std::atol(argv[2]) : 1000000;
  const long docs = argc > 3 ? std::atol(argv[3]) : 200000;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);

  FloatTexts();  // made before the clock starts
  Code4* engine = code4initP();
  code4safety(engine, 0);
  const double goods_time = WriteGoods(engine, dir + "/goods.dbf", goods);
  const double docs_time = WriteDocs(engine, dir + "/doc.dbf", docs);
  code4initUndo(engine);

  const uintmax_t goods_bytes = FileSize(dir + "/goods.dbf") + FileSize(dir + "/goods.cdx");
  const uintmax_t docs_bytes = FileSize(dir + "/doc.dbf") + FileSize(dir + "/doc.fpt") + FileSize(dir + "/doc.cdx");
  const double goods_floor = WriteFloor(dir + "/floor.bin", goods_bytes);
  const double docs_floor = WriteFloor(dir + "/floor.bin", docs_bytes);
  std::filesystem::remove(dir + "/floor.bin");

  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("goods: %ld records, %.2f s, %.0f records/s; goods.dbf %ju bytes, goods.cdx %ju bytes; floor %.2f s (%.1fx)\n",
              goods, goods_time, goods / goods_time, FileSize(dir + "/goods.dbf"), FileSize(dir + "/goods.cdx"),
              goods_floor, goods_time / goods_floor);
  std::printf("doc:   %ld records, %.2f s, %.0f records/s; doc.dbf %ju, doc.fpt %ju, doc.cdx %ju bytes; floor %.2f s (%.1fx)\n",
              docs, docs_time, docs / docs_time, FileSize(dir + "/doc.dbf"), FileSize(dir + "/doc.fpt"),
              FileSize(dir + "/doc.cdx"), docs_floor, docs_time / docs_floor);
  std::printf("peak memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
  return 0;
}
