#pragma once
// The report as one self-contained page for the operator and whoever signs the migration
// off: the run's outcome, the stages as a table and a bar chart, the legacy tables, and what
// could not be stored as it was, with the records named. No scripts, no external files;
// prints on A4. Every legacy text is escaped for the page (DisplayText, then HTML).

#include <string>

#include "app/report/conversion_report.h"

namespace ks {

// The page, UTF-8.
std::string ReportToHtml(const ConversionReport& report);

// Whether a report path asks for the page: it ends with .html or .htm, in any case.
bool IsHtmlReportPath(const std::string& path);

}  // namespace ks
