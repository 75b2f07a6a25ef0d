#pragma once
// Between file.cpp and the File of each system: how many of size bytes the test hook lets
// through (size when no hook is set, less for a short transfer, -1 for an I/O error).

#include <cstddef>
#include <cstdint>
#include <string>

namespace ks {

int64_t AllowedByFaultHook(const std::string& path, bool is_write, uint64_t offset, size_t size);

}  // namespace ks
