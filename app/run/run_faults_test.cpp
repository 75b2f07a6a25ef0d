// Faults during a run: each ends it with a message that says what went wrong and where,
// never with a crash and never with the success lines. And links planted in the database
// directory, which a run must never write or delete through.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "app/converter.h"
#include "app/testing/conversion_fixture.h"
#include "app/testing/legacy_dirs_test.h"
#include "common/codepage.h"
#include "common/file.h"
#include "common/testing/temp_dir.h"

namespace ks {
namespace {

using testing::LegacyFixture;
using testing::RecordingWindow;
using W_ = ParadoxTableWriter;

constexpr int kGoodsLines = 400;

LegacyFixture Database() {
  LegacyFixture f;
  f.document = [](W_& w) {
    for (int32_t id = 1; id <= 40; ++id) {
      w.SetLong("DocumentID", id);
      w.SetLong("TypeDoc", 4);
      w.SetMemo("MemoPok", std::string(300, 'm'));
      w.Append();
    }
  };
  f.fullstorage = [](W_& w) {
    for (int i = 0; i < kGoodsLines; ++i) {
      w.SetLong("DocID", 1 + i % 40);
      w.SetText("numdeclar", "10130010/010203/0001234");
      w.Append();
    }
  };
  return f;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class RunFaultsTest : public testing::LegacyDirsTest {
 protected:
  RunFaultsTest() : LegacyDirsTest(Database()) {}
  void TearDown() override {
    SetFileFaultHook(nullptr);
    SetFileOperationHook(nullptr);
  }

  // The message (UTF-8) of the exception that ends the run or check; empty when none.
  // verify: the run with the checks of the new base, as the window and the command line do.
  std::string Failure(bool check = false, const std::string& database = "", bool verify = false) {
    converter_.SetLegacyDirectory(legacy_);
    converter_.TakeDatabasePath(database.empty() ? database_ : database);
    try {
      if (check) {
        converter_.Check(window_);
      } else if (verify) {
        converter_.RunAndVerify(window_);
      } else {
        converter_.Run(window_);
      }
    } catch (const Exception& e) {
      EXPECT_FALSE(converter_.Report().Completed());
      return Cp1251ToUtf8(e.what() + converter_.Report().Explanation());
    }
    return std::string();
  }
  bool LoggedSuccess() const {
    for (const std::string& line : window_.lines) {
      if (line == "Преобразование данных успешно завершено") return true;
    }
    return false;
  }

  Converter converter_;
  RecordingWindow window_;
};

TEST_F(RunFaultsTest, DatabaseDirectoryThatCannotBeCreated) {
  std::ofstream(dir_.Path() + "plain-file") << "x";
  const std::string message = Failure(false, dir_.Path() + "plain-file/db/");
  EXPECT_NE(message.find("Не могу создать каталог " + dir_.Path() + "plain-file"), std::string::npos) << message;
  EXPECT_NE(message.find("Преобразование прервано при создании базы данных"), std::string::npos) << message;
  EXPECT_FALSE(LoggedSuccess());
}

TEST_F(RunFaultsTest, DatabaseDirectoryThatCannotBeWritten) {
  std::filesystem::create_directories(database_);
  // The superuser writes past permission bits; a read-only file system stops it too.
  const bool as_root = ::geteuid() == 0;
  if (as_root && ::mount("tmpfs", database_.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a read-only file system here";
  }
  if (!as_root) {
    std::filesystem::permissions(database_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  }
  const std::string message = Failure();
  if (as_root) {
    ::umount(database_.c_str());
  } else {
    std::filesystem::permissions(database_, std::filesystem::perms::owner_all);
  }
  EXPECT_NE(message.find("Нет доступа на запись в каталог " + database_), std::string::npos) << message;
  EXPECT_TRUE(window_.lines.empty());
}

TEST_F(RunFaultsTest, TheErrorBoxGetsTheFailureTextExactlyAndTheExplanationGoesToTheReport) {
  SetFileFaultHook([](const std::string& path, bool is_write, uint64_t offset, size_t size) -> int64_t {
    if (is_write && EndsWith(path, "goods.dbf") && offset + size > 8192) return -1;
    return static_cast<int64_t>(size);
  });
  converter_.SetLegacyDirectory(legacy_);
  converter_.TakeDatabasePath(database_);
  std::string message;
  try {
    converter_.Run(window_);
  } catch (const Exception& e) {
    message = Cp1251ToUtf8(e.what());
  }
  EXPECT_EQ(message, "Не удалось записать файл " + database_ + "goods.dbf: Input/output error (Ошибка -80)");
  EXPECT_NE(Cp1251ToUtf8(converter_.Report().Explanation()).find("Преобразование прервано"), std::string::npos);
}

TEST_F(RunFaultsTest, WriteFailureThatTheEngineHoldsBackUntilClosingStillEndsTheRun) {
  // The goods table stops taking bytes past 8 KiB, as a disk does that fills up; the
  // engine gathers appended records and writes them when the tables are closed.
  SetFileFaultHook([](const std::string& path, bool is_write, uint64_t offset, size_t size) -> int64_t {
    if (is_write && EndsWith(path, "goods.dbf") && offset + size > 8192) return -1;
    return static_cast<int64_t>(size);
  });
  const std::string message = Failure();
  EXPECT_EQ(message.substr(0, message.find('\n')),
            "Не удалось записать файл " + database_ + "goods.dbf: Input/output error (Ошибка -80)");
  EXPECT_NE(message.find("Преобразование прервано при записи версии и закрытии таблиц."), std::string::npos)
      << message;
  EXPECT_NE(message.find("Записанное до ошибки осталось в каталоге " + database_), std::string::npos) << message;
  EXPECT_FALSE(LoggedSuccess());
  EXPECT_EQ(window_.lines.back(), "Закрытие таблиц");

  // The tables the failed run left open are its own: a second run goes through.
  SetFileFaultHook(nullptr);
  RecordingWindow second;
  converter_.SetLegacyDirectory(legacy_);
  EXPECT_TRUE(converter_.Run(second));
  EXPECT_EQ(second.lines.back(), "");
  EXPECT_EQ(second.lines[second.lines.size() - 3], "Преобразование данных успешно завершено");
}

TEST_F(RunFaultsTest, EveryWrittenFileAndTheDirectoryReachTheDiskBeforeTheSuccessLine) {
  std::vector<std::string> flushed;
  bool index_left_at_directory_flush = true;
  SetFileFaultHook([&](const std::string& path, bool is_write, uint64_t offset, size_t size) -> int64_t {
    if (is_write && offset == kFlushOffset) {
      flushed.push_back(path);
      if (path == database_) index_left_at_directory_flush = !testing::FilesEndingWith(database_, ".cdx").empty();
    }
    return static_cast<int64_t>(size);
  });
  ASSERT_EQ(Failure(), "");
  std::vector<std::string> expected;
  for (const char* extension : {".dbf", ".fpt"}) {
    for (const std::string& name : testing::FilesEndingWith(database_, extension)) expected.push_back(database_ + name);
  }
  std::sort(expected.begin(), expected.end());
  ASSERT_FALSE(flushed.empty());
  EXPECT_EQ(flushed.back(), database_);  // the directory last, after the index files are gone
  EXPECT_FALSE(index_left_at_directory_flush);
  flushed.pop_back();
  std::sort(flushed.begin(), flushed.end());
  EXPECT_EQ(flushed, expected);
  EXPECT_EQ(expected.size(), 16u);  // 14 tables, 2 of them with memo files
}

TEST_F(RunFaultsTest, FlushThatFailsEndsTheRunWithoutTheSuccessLine) {
  // With the checks, the flush goes on beside them; what they found is not kept.
  for (const auto& [failing, verify] : std::vector<std::pair<std::string, bool>>{
           {"doc.fpt", false}, {"", false}, {"goods.dbf", true}, {"", true}}) {
    SCOPED_TRACE((failing.empty() ? "directory" : failing) + (verify ? " with the checks" : ""));
    SetFileFaultHook([&](const std::string& path, bool is_write, uint64_t offset, size_t size) -> int64_t {
      if (is_write && offset == kFlushOffset && path == database_ + failing) return -1;
      return static_cast<int64_t>(size);
    });
    const std::string message = Failure(false, "", verify);
    EXPECT_FALSE(converter_.Report().Verification());
    EXPECT_FALSE(converter_.Report().Totals());
    const std::string what = failing.empty() ? "каталог " + database_ : "файл " + database_ + failing;
    EXPECT_EQ(message.substr(0, message.find('\n')), "Не удалось сохранить на диске " + what + ": Input/output error");
    EXPECT_NE(message.find("Преобразование прервано при сохранении таблиц на диске"), std::string::npos) << message;
    EXPECT_FALSE(LoggedSuccess());
    EXPECT_FALSE(converter_.Report().Completed());
    EXPECT_EQ(window_.lines.back(), "");
    EXPECT_EQ(window_.lines[window_.lines.size() - 2], "---");
    EXPECT_EQ(window_.lines[window_.lines.size() - 3], "Удаление индексов успешно завершено");
    window_.lines.clear();
  }
}

TEST_F(RunFaultsTest, ChecksThatFailBesideTheFlushFailAfterTheSuccessLine) {
  // The archive can no longer be opened once the run has deleted its index files: the
  // control totals fail, after the read-back check, while the run itself succeeded.
  std::atomic<bool> indexes_deleted{false};
  SetFileOperationHook([&](FileOperation operation, const std::string& path) {
    if (operation == FileOperation::kRemove && EndsWith(path, ".cdx")) indexes_deleted = true;
    return !(indexes_deleted && operation == FileOperation::kOpen && EndsWith(path, "FULLSTORAGE.DB"));
  });
  converter_.SetLegacyDirectory(legacy_);
  converter_.TakeDatabasePath(database_);
  std::string message;
  try {
    converter_.RunAndVerify(window_);
  } catch (const Exception& e) {
    message = Cp1251ToUtf8(e.what());
  }
  EXPECT_NE(message.find("FULLSTORAGE"), std::string::npos) << message;
  EXPECT_TRUE(LoggedSuccess());
  EXPECT_TRUE(converter_.Report().Completed());
  ASSERT_TRUE(converter_.Report().Verification());
  EXPECT_TRUE(converter_.Report().Verification()->Clean());
  EXPECT_FALSE(converter_.Report().Totals());
}

TEST_F(RunFaultsTest, LegacyReadFailureInTheMiddleOfAStage) {
  // The memos of the documents cannot be read past their first blocks, in the run and in
  // the check.
  SetFileFaultHook([](const std::string& path, bool is_write, uint64_t offset, size_t size) -> int64_t {
    if (!is_write && EndsWith(path, "Document.MB") && offset + size > 8192) return -1;
    return static_cast<int64_t>(size);
  });
  for (const bool check : {true, false}) {
    SCOPED_TRACE(check ? "check" : "run");
    const std::string message = Failure(check);
    EXPECT_NE(message.find("Ошибка чтения таблицы Document"), std::string::npos) << message;
    EXPECT_NE(message.find(check ? "Проверка прервана на этапе 9 (Document -> Doc.dbf)"
                                 : "Преобразование прервано на этапе 9 (Document -> Doc.dbf)"),
              std::string::npos)
        << message;
  }
  EXPECT_FALSE(LoggedSuccess());
}

TEST_F(RunFaultsTest, DamagedMemoFileEndsTheCheckBeforeAnythingIsCreated) {
  std::filesystem::resize_file(legacy_ + "Document.MB", 100);
  const std::string message = Failure(true);
  EXPECT_NE(message.find("Document.MB"), std::string::npos) << message;
  EXPECT_FALSE(std::filesystem::exists(database_));
}

TEST_F(RunFaultsTest, TableLockedByAnotherProgram) {
  ASSERT_EQ(Failure(), "");
  const std::string snapshot = testing::DirectorySnapshot(database_);

  // Another process takes a record lock on the goods table and holds it until told.
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Only the parent may hold the write end, so that closing it wakes this process.
    ::close(release[1]);
    ::close(ready[0]);
    const int fd = ::open((database_ + "goods.dbf").c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 1000000000;
    lock.l_len = 1;
    const char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
    (void)!::write(ready[1], &ok, 1);
    char any;
    (void)!::read(release[0], &any, 1);
    ::_exit(0);
  }
  ::close(release[0]);
  ::close(ready[1]);
  char ok = 0;
  const bool locked = ::read(ready[0], &ok, 1) == 1 && ok == 'y';
  if (!locked) {
    ::close(release[1]);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    FAIL() << "the other process could not lock the table";
  }

  RecordingWindow window;
  converter_.SetLegacyDirectory(legacy_);
  std::string message;
  try {
    converter_.Run(window);
  } catch (const Exception& e) {
    message = Cp1251ToUtf8(e.what() + converter_.Report().Explanation());
  }
  ::close(release[1]);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);

  EXPECT_NE(message.find("Таблица goods.dbf занята другой программой (процесс " + std::to_string(child) + ")"),
            std::string::npos)
      << message;
  EXPECT_EQ(testing::DirectorySnapshot(database_), snapshot);  // nothing was recreated under it
  EXPECT_TRUE(window.lines.empty());
}

TEST_F(RunFaultsTest, LinksPlantedInTheDatabaseDirectoryAreReplacedNotWrittenThrough) {
  namespace fs = std::filesystem;
  const std::string outside = dir_.Path() + "outside/";
  fs::create_directories(outside);
  fs::create_directories(database_);
  for (const char* name : {"victim", "hard", "victim.cdx"}) std::ofstream(outside + name) << "precious " << name;
  fs::create_symlink(outside + "victim", database_ + "country.dbf");
  fs::create_hard_link(outside + "hard", database_ + "goods.dbf");
  fs::create_symlink(outside + "victim.cdx", database_ + "stray.cdx");
  fs::create_symlink(outside + "nowhere", database_ + "dangling.cdx");
  const std::string before = testing::DirectorySnapshot(outside);

  EXPECT_EQ(Failure(), "");
  EXPECT_TRUE(LoggedSuccess());
  EXPECT_EQ(testing::DirectorySnapshot(outside), before);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(database_ + "country.dbf")));
  EXPECT_EQ(fs::hard_link_count(database_ + "goods.dbf"), 1u);
  EXPECT_EQ(fs::hard_link_count(outside + "hard"), 1u);
  // The clean-up removed the links named *.cdx, not what they lead to.
  EXPECT_FALSE(fs::exists(fs::symlink_status(database_ + "stray.cdx")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(database_ + "dangling.cdx")));
  EXPECT_TRUE(fs::exists(outside + "victim.cdx"));
}

}  // namespace
}  // namespace ks
