#pragma once
// Switches the whole process to a locale whose decimal separator is a comma (ru_RU.UTF-8,
// on Windows Russian_Russia.1251), as the window program's users run it, and back to "C" at
// the end of the scope. When a POSIX system lacks the locale it is compiled once with
// localedef into the build tree (or the temporary directory) and found through LOCPATH.

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/non_copyable.h"
#include "common/platform.h"

namespace ks::testing {

class DecimalCommaLocale : NonCopyable {
 public:
  static constexpr const char* kName = "ru_RU.UTF-8";
  static constexpr const char* kWindowsName = "Russian_Russia.1251";

  DecimalCommaLocale() {
    if (std::setlocale(LC_ALL, kName) == nullptr && std::setlocale(LC_ALL, kWindowsName) == nullptr && Generate()) {
      std::setlocale(LC_ALL, kName);
    }
    active_ = std::localeconv()->decimal_point[0] == ',';
  }
  ~DecimalCommaLocale() { std::setlocale(LC_ALL, "C"); }

  // True when the process now runs with a decimal comma.
  bool Active() const { return active_; }

 private:
  static bool Generate() {
    const char* binary_dir = std::getenv("KS_BINARY_DIR");
    const std::filesystem::path root =
        binary_dir ? std::filesystem::path(binary_dir) / "test-locales"
                   : std::filesystem::temp_directory_path() / "ks-test-locales";
    std::error_code ignored;
    std::filesystem::create_directories(root, ignored);
    if (!std::filesystem::exists(root / kName)) {
      // Compiled beside the final name and renamed, so that tests running at the same
      // time never see half a locale.
      const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
      const std::string partial = (root / (std::string(kName) + "." + std::to_string(stamp))).string();
      const std::string command = "localedef -i ru_RU -f UTF-8 '" + partial + "' >/dev/null 2>&1";
      if (std::system(command.c_str()) != 0 && !std::filesystem::exists(partial + "/LC_NUMERIC")) return false;
      std::filesystem::rename(partial, root / kName, ignored);
      std::filesystem::remove_all(partial, ignored);
    }
    SetProcessEnvironment("LOCPATH", root.string());
    return true;
  }

  bool active_ = false;
};

}  // namespace ks::testing
