#pragma once
// A fresh directory under the system's temporary directory, removed with its files.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/non_copyable.h"
#include "common/platform.h"

namespace ks::testing {

class TempDir : NonCopyable {
 public:
  TempDir() {
    path_ = CreateTemporaryDirectory("ks_legacy_");
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  // With a trailing delimiter.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace ks::testing
