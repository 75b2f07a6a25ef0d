#include "app/database_guards.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/codepage.h"
#include "common/exception.h"
#include "db/database_files.h"

namespace ks {
namespace {

// Below this much free space a failed write is taken for a full disk.
constexpr unsigned long long kNearlyFull = 256 * 1024;

// The process that holds a lock on path, 0 for none; -1 when the holder is known only as
// "another open file" (its process id is not reported for such locks).
long LockHolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return 0;  // what cannot be opened is reported when the run opens it
  long holder = 0;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = 0;
  probe.l_len = 0;  // the whole file, record-lock region included
  if (::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) {
    holder = probe.l_pid > 0 ? probe.l_pid : -1;
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) holder = -1;
  } else {
    ::flock(fd, LOCK_UN);
  }
  ::close(fd);
  return holder;
}

}  // namespace

void RequireWritableDirectory(const std::string& dir) {
  if (::access(dir.c_str(), W_OK | X_OK) != 0) {
    throw Exception(W("Нет доступа на запись в каталог ") + dir + ": " + std::strerror(errno));
  }
}

void RequireUnlockedTables(const std::string& dir) {
  const std::string directory = WithTrailingDelimiter(dir);
  for (const char* extension : {"dbf", "cdx", "fpt"}) {
    for (const std::string& name : FilesWithExtension(directory, extension)) {
      const long holder = LockHolder(directory + name);
      if (holder == 0) continue;
      std::string message = W("Таблица ") + name + W(" занята другой программой");
      if (holder > 0) message += W(" (процесс ") + std::to_string(holder) + ")";
      message += W(". Закройте программы, работающие с каталогом ") + dir + W(", и повторите преобразование.");
      throw Exception(message);
    }
  }
}

std::string DiskFullNote(const std::string& dir) {
  struct statvfs st {};
  if (::statvfs(dir.c_str(), &st) != 0) return std::string();
  const unsigned long long free_bytes = static_cast<unsigned long long>(st.f_bavail) * st.f_frsize;
  if (free_bytes >= kNearlyFull) return std::string();
  return W("На диске с каталогом ") + dir + W(" не осталось свободного места.");
}

}  // namespace ks
