#pragma once
// The report written to a file: the command line's --report, and the page every window run
// leaves beside the program, named after the moment it was written, so that each run keeps
// its own.

#include <ctime>
#include <stdexcept>
#include <string>
#include <utility>

#include "app/report/conversion_report.h"

namespace ks {

// A report file that could not be written; what() is "PATH: REASON" (Windows-1251).
class ReportWriteError : public std::runtime_error {
 public:
  ReportWriteError(std::string path, std::string reason)
      : std::runtime_error(path + ": " + reason), path_(std::move(path)), reason_(std::move(reason)) {}
  const std::string& Path() const { return path_; }
  // The system's own error text.
  const std::string& Reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

// Writes text as the whole content of a new file at path. Throws ReportWriteError.
void WriteReportFile(const std::string& path, const std::string& text);

// "ksconvert-report-20261209-141503.html" for that local time.
std::string ReportPageName(const std::tm& local);

// Writes the report's page into directory (with its trailing delimiter) under the name of
// the local time now; a name already taken gets "-2", "-3" and so on. Returns the path.
// Throws ReportWriteError.
std::string WriteReportPage(const std::string& directory, const ConversionReport& report);

}  // namespace ks
