#include "common/win32_text.h"

#include <cerrno>

#include "common/codepage.h"
#include "common/platform.h"

namespace ks::win32 {
namespace {

constexpr UINT kCp1251 = 1251;
// Longest name of one directory or file.
constexpr size_t kMaxComponent = 255;

thread_local DWORD last_error = ERROR_SUCCESS;

int ErrnoOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NOT_READY: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EBUSY;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return EISDIR;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: return EINVAL;
    default: return EIO;
  }
}

std::wstring Convert(UINT code_page, const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

// "X:" at the start of a path whose drive does not exist.
bool OnMissingDrive(const std::string& path) {
  if (path.size() < 2 || path[1] != ':') return false;
  const wchar_t root[] = {static_cast<wchar_t>(static_cast<unsigned char>(path[0])), L':', L'\\', L'\0'};
  return GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR;
}

}  // namespace

std::wstring Cp1251ToWide(const std::string& text) { return Convert(kCp1251, text); }
std::wstring Utf8ToWide(const std::string& text) { return Convert(CP_UTF8, text); }

std::string WideToCp1251(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(kCp1251, 0, text.data(), size, nullptr, 0, "?", nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(kCp1251, 0, text.data(), size, out.data(), n, "?", nullptr);
  return out;
}

bool SystemPath(const std::string& path, std::wstring& out) {
  if (path.find('\0') != std::string::npos) {
    RecordError(ERROR_INVALID_NAME, path);
    return false;
  }
  out = Cp1251ToWide(path);
  size_t component = 0;
  for (const wchar_t c : out) {
    component = (c == L'\\' || c == L'/') ? 0 : component + 1;
    if (component > kMaxComponent) break;
  }
  if (out.size() >= MAX_PATH || component > kMaxComponent) {
    RecordError(ERROR_FILENAME_EXCED_RANGE, path);
    return false;
  }
  return true;
}

void RecordError(DWORD code, const std::string& path) {
  if ((code == ERROR_PATH_NOT_FOUND || code == ERROR_FILE_NOT_FOUND) && OnMissingDrive(path)) {
    code = ERROR_INVALID_DRIVE;
  }
  last_error = code;
  errno = ErrnoOf(code);
}

void RecordLastError(const std::string& path) { RecordError(GetLastError(), path); }

void RecordErrno(int error) {
  switch (error) {
    case ENOSPC: RecordError(ERROR_DISK_FULL); break;
    case EISDIR: RecordError(ERROR_DIRECTORY); break;
    case ENOTDIR: RecordError(ERROR_PATH_NOT_FOUND); break;
    default: RecordError(ERROR_IO_DEVICE); break;
  }
  errno = error;
}

}  // namespace ks::win32

namespace ks {

std::string SystemErrorText() {
  using namespace std::string_literals;
  const char* text = nullptr;
  switch (win32::last_error) {
    case ERROR_FILE_NOT_FOUND: text = "файл не найден"; break;
    case ERROR_PATH_NOT_FOUND: text = "путь не найден"; break;
    case ERROR_INVALID_DRIVE: text = "такого диска нет"; break;
    case ERROR_ACCESS_DENIED: text = "нет доступа"; break;
    case ERROR_WRITE_PROTECT: text = "диск защищён от записи"; break;
    case ERROR_NOT_READY: text = "устройство не готово"; break;
    case ERROR_SHARING_VIOLATION: text = "файл открыт другой программой"; break;
    case ERROR_LOCK_VIOLATION: text = "часть файла заблокирована другой программой"; break;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: text = "на диске нет места"; break;
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: text = "сетевой путь не найден"; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: text = "файл уже существует"; break;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: text = "недопустимое имя файла или каталога"; break;
    case ERROR_FILENAME_EXCED_RANGE: text = "имя файла или путь длиннее, чем допускает система"; break;
    case ERROR_DIRECTORY: text = "это каталог, а не файл"; break;
    case ERROR_IO_DEVICE: text = "ошибка ввода-вывода"; break;
    default: break;
  }
  if (text != nullptr) return W(text);
  // Any other failure in the system's own words, with its number.
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, win32::last_error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring message = n > 0 && buffer != nullptr ? std::wstring(buffer, n) : std::wstring();
  if (buffer != nullptr) LocalFree(buffer);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L'.' ||
                              message.back() == L' ')) {
    message.pop_back();
  }
  const std::string number = W("системная ошибка ") + std::to_string(win32::last_error);
  return message.empty() ? number : win32::WideToCp1251(message) + " (" + number + ")";
}

}  // namespace ks
