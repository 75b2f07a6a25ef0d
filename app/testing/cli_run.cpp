#include "app/testing/cli_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace ks::testing {

std::string CliPath() {
  if (const char* binary_dir = std::getenv("KS_BINARY_DIR")) return std::string(binary_dir) + "/app/cli/ksconvert-cli";
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) throw std::runtime_error("cannot find ksconvert-cli: KS_BINARY_DIR is not set");
  const std::string path(self, n);
  return path.substr(0, path.rfind('/') + 1) + "cli/ksconvert-cli";
}

CliResult RunCli(const std::string& arguments, const std::string& scratch_dir) {
  const std::string out = scratch_dir + "stdout", err = scratch_dir + "stderr";
  const std::string command = "'" + CliPath() + "' " + arguments + " </dev/null >'" + out + "' 2>'" + err + "'";
  const int status = std::system(command.c_str());
  CliResult result;
  if (status != -1 && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  result.out = ReadAll(out);
  result.err = ReadAll(err);
  return result;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace ks::testing
