#pragma once
// Everything that differs between the operating systems, behind one interface: paths,
// directories, the executable's own place and resources, file locks held by other programs,
// the clock, child processes and the console. platform_posix.cpp implements it with POSIX
// calls, platform_win32.cpp with the wide-character Windows API; the build picks one.
//
// Paths are Windows-1251 text everywhere above this interface (as ks.ini holds them); the
// Windows implementation converts them to UTF-16 here, the POSIX one passes the bytes on.
// A failed call leaves its reason for SystemErrorText().

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ks {

// The delimiter this system writes between directories: "/" or "\".
extern const char kPathDelimiter;
// True for every character this system takes as a delimiter (Windows takes both).
bool IsPathDelimiter(char c);
// True for a path that does not depend on the working directory ("/x", "C:\x", "\\host\x").
bool IsAbsolutePath(const std::string& path);

// The reason of the last failed call of this interface or of File, as a text for the
// operator (Windows-1251).
std::string SystemErrorText();

// --- directories and files

enum class PathKind { kMissing, kFile, kDirectory, kLink, kOther };
// What the path names, links followed (never kLink).
PathKind KindOfPath(const std::string& path);
// What the entry itself is: kLink for a symbolic link or other reparse point.
PathKind KindOfEntry(const std::string& path);
// Creates the directory and every missing parent. False when it cannot; failed_part then
// names the directory that could not be made.
bool CreateDirectories(const std::string& path, std::string& failed_part);
// Names of the entries of a directory (no "." and ".."), in the order the system returns
// them; empty when the directory does not exist. A directory that exists but cannot be read
// raises an Exception naming it and the reason.
std::vector<std::string> DirectoryEntries(const std::string& directory);
// Removes a file; a symbolic link or reparse point is removed itself, never its target.
bool RemoveFile(const std::string& path);
// True when files can be created in the directory.
bool DirectoryIsWritable(const std::string& directory);
// Free bytes for this user on the disk holding the directory; nothing when unknown.
std::optional<uint64_t> FreeDiskBytes(const std::string& directory);
// The full, normalised path ("." and ".." resolved against the working directory).
std::string FullPath(const std::string& path);
// The full path; on Windows a path on a mapped network drive in its network (UNC) form.
std::string FullNetworkPath(const std::string& path);
// The full path the engine identifies a table file by. POSIX: absolute and normalised, the
// file name lower-cased (directory names are case-sensitive there and stay as written).
// Windows: the full path, a mapped network drive expanded to its network (UNC) form, the
// whole lower-cased by the rules of code page 1251.
std::string TableFilePath(const std::string& path);

// Whether another program holds a lock on the file or keeps it open for itself: 0 for no,
// the holder's process id when the system reports it, -1 for a holder of unknown process.
long FileLockHolder(const std::string& path);

// An exclusive lock on a lock file, so that one program at a time works in a directory. The
// system gives the lock up when the process ends, however it ends: a lock file left behind
// by a process that died never blocks.
class DirectoryLock {
 public:
  enum class Result { kLocked, kHeldElsewhere, kFailed };
  DirectoryLock() = default;
  ~DirectoryLock() { Release(); }
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  // Creates the lock file at path when it is missing and locks it, without waiting.
  // kFailed leaves the reason in LastFileFailure (common/file.h).
  Result Acquire(const std::string& path);
  // Removes the lock file and gives the lock up.
  void Release();
  bool Held() const { return handle_ != -1; }

 private:
  intptr_t handle_ = -1;  // a descriptor on POSIX, a HANDLE on Windows
  std::string path_;
};

// --- the program itself

// The program's command-line arguments without the program name; on Windows taken from the
// wide-character command line and converted to Windows-1251.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// The full path of the running executable.
std::string ExecutablePath();
// The program's own raw-data resource of this name; nothing when it has none (POSIX
// programs carry their documents compiled in and have no resources of this kind).
std::optional<std::string_view> ProgramResource(const char* name);
// Local time of a moment of the system clock.
std::tm LocalTime(std::time_t moment);

// Starts a program with the arguments and environment additions (NAME=value), waits for it
// and returns its exit code; -1 when it could not be started or did not end normally.
int RunProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {});
// Sets a variable of this process's environment (seen by getenv and by child processes).
void SetProcessEnvironment(const std::string& name, const std::string& value);
// A new, empty directory under the system's temporary directory, with a trailing delimiter.
std::string CreateTemporaryDirectory(const std::string& prefix);

// --- the console

// True when the stream is an interactive console or terminal.
bool IsConsole(std::FILE* stream);
// Writes UTF-8 text to the stream: on a Windows console as UTF-16, so that Cyrillic shows
// whatever its code page; otherwise the bytes as they are.
void WriteUtf8(std::FILE* stream, std::string_view text);

}  // namespace ks
