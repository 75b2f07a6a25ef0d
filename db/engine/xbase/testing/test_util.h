#pragma once
// Helpers of the engine tests: a fresh temporary directory per test and a small table.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/platform.h"
#include "db/engine/xbase/xbase.h"

namespace ks::xbase::testing {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = CreateTemporaryDirectory("ks_xbase_");
    engine_ = code4initP();
    code4safety(engine_, 0);
  }
  void TearDown() override {
    code4initUndo(engine_);
    std::filesystem::remove_all(dir_);
  }
  std::string Path(const std::string& name) const { return dir_ + name; }

  // Writes text into a field of the cursor's record buffer, blank padded or cut.
  static void Put(Data4* data, const char* field, const std::string& text) {
    Field4* f = d4field(data, field);
    ASSERT_NE(f, nullptr) << field;
    const size_t len = size_t(f4len(f));
    std::memset(f4str(f), ' ', len);
    std::memcpy(f4str(f), text.data(), std::min(len, text.size()));
  }
  static void PutNumber(Data4* data, const char* field, long value) {
    Field4* f = d4field(data, field);
    ASSERT_NE(f, nullptr) << field;
    const std::string text = std::to_string(value);
    const size_t len = size_t(f4len(f));
    ASSERT_LE(text.size(), len);
    std::memset(f4str(f), ' ', len);
    std::memcpy(f4str(f) + len - text.size(), text.data(), text.size());
  }
  static std::string Get(Data4* data, const char* field) {
    Field4* f = d4field(data, field);
    return f ? std::string(f4str(f), size_t(f4len(f))) : std::string("<no field>");
  }
  static std::string GetTrimmed(Data4* data, const char* field) {
    std::string s = Get(data, field);
    s.erase(s.find_last_not_of(' ') + 1);
    s.erase(0, s.find_first_not_of(' '));
    return s;
  }
  // Appends one record through the usual sequence of calls.
  template <typename Fill>
  static void Append(Data4* data, Fill fill) {
    ASSERT_EQ(d4appendStart(data, 0), 0);
    d4blank(data);
    fill(data);
    d4changed(data, 1);
    ASSERT_EQ(d4append(data), 0);
    ASSERT_EQ(d4unlock(data), 0);
  }

  std::string dir_;
  Code4* engine_ = nullptr;
};

}  // namespace ks::xbase::testing
