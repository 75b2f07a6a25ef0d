#pragma once
// The message of the exception a call must raise, for tests that check the exact text.

#include <gtest/gtest.h>

#include <string>

namespace ks::testing {

// The what() of the exception of type E that call raises; a test failure and the empty text
// when it raises none (an exception of another type passes on and fails the test).
template <typename E, typename Call>
std::string FailureMessage(Call&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  ADD_FAILURE() << "no exception was raised";
  return std::string();
}

}  // namespace ks::testing
