#include "app/cli/options.h"

namespace ks {

const char kCliUsage[] =
    "Usage: ksconvert-cli [--config FILE] [--legacy DIR] [--database DIR] [--yes]\n"
    "                     [--check] [--report FILE] [--no-verify]\n"
    "\n"
    "Converts the legacy database (alias VeltroData) into the dBASE tables of the\n"
    "database directory, as the window's \"Старт\" button does.\n"
    "\n"
    "  --config FILE   read FILE instead of ks.ini beside the program\n"
    "  --legacy DIR    read the legacy tables from DIR instead of the alias directory\n"
    "  --database DIR  write the target tables into DIR instead of the configured one\n"
    "  --yes           answer OK when the database directory already holds tables\n"
    "  --check         dry run: check the legacy table structures and read every legacy\n"
    "                  record and memo with the checks of a real run; nothing is created\n"
    "                  or written. Prints the warnings, the record counts per stage and\n"
    "                  the code page of each legacy table.\n"
    "  --report FILE   write what the run (or check) counted and found to FILE as JSON:\n"
    "                  records read, skipped (with the reason) and written per stage,\n"
    "                  values that could not be stored as they are, duplicate legacy\n"
    "                  identifiers, goods lines whose document is missing or skipped,\n"
    "                  the code page of each legacy table and why, and the read-back\n"
    "                  check of the new database per table; the first records of each\n"
    "                  kind named. A FILE ending in .html (or .htm) gets the same as a\n"
    "                  printable page instead\n"
    "  --no-verify     leave out the read-back check and the control totals after the run\n"
    "  --help          show this text\n"
    "\n"
    "The log goes to standard output; a progress bar to standard error on a terminal.\n"
    "Without --yes a terminal is asked (y/N) before existing tables are overwritten;\n"
    "anything but y refuses.\n"
    "Values that cannot be stored as they are (a text longer than its field, a number\n"
    "too wide for its field, a memo character that code page 866 lacks) do not stop the\n"
    "run: after the log, one warning per table and field with a count goes to standard\n"
    "error. Lock files of the legacy engine (PDOXUSRS.LCK, PARADOX.LCK) in the legacy\n"
    "directory are warned about before anything is read: the legacy package may still\n"
    "be running and changing its tables.\n"
    "After a run the new database is read back through the engine: every table must\n"
    "open and hold the records the run wrote, every field must read as its type, every\n"
    "memo pointer must lead to a sound block of the memo file, and every counter of\n"
    "LINES must lie above the UIDs of its table. One line on standard error says so,\n"
    "or lists what differs, with the file and the place; the files stay as they are.\n"
    "Exit codes: 0 done (or checked), 1 the run or check failed or the new database\n"
    "differs (message on standard error), 2 usage error, 3 refused, nothing touched.\n";

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error) {
  CliOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string* target = nullptr;
    if (arg == "--config") target = &options.config;
    else if (arg == "--legacy") target = &options.legacy;
    else if (arg == "--database") target = &options.database;
    else if (arg == "--report") target = &options.report;
    else if (arg == "--check") options.check = true;
    else if (arg == "--no-verify") options.verify = false;
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
