// Every file operation of a run may fail, and the process may die at any point: a run either
// fails with a message that names the file and the system's reason, or succeeds with the very
// files of a clean run and nothing left over; a run after a crash is clean again. Swept over
// every operation of the conversion of a small archive, one position at a time.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/converter.h"
#include "app/testing/conversion_fixture.h"
#include "common/codepage.h"
#include "common/exception.h"
#include "common/file.h"
#include "common/platform.h"
#include "common/testing/temp_dir.h"
#ifdef KS_LEGACY_WRITER
#include "app/testing/sample_database.h"
#endif

namespace ks {
namespace {

namespace fs = std::filesystem;
using testing::RecordingWindow;

// The system's words for the I/O error the hook makes.
#ifdef _WIN32
const std::string kIoError = "ошибка ввода-вывода";
#else
const std::string kIoError = "Input/output error";
#endif

struct Operation {
  FileOperation kind;
  std::string path;
};

// What one run left: its failure (UTF-8, empty for success), its log and the operations it did.
struct Outcome {
  std::string failure;
  std::vector<std::string> log;
  std::vector<Operation> operations;
};

// The files of a directory by name; the last-update date in each table header is left out,
// since a run on another day writes another one.
std::map<std::string, std::string> Files(const std::string& dir) {
  std::map<std::string, std::string> files;
  if (!fs::exists(dir)) return files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string name = entry.path().filename().string();
    if (name.size() > 4 && name.substr(name.size() - 4) == ".dbf" && bytes.size() >= 4) bytes.replace(1, 3, "\0\0\0", 3);
    files[name] = bytes;
  }
  return files;
}

bool Logged(const std::vector<std::string>& log, const std::string& start) {
  return std::any_of(log.begin(), log.end(), [&](const std::string& line) { return line.rfind(start, 0) == 0; });
}

std::string WithoutTrailingDelimiter(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

class RunFaultSweepTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadMetadataOnce(); }
  // The archive: the legacy tables of the directory KS_SWEEP_LEGACY (written elsewhere, as
  // for the Windows build), else the sample database.
  void SetUp() override {
#ifndef _WIN32
    // Each run flushes its files to the disk; memory-backed files keep a sweep of hundreds
    // of runs fast without changing what the run does.
    if (fs::is_directory("/dev/shm") && DirectoryIsWritable("/dev/shm")) {
      shm_dir_ = "/dev/shm/ks_sweep_" + std::to_string(::getpid()) + "/";
      fs::remove_all(shm_dir_);
      fs::create_directories(shm_dir_);
      database_ = shm_dir_ + "db/";
    }
#endif
    fs::create_directories(legacy_);
    if (const char* prepared = std::getenv("KS_SWEEP_LEGACY")) {
      for (const auto& entry : fs::directory_iterator(prepared)) {
        fs::copy_file(entry.path(), fs::path(legacy_) / entry.path().filename());
      }
      return;
    }
#ifdef KS_LEGACY_WRITER
    testing::SampleDatabase().Write(legacy_);
#else
    GTEST_SKIP() << "KS_SWEEP_LEGACY names no legacy database";
#endif
  }
  void TearDown() override {
    SetFileOperationHook(nullptr);
    if (!shm_dir_.empty()) fs::remove_all(shm_dir_);
  }

  testing::TempDir dir_;
  std::string shm_dir_;
  std::string legacy_ = dir_.Path() + "legacy" + kPathDelimiter;
  std::string database_ = dir_.Path() + "db" + kPathDelimiter;

  // Converts into a fresh database directory; the operation at position fail_at (counted
  // from 0) fails with an I/O error, none when it is past the end.
  Outcome Convert(size_t fail_at, bool fresh = true) {
    if (fresh) fs::remove_all(database_);
    Outcome outcome;
    RecordingWindow window;
    {
      Converter converter;
      converter.SetLegacyDirectory(legacy_);
      converter.TakeDatabasePath(database_);
      SetFileOperationHook([&](FileOperation kind, const std::string& path) {
        outcome.operations.push_back({kind, path});
        return outcome.operations.size() - 1 != fail_at;
      });
      try {
        converter.Run(window);
      } catch (const Exception& e) {
        outcome.failure = Cp1251ToUtf8(e.what());
        if (outcome.failure.empty()) outcome.failure = "(empty message)";
      }
      SetFileOperationHook(nullptr);
    }  // tables a failed run left open are closed here, without faults
    outcome.log = window.lines;
    return outcome;
  }
};

TEST_F(RunFaultSweepTest, EveryFailingOperationEndsTheRunWithItsCauseOrLeavesTheCleanFiles) {
  const Outcome clean = Convert(SIZE_MAX);
  ASSERT_EQ(clean.failure, "");
  const std::map<std::string, std::string> clean_files = Files(database_);
  ASSERT_FALSE(clean_files.empty());
  const size_t positions = clean.operations.size();
  // Windows runs every seventh position (under Wine a run takes ten times as long).
  const char* step_text = std::getenv("KS_SWEEP_STEP");
#ifdef _WIN32
  const size_t step = step_text != nullptr ? std::strtoul(step_text, nullptr, 10) : 7;
#else
  const size_t step = step_text != nullptr ? std::strtoul(step_text, nullptr, 10) : 1;
#endif

  struct Figures {
    int tried = 0, failed = 0, identical = 0, index_kept = 0;
  };
  std::array<Figures, kFileOperationKinds> figures{};
  std::array<std::string, kFileOperationKinds> example_failure;
  std::string survived;  // the positions a run went through unharmed
  for (size_t k = 0; k < positions; k += std::max<size_t>(step, 1)) {
    const Operation& operation = clean.operations[k];
    Figures& kind = figures[static_cast<size_t>(operation.kind)];
    ++kind.tried;
    const Outcome run = Convert(k);
    SCOPED_TRACE("position " + std::to_string(k) + ": " + FileOperationName(operation.kind) + " " +
                 Cp1251ToUtf8(operation.path));
    if (run.operations.size() <= k) {
      ADD_FAILURE() << "the run did fewer operations than the clean one";
      continue;
    }
    const Operation& failed = run.operations[k];
    if (!run.failure.empty()) {
      ++kind.failed;
      std::string& example = example_failure[static_cast<size_t>(operation.kind)];
      if (example.empty()) example = run.failure.substr(0, run.failure.find('\n'));
      EXPECT_NE(run.failure.find(kIoError), std::string::npos) << run.failure;
      EXPECT_NE(run.failure.find(Cp1251ToUtf8(WithoutTrailingDelimiter(failed.path))), std::string::npos)
          << run.failure;
      EXPECT_FALSE(Logged(run.log, "Преобразование данных успешно завершено"));
      continue;
    }
    if (Logged(run.log, "Не могу удалить файл ")) {
      // An index file the system would not delete stays, and the log says so and why.
      ++kind.index_kept;
      EXPECT_TRUE(Logged(run.log, "Не могу удалить файл " + Cp1251ToUtf8(fs::path(failed.path).filename().string()) +
                                      ": " + kIoError));
      continue;
    }
    EXPECT_TRUE(Files(database_) == clean_files) << "a run that succeeded left other files than a clean run";
    if (Files(database_) == clean_files) ++kind.identical;
    survived += "  " + std::to_string(k) + " " + FileOperationName(operation.kind) + " " +
                Cp1251ToUtf8(fs::path(operation.path).filename().string()) + "\n";
  }

  std::ostringstream summary;
  summary << "operation  tried  failed-with-cause  succeeded-identical  index-kept-and-logged\n";
  for (int i = 0; i < kFileOperationKinds; ++i) {
    const Figures& f = figures[static_cast<size_t>(i)];
    if (f.tried == 0) continue;
    summary << FileOperationName(static_cast<FileOperation>(i)) << "  " << f.tried << "  " << f.failed << "  "
            << f.identical << "  " << f.index_kept << "\n";
  }
  for (int i = 0; i < kFileOperationKinds; ++i) {
    const std::string& example = example_failure[static_cast<size_t>(i)];
    if (!example.empty()) summary << FileOperationName(static_cast<FileOperation>(i)) << ": " << example << "\n";
  }
  std::cout << "positions " << positions << ", step " << step << "\n"
            << summary.str() << "succeeded with the clean files:\n"
            << survived;
}

#ifndef _WIN32
// Operations that change the disk: where a process that dies leaves something behind.
bool WriteSide(FileOperation kind) {
  return kind != FileOperation::kOpen && kind != FileOperation::kRead && kind != FileOperation::kListDirectory;
}

TEST_F(RunFaultSweepTest, ARunAfterAProcessDiedAtAnyWriteGivesTheCleanFilesWithNothingLeftOver) {
  const Outcome clean = Convert(SIZE_MAX);
  ASSERT_EQ(clean.failure, "");
  const std::map<std::string, std::string> clean_files = Files(database_);
  std::vector<size_t> write_positions;  // counted among the write-side operations
  size_t writes = 0;
  for (const Operation& operation : clean.operations) {
    if (WriteSide(operation.kind)) write_positions.push_back(writes++);
  }
  ASSERT_GT(writes, 0u);
  const char* step_text = std::getenv("KS_CRASH_STEP");
  const size_t step = step_text != nullptr ? std::max<size_t>(1, std::strtoul(step_text, nullptr, 10)) : 1;
  int crashed = 0;
  for (size_t k = 0; k < writes; k += step) {
    SCOPED_TRACE("write-side position " + std::to_string(k));
    fs::remove_all(database_);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      size_t seen = 0;
      SetFileOperationHook([&](FileOperation kind, const std::string&) {
        if (WriteSide(kind) && seen++ == k) ::_exit(77);  // the process dies here, mid-run
        return true;
      });
      RecordingWindow window;
      Converter converter;
      converter.SetLegacyDirectory(legacy_);
      converter.TakeDatabasePath(database_);
      try {
        converter.Run(window);
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 77);
    ++crashed;
    // What a dying index spill leaves is the next run's to clear away.
    if (fs::exists(database_)) std::ofstream(database_ + "goods.cdx-0badf00d-0.tmp") << "sorted keys";
    const Outcome rerun = Convert(SIZE_MAX, false);
    ASSERT_EQ(rerun.failure, "");
    EXPECT_TRUE(Files(database_) == clean_files) << "the run after the crash left other files than a clean run";
  }
  std::cout << "write-side positions " << writes << ", crashed at " << crashed << " (every " << step << ")\n";
}
#endif

}  // namespace
}  // namespace ks
