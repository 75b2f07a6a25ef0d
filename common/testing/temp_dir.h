#pragma once
// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes. Its name starts with the prefix and ends with the path delimiter;
// names are Windows-1251, Cyrillic ones included.

#include <filesystem>
#include <string>
#include <system_error>

#include "common/codepage.h"
#include "common/non_copyable.h"
#include "common/platform.h"

namespace ks::testing {

class TempDir : NonCopyable {
 public:
  explicit TempDir(const std::string& prefix = "ks_test_") : path_(CreateTemporaryDirectory(prefix)) {}
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::u8path(Cp1251ToUtf8(path_)), ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace ks::testing
