#include "app/cli/options.h"

namespace ks {

const char kCliUsage[] =
    "Usage: ksconvert-cli [--config FILE] [--legacy DIR] [--database DIR] [--yes]\n"
    "\n"
    "Converts the legacy database (alias VeltroData) into the dBASE tables of the\n"
    "database directory, as the window's \"Старт\" button does.\n"
    "\n"
    "  --config FILE   read FILE instead of ks.ini beside the program\n"
    "  --legacy DIR    read the legacy tables from DIR instead of the alias directory\n"
    "  --database DIR  write the target tables into DIR instead of the configured one\n"
    "  --yes           answer OK when the database directory already holds tables\n"
    "  --help          show this text\n"
    "\n"
    "The log goes to standard output; a progress bar to standard error on a terminal.\n"
    "Without --yes a terminal is asked (y/N) before existing tables are overwritten;\n"
    "anything but y refuses.\n"
    "Exit codes: 0 done, 1 the run failed (message on standard error), 2 usage error,\n"
    "3 refused, nothing touched.\n";

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error) {
  CliOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string* target = nullptr;
    if (arg == "--config") target = &options.config;
    else if (arg == "--legacy") target = &options.legacy;
    else if (arg == "--database") target = &options.database;
    else if (arg == "--yes" || arg == "-y") options.yes = true;
    else if (arg == "--help" || arg == "-h") options.help = true;
    else {
      error = "unknown argument: " + arg;
      return std::nullopt;
    }
    if (target != nullptr) {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = arg + " needs a value";
        return std::nullopt;
      }
      *target = args[++i];
    }
  }
  return options;
}

}  // namespace ks
