#pragma once
// Between file.cpp and the File of each system: how many of size bytes the test hook lets
// through (size when no hook is set, less for a short transfer, -1 for an I/O error).

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/file.h"

namespace ks {

int64_t AllowedByFaultHook(const std::string& path, bool is_write, uint64_t offset, size_t size);

// True when the operation hook refuses the operation: the failure, an I/O error, is then
// recorded as the system's reason and for LastFileFailure.
bool RefusedByFaultHook(FileOperation operation, const std::string& path);

// Keeps the failure of an operation for LastFileFailure, with SystemErrorText as its reason
// (the system's reason, errno or the last Windows error, must be recorded already); false,
// for returning.
bool FileOperationFailed(FileOperation operation, const std::string& path);

// Records an I/O error as the system's reason, the way this system does (file_posix.cpp,
// file_win32.cpp).
void RecordIoError();

}  // namespace ks
