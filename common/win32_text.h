#pragma once
// Between the Windows implementations of the platform interface: texts of the system in
// UTF-16, paths checked on their way in, and the reason of the last failure.

#include <windows.h>

#include <string>

namespace ks::win32 {

std::wstring Cp1251ToWide(const std::string& text);
// Characters that code page 1251 lacks become '?'.
std::string WideToCp1251(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// The path as the system takes it; false (with the failure recorded) for a path that is
// longer than the system allows or holds a NUL.
bool SystemPath(const std::string& path, std::wstring& out);

// Records a failure of the system for SystemErrorText() and errno. With the path that
// failed, a missing file on a drive that does not exist is reported as the missing drive.
void RecordError(DWORD code, const std::string& path = std::string());
// Records GetLastError() the same way.
void RecordLastError(const std::string& path = std::string());
// Records a failure known by its errno value (the fault hook of the tests, short writes).
void RecordErrno(int error);

}  // namespace ks::win32
