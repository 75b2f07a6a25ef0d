// Fuzz target of the Paradox reader. The input is a 4-byte little-endian length, that many
// bytes of the data file, and the rest as its blob file; both are written to a scratch
// directory and read whole: every value of every record, and a look-up by the first field.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/exception.h"
#include "legacy/paradox_table.h"

namespace {

std::string ScratchDir() {
  static const std::string dir = [] {
    std::string pattern = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/ks_px_fuzz_XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern + "/";
  }();
  return dir;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, out) != size) std::abort();
  std::fclose(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  size_t db_size = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<size_t>(data[3]) << 24);
  data += 4;
  size -= 4;
  if (db_size > size) db_size = size;
  const std::string db = ScratchDir() + "t.db";
  const std::string mb = ScratchDir() + "t.mb";
  WriteFile(db, data, db_size);
  WriteFile(mb, data + db_size, size - db_size);
  try {
    ks::ParadoxTable table;
    table.Open(db, mb, "fuzz");
    for (table.First(); !table.Eof(); table.Next()) {
      for (size_t f = 0; f < table.Fields().size(); ++f) {
        const int i = static_cast<int>(f);
        table.IsNull(i);
        try {
          table.AsText(i);
          table.AsDouble(i);
          table.AsDateTime(i);
        } catch (const ks::Exception&) {
          // A value of the wrong kind for the conversion: fine, go on with the next one.
        }
      }
    }
    if (table.Header().fields[0].type == ks::ParadoxFieldType::kLong) {
      table.Find(0, 1);
      if (!table.Eof()) table.AsText(0);
    }
  } catch (const ks::Exception&) {
  }
  return 0;
}
