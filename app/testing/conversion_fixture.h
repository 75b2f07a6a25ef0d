#pragma once
// What the conversion tests share: a window that records everything the run shows, the
// lines a run must log, and a run of the core over a fresh pair of directories.

#include <string>
#include <vector>

#include "app/converter.h"
#include "app/testing/legacy_fixture.h"
#include "common/main_window.h"

namespace ks::testing {

// Keeps the log in UTF-8, the progress calls and the questions; answers with `answer`.
class RecordingWindow : public IMainWindow {
 public:
  explicit RecordingWindow(bool answer = true) : answer_(answer) {}
  void AddLogLine(const std::string& text) override;
  void SetProgressMax(int max) override { maxima.push_back(max); }
  void SetProgressPosition(int position) override { positions.push_back(position); }
  bool ConfirmOkCancel(const std::string& text) override;
  void ShowErrorBox(const std::string& text) override;

  std::vector<std::string> lines;
  std::vector<int> maxima;
  std::vector<int> positions;
  std::vector<std::string> questions;
  std::vector<std::string> errors;

 private:
  bool answer_;
};

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
