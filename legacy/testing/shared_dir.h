#pragma once
// Where the tests find the shared folder with the real sample tables: KS_SHARED_DIR when
// set, else beside the source tree (ctest sets KS_SOURCE_DIR), else two levels up from the
// test's working directory.

#include <cstdlib>
#include <string>

namespace ks::testing {

inline std::string SharedDir() {
  if (const char* shared = std::getenv("KS_SHARED_DIR")) return shared;
  if (const char* source = std::getenv("KS_SOURCE_DIR")) return std::string(source) + "/../shared";
  return "../../shared";
}

}  // namespace ks::testing
