// The platform interface on Windows: the wide-character API, paths converted from
// Windows-1251 on their way in and back on their way out.
#include <windows.h>
#include <winnetwk.h>
#include <shellapi.h>
#include <io.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "common/codepage.h"
#include "common/exception.h"
#include "common/file_fault_hook.h"
#include "common/platform.h"
#include "common/win32_text.h"

namespace ks {
namespace {

using win32::Cp1251ToWide;
using win32::RecordError;
using win32::RecordLastError;
using win32::SystemPath;
using win32::WideToCp1251;

bool IsDelimiter(wchar_t c) { return c == L'\\' || c == L'/'; }

// Length of the part of a path no directory can be created for: "C:\", "\\host\share\".
size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && IsPathDelimiter(path[2]) ? 3 : 2;
  if (path.size() >= 2 && IsPathDelimiter(path[0]) && IsPathDelimiter(path[1])) {
    size_t i = 2;
    for (int part = 0; part < 2 && i < path.size(); ++part) {
      while (i < path.size() && !IsPathDelimiter(path[i])) ++i;
      if (i < path.size()) ++i;
    }
    return i;
  }
  return path.size() >= 1 && IsPathDelimiter(path[0]) ? 1 : 0;
}

HANDLE OsHandle(std::FILE* stream) {
  const intptr_t handle = _get_osfhandle(_fileno(stream));
  return handle == -1 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(handle);
}

std::wstring FullPathOf(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  full.resize(size);
  return full;
}

// The network form of a path on a mapped drive, else the path itself.
std::wstring NetworkFormOf(const std::wstring& full) {
  DWORD size = 1024 * sizeof(wchar_t);
  std::wstring buffer(size / sizeof(wchar_t), L'\0');
  DWORD rc = WNetGetUniversalNameW(full.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(), &size);
  if (rc == ERROR_MORE_DATA) {
    buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
    rc = WNetGetUniversalNameW(full.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(), &size);
  }
  if (rc != NO_ERROR) return full;
  const auto* info = reinterpret_cast<const UNIVERSAL_NAME_INFOW*>(buffer.data());
  return info->lpUniversalName != nullptr ? std::wstring(info->lpUniversalName) : full;
}

// One argument quoted for the command line of CreateProcessW, as the C runtime parses it.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

[[noreturn]] void RaiseListingFailure(const std::string& directory) {
  FileOperationFailed(FileOperation::kListDirectory, directory);
  throw Exception(DescribeFileFailure(*LastFileFailure()));
}

}  // namespace

const char kPathDelimiter = '\\';

bool IsPathDelimiter(char c) { return c == '\\' || c == '/'; }

bool IsAbsolutePath(const std::string& path) {
  if (!path.empty() && IsPathDelimiter(path[0])) return true;
  return path.size() >= 3 && path[1] == ':' && IsPathDelimiter(path[2]);
}

namespace {

// links_as_such: a reparse point (a symbolic link, a junction), which GetFileAttributesW
// reports itself, is a link rather than what it leads to.
PathKind KindOf(const std::string& path, bool links_as_such) {
  std::wstring wide;
  if (path.empty() || !SystemPath(path, wide)) return PathKind::kMissing;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    RecordLastError(path);
    return PathKind::kMissing;
  }
  if (links_as_such && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return PathKind::kLink;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::kDirectory;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::kOther;
  return PathKind::kFile;
}

}  // namespace

PathKind KindOfPath(const std::string& path) { return KindOf(path, false); }

PathKind KindOfEntry(const std::string& path) {
  return KindOf(path, true);
}

bool CreateDirectories(const std::string& path, std::string& failed_part) {
  if (RefusedByFaultHook(FileOperation::kMakeDirectory, path)) {
    failed_part = path;
    return false;
  }
  const size_t root = RootLength(path);
  for (size_t i = root; i <= path.size(); ++i) {
    if (i < path.size() && !IsPathDelimiter(path[i])) continue;
    const std::string partial = path.substr(0, i);
    if (partial.size() <= root) continue;
    std::wstring wide;
    if (!SystemPath(partial, wide)) {
      failed_part = partial;
      return FileOperationFailed(FileOperation::kMakeDirectory, partial);
    }
    if (CreateDirectoryW(wide.c_str(), nullptr)) continue;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && KindOfPath(partial) == PathKind::kDirectory) continue;
    RecordError(error, partial);
    failed_part = partial;
    return FileOperationFailed(FileOperation::kMakeDirectory, partial);
  }
  if (KindOfPath(path) != PathKind::kDirectory) {
    if (errno != ENOENT) RecordError(ERROR_DIRECTORY, path);
    failed_part = path;
    return FileOperationFailed(FileOperation::kMakeDirectory, path);
  }
  return true;
}

std::vector<std::string> DirectoryEntries(const std::string& directory) {
  std::vector<std::string> names;
  const std::string path = directory.empty() ? std::string(".") : directory;
  if (RefusedByFaultHook(FileOperation::kListDirectory, path)) {
    throw Exception(DescribeFileFailure(*LastFileFailure()));
  }
  std::wstring wide;
  if (!SystemPath(path, wide)) RaiseListingFailure(path);
  if (!wide.empty() && !IsDelimiter(wide.back())) wide += L'\\';
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((wide + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND || error == ERROR_DIRECTORY) {
      return names;  // no such directory
    }
    RecordError(error, path);
    RaiseListingFailure(path);
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    names.push_back(WideToCp1251(name));
  } while (FindNextFileW(search, &found));
  const DWORD error = GetLastError();
  FindClose(search);
  if (error != ERROR_NO_MORE_FILES) {
    RecordError(error, path);
    RaiseListingFailure(path);
  }
  return names;
}

bool RemoveFile(const std::string& path) {
  if (RefusedByFaultHook(FileOperation::kRemove, path)) return false;
  std::wstring wide;
  if (!SystemPath(path, wide)) return FileOperationFailed(FileOperation::kRemove, path);
  if (DeleteFileW(wide.c_str())) return true;
  RecordLastError(path);
  return FileOperationFailed(FileOperation::kRemove, path);
}

DirectoryLock::Result DirectoryLock::Acquire(const std::string& path) {
  Release();
  if (RefusedByFaultHook(FileOperation::kLock, path)) return Result::kFailed;
  std::wstring wide;
  if (!SystemPath(path, wide)) {
    FileOperationFailed(FileOperation::kLock, path);
    return Result::kFailed;
  }
  // The system removes the file when the last handle goes, also when the process dies.
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    RecordLastError(path);
    FileOperationFailed(FileOperation::kLock, path);
    return Result::kFailed;
  }
  OVERLAPPED at{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &at)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    RecordError(error, path);
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return Result::kHeldElsewhere;
    FileOperationFailed(FileOperation::kLock, path);
    return Result::kFailed;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  path_ = path;
  return Result::kLocked;
}

void DirectoryLock::Release() {
  if (handle_ == -1) return;
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  OVERLAPPED at{};
  UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &at);
  CloseHandle(file);
  handle_ = -1;
  path_.clear();
}

bool DirectoryIsWritable(const std::string& directory) {
  // No call answers this for every kind of disk and share: try it with a file that is gone
  // as soon as it is closed.
  static std::atomic<unsigned> serial{0};
  std::wstring wide;
  if (!SystemPath(directory, wide)) return false;
  if (!wide.empty() && !IsDelimiter(wide.back())) wide += L'\\';
  wide += L"~ks" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(serial++) + L".tmp";
  const HANDLE probe = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    RecordLastError(directory);
    return false;
  }
  CloseHandle(probe);
  return true;
}

std::optional<uint64_t> FreeDiskBytes(const std::string& directory) {
  std::wstring wide;
  ULARGE_INTEGER available{};
  if (!SystemPath(directory, wide) || !GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr)) {
    return std::nullopt;
  }
  return available.QuadPart;
}

std::string FullPath(const std::string& path) {
  std::wstring wide;
  if (!SystemPath(path, wide)) return path;
  return WideToCp1251(FullPathOf(wide));
}

std::string FullNetworkPath(const std::string& path) {
  std::wstring wide;
  if (!SystemPath(path, wide)) return path;
  return WideToCp1251(NetworkFormOf(FullPathOf(wide)));
}

std::string TableFilePath(const std::string& path) { return LowerCp1251(FullNetworkPath(path)); }

long FileLockHolder(const std::string& path) {
  std::wstring wide;
  if (!SystemPath(path, wide)) return 0;
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    // Kept open by a program that shares it with nobody; anything else is reported when
    // the run opens the file.
    return GetLastError() == ERROR_SHARING_VIOLATION ? -1 : 0;
  }
  // A lock on any byte, the record-lock region included, makes this one fail. Windows does
  // not say which process holds it.
  OVERLAPPED at{};
  long holder = 0;
  if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &at)) {
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &at);
  } else {
    holder = -1;
  }
  CloseHandle(file);
  return holder;
}

std::vector<std::string> ProgramArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(WideToCp1251(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) {
      buffer.resize(n);
      return WideToCp1251(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<std::string_view> ProgramResource(const char* name) {
  const std::wstring wide = Cp1251ToWide(name);
  const HRSRC resource = FindResourceW(nullptr, wide.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (resource == nullptr) return std::nullopt;
  const HGLOBAL loaded = LoadResource(nullptr, resource);
  const DWORD size = SizeofResource(nullptr, resource);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::string_view(static_cast<const char*>(bytes), size);
}

std::tm LocalTime(std::time_t moment) {
  std::tm local{};
  localtime_s(&local, &moment);
  return local;
}

int RunProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment) {
  std::wstring command = Quoted(Cp1251ToWide(program));
  for (const std::string& argument : arguments) command += L" " + Quoted(Cp1251ToWide(argument));
  // The child inherits this process's environment: set the additions for the time of the
  // start and put the old values back.
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> saved;
  for (const std::string& assignment : environment) {
    const size_t eq = assignment.find('=');
    if (eq == std::string::npos) continue;
    const std::wstring name = Cp1251ToWide(assignment.substr(0, eq));
    wchar_t old[32767];
    const DWORD n = GetEnvironmentVariableW(name.c_str(), old, 32767);
    saved.emplace_back(name, n > 0 ? std::optional<std::wstring>(std::wstring(old, n)) : std::nullopt);
    SetEnvironmentVariableW(name.c_str(), Cp1251ToWide(assignment.substr(eq + 1)).c_str());
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  for (const auto& [name, value] : saved) SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
  if (!started) return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  const bool ended = GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended ? static_cast<int>(code) : -1;
}

void SetProcessEnvironment(const std::string& name, const std::string& value) {
  // The C runtime keeps a copy of its own: _wputenv_s sets both.
  _wputenv_s(Cp1251ToWide(name).c_str(), Cp1251ToWide(value).c_str());
}

std::string CreateTemporaryDirectory(const std::string& prefix) {
  static std::atomic<unsigned> serial{0};
  wchar_t base[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, base);
  if (n == 0 || n > MAX_PATH) throw std::runtime_error("cannot find the temporary directory");
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring dir = std::wstring(base, n) + Cp1251ToWide(prefix) + std::to_wstring(GetCurrentProcessId()) +
                             L"_" + std::to_wstring(serial++) + L"_" + std::to_wstring(GetTickCount());
    if (CreateDirectoryW(dir.c_str(), nullptr)) return WideToCp1251(dir) + "\\";
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("cannot create a temporary directory");
}

bool IsConsole(std::FILE* stream) {
  DWORD mode = 0;
  const HANDLE handle = OsHandle(stream);
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

void WriteUtf8(std::FILE* stream, std::string_view text) {
  if (!IsConsole(stream)) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  std::fflush(stream);
  const std::wstring wide = win32::Utf8ToWide(std::string(text));
  DWORD written = 0;
  WriteConsoleW(OsHandle(stream), wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace ks
