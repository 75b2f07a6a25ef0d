#pragma once
// ksconvert-cli as the tests run it: the program of the build tree, started with standard
// input from /dev/null (there is no terminal to ask), its output captured in files.

#include <string>

namespace ks::testing {

struct CliResult {
  int exit_code = -1;  // -1: it did not exit normally
  std::string out;
  std::string err;
};

// KS_BINARY_DIR/app/cli/ksconvert-cli, or else the cli folder beside the test's own
// executable (both live in the build's app folder).
std::string CliPath();
// Runs the program with the (already quoted) arguments; stdout and stderr go through files
// in scratch_dir.
CliResult RunCli(const std::string& arguments, const std::string& scratch_dir);
// The whole file, or the empty text when it cannot be read.
std::string ReadAll(const std::string& path);

}  // namespace ks::testing
