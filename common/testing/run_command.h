#pragma once
// Runs a shell command and returns what it wrote to standard output (empty when it could
// not be started), for the tests that read our files with independent tools.

#include <cstdio>
#include <string>

namespace ks::testing {

inline std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char chunk[4096];
  size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
  pclose(pipe);
  return out;
}

}  // namespace ks::testing
