#pragma once
// A fresh directory under the system's temporary directory, removed with its files.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/non_copyable.h"

namespace ks::testing {

class TempDir : NonCopyable {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ks_legacy_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern + "/";
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  // With a trailing "/".
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace ks::testing
