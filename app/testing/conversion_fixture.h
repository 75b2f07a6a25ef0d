#pragma once
// What the conversion tests share: the lines a run must log, and a run of the core over a
// fresh pair of directories (RecordingWindow records what the run shows).

#include <string>
#include <vector>

#include "app/converter.h"
#include "app/testing/legacy_fixture.h"
#include "common/main_window.h"
#include "common/testing/recording_window.h"

namespace ks::testing {

// Loads the embedded schema into the process-wide tree once.
void LoadMetadataOnce();

// The fourteen table-creation blocks that open every run.
std::vector<std::string> CreationLines();
// The framing lines of stage n (1..11): first line, last line, "---", "".
std::vector<std::string> StageLines(int stage);
// "Удаление " + name for every .cdx file the clean-up must delete, sorted.
std::vector<std::string> CdxDeletionLines();
// The whole log of a successful run, the clean-up block with its file lines in the order
// given, and when there are warnings an empty line, their heading and the warnings.
std::vector<std::string> ExpectedLog(const std::vector<std::string>& deletion_lines,
                                     const std::vector<std::string>& warnings = {});
// The clean-up block's "Удаление x" lines of a log, in their order.
std::vector<std::string> DeletionLines(const std::vector<std::string>& log);
// The lines after the heading "Предупреждения:" of a log, in their order.
std::vector<std::string> LoggedWarnings(const std::vector<std::string>& log);
// The lines joined by newlines, for readable comparisons.
std::string Joined(const std::vector<std::string>& lines);

// The text of the question before existing tables are overwritten, in UTF-8.
extern const char kOverwriteQuestion[];

// Files of a directory with their sizes and contents hash, for "nothing was touched".
std::string DirectorySnapshot(const std::string& dir);
// Names of the files of dir with that extension (any case).
std::vector<std::string> FilesEndingWith(const std::string& dir, const std::string& ext);
// Byte 28 of a table header.
int HeaderFlags(const std::string& dbf_path);

}  // namespace ks::testing
