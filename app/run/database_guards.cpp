#include "app/run/database_guards.h"

#include "common/codepage.h"
#include "common/exception.h"
#include "common/platform.h"
#include "db/database_files.h"

namespace ks {
namespace {

// Below this much free space a failed write is taken for a full disk.
constexpr unsigned long long kNearlyFull = 256 * 1024;

}  // namespace

void RequireWritableDirectory(const std::string& dir) {
  if (!DirectoryIsWritable(dir)) {
    throw Exception(W("Нет доступа на запись в каталог ") + dir + ": " + SystemErrorText());
  }
}

void RequireUnlockedTables(const std::string& dir) {
  const std::string directory = WithTrailingDelimiter(dir);
  for (const char* extension : {"dbf", "cdx", "fpt"}) {
    for (const std::string& name : FilesWithExtension(directory, extension)) {
      const long holder = FileLockHolder(directory + name);
      if (holder == 0) continue;
      std::string message = W("Таблица ") + name + W(" занята другой программой");
      if (holder > 0) message += W(" (процесс ") + std::to_string(holder) + ")";
      message += W(". Закройте программы, работающие с каталогом ") + dir + W(", и повторите преобразование.");
      throw Exception(message);
    }
  }
}

std::string DiskFullNote(const std::string& dir) {
  const std::optional<uint64_t> free_bytes = FreeDiskBytes(dir);
  if (!free_bytes || *free_bytes >= kNearlyFull) return std::string();
  return W("На диске с каталогом ") + dir + W(" не осталось свободного места.");
}

}  // namespace ks
