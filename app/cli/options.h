#pragma once
// The command line of ksconvert-cli.

#include <optional>
#include <string>
#include <vector>

namespace ks {

struct CliOptions {
  std::string config;    // --config FILE; empty: ks.ini beside the executable
  std::string legacy;    // --legacy DIR; empty: the alias from the configuration
  std::string database;  // --database DIR; empty: the directory from the configuration
  std::string report;    // --report FILE: the findings of the run as JSON
  bool yes = false;      // --yes answers the question OK
  bool check = false;    // --check: read and check everything, create nothing
  bool verify = true;    // --no-verify leaves out reading the new database back
  bool help = false;
};

// Parses the arguments after the program name. On a usage error returns nothing and puts
// the reason into error.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error);

extern const char kCliUsage[];

}  // namespace ks
