#include "app/report/report_file.h"

#include <cstdio>

#include "app/report/report_html.h"
#include "common/file.h"
#include "common/platform.h"

namespace ks {

void WriteReportFile(const std::string& path, const std::string& text) {
  File file;
  if (!file.Open(path, File::Mode::kCreate) || !file.WriteAt(0, text.data(), text.size())) {
    throw ReportWriteError(path, SystemErrorText());
  }
}

std::string ReportPageName(const std::tm& local) {
  char name[64];
  std::snprintf(name, sizeof name, "ksconvert-report-%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return std::string(name) + ".html";
}

std::string WriteReportPage(const std::string& directory, const ConversionReport& report) {
  const std::string name = ReportPageName(LocalTime(std::time(nullptr)));
  const std::string stem = name.substr(0, name.size() - 5);  // without ".html"
  std::string path = directory + name;
  for (int n = 2; KindOfEntry(path) != PathKind::kMissing; ++n) {
    path = directory + stem + "-" + std::to_string(n) + ".html";
  }
  WriteReportFile(path, ReportToHtml(report));
  return path;
}

}  // namespace ks
