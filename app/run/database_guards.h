#pragma once
// Checks of the target directory that turn a fault the engine would only report as a code
// (or not at all) into a message the operator can act on: a directory that cannot be
// written, table files that another program holds locked, a disk that has filled up.

#include <string>

namespace ks {

// Raises "Нет доступа на запись в каталог DIR: reason" when files cannot be created in dir.
void RequireWritableDirectory(const std::string& dir);

// Raises "Таблица NAME занята другой программой ..." when another process holds a lock on
// any table, index or memo file in dir (which the run would otherwise recreate under it).
void RequireUnlockedTables(const std::string& dir);

// A sentence saying that the disk holding dir is full, or empty when it is not.
std::string DiskFullNote(const std::string& dir);

}  // namespace ks
