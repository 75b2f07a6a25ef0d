// ksconvert-cli: the conversion run without a window, for scripted use.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/cli/console_window.h"
#include "app/cli/options.h"
#include "app/configuration.h"
#include "app/converter.h"
#include "app/startup.h"
#include "common/codepage.h"
#include "common/file.h"
#include "legacy/legacy_alias.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;

int Fail(const std::exception& e) {
  std::fprintf(stderr, "%s\n", ks::Cp1251ToUtf8(e.what()).c_str());
  return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = ks::ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "ksconvert-cli: %s\n\n%s", error.c_str(), ks::kCliUsage);
    return kExitUsage;
  }
  if (options->help) {
    std::fputs(ks::kCliUsage, stdout);
    return 0;
  }

  const std::string app_path = ks::ExecutableDirectory();
  const std::string ini_path = options->config.empty() ? ks::DefaultIniPath(app_path) : options->config;
  if (!options->config.empty() && !ks::FileExists(ini_path)) {
    std::fprintf(stderr, "ksconvert-cli: configuration file not found: %s\n", ini_path.c_str());
    return kExitUsage;
  }

  try {
    ks::LoadProcessMetadata();
    ks::Converter converter;
    converter.SetLegacyDirectory(options->legacy.empty() ? ks::ResolveLegacyAlias(ini_path, app_path)
                                                         : options->legacy);
    converter.TakeDatabasePath(options->database.empty() ? ks::ReadDatabasePath(ini_path, app_path)
                                                         : options->database);
    ks::ConsoleWindow window(options->yes);
    if (!converter.Run(window)) return kExitRefused;
    return 0;
  } catch (const std::exception& e) {
    return Fail(e);
  }
}
