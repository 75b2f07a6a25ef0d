// What only the Windows side of the platform interface has: drives, paths in code page 1251
// reaching the wide-character API, sharing, and the names Windows refuses, each failing with
// a Russian reason instead of a crash.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "common/codepage.h"
#include "common/exception.h"
#include "common/file.h"
#include "common/platform.h"
#include "common/testing/scratch_dir_test.h"

namespace ks {
namespace {

class PlatformWin32Test : public testing::ScratchDirTest {
 protected:
  PlatformWin32Test() : ScratchDirTest("ks_win32_") {}
};

TEST_F(PlatformWin32Test, CyrillicNamesReachTheSystemAsUnicode) {
  const std::string dir = dir_ + W("Данные\\");
  std::string failed;
  ASSERT_TRUE(CreateDirectories(dir, failed)) << SystemErrorText();
  File f;
  ASSERT_TRUE(f.Open(dir + W("Фирма.dbf"), File::Mode::kCreate));
  const std::wstring wide = std::filesystem::u8path(Cp1251ToUtf8(dir_)).wstring() + L"Данные\\Фирма.dbf";
  EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PlatformWin32Test, PathsUseBackslashesAndDrives) {
  EXPECT_EQ(kPathDelimiter, '\\');
  EXPECT_TRUE(IsPathDelimiter('/'));
  EXPECT_TRUE(IsAbsolutePath("C:\\Data"));
  EXPECT_TRUE(IsAbsolutePath("\\\\server\\share\\db"));
  EXPECT_FALSE(IsAbsolutePath("Data\\db"));
  EXPECT_FALSE(IsAbsolutePath("C:Data"));
  const std::string exe = ExecutablePath();
  EXPECT_EQ(LowerCp1251(exe.substr(exe.size() - 4)), ".exe");
}

TEST_F(PlatformWin32Test, TableFilePathIsFullAndLowerCaseThroughout) {
  const std::string path = TableFilePath(dir_ + W("ДОК\\..\\ТАБЛ.DBF"));
  EXPECT_EQ(path, LowerCp1251(dir_) + W("табл.dbf"));
  EXPECT_EQ(TableFilePath("C:\\Data\\LINES.DBF"), "c:\\data\\lines.dbf");
}

TEST_F(PlatformWin32Test, AFileOpenForItselfIsASharingViolation) {
  const std::string path = dir_ + "HELD.DBF";
  const std::wstring wide = std::filesystem::u8path(Cp1251ToUtf8(path)).wstring();
  const HANDLE held = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  File f;
  EXPECT_FALSE(f.Open(path, File::Mode::kReadOnly));
  EXPECT_EQ(Cp1251ToUtf8(SystemErrorText()), "файл открыт другой программой");
  EXPECT_EQ(FileLockHolder(path), -1);
  CloseHandle(held);
  EXPECT_EQ(FileLockHolder(path), 0);
  EXPECT_TRUE(f.Open(path, File::Mode::kReadOnly));
}

TEST_F(PlatformWin32Test, BadPathsFailWithAReasonInRussian) {
  std::string failed;
  File f;
  // A name Windows does not allow.
  EXPECT_FALSE(f.Open(dir_ + "a|b.dbf", File::Mode::kCreate));
  EXPECT_EQ(Cp1251ToUtf8(SystemErrorText()), "недопустимое имя файла или каталога");
  EXPECT_FALSE(CreateDirectories(dir_ + "x<y\\db\\", failed));
  EXPECT_EQ(failed, dir_ + "x<y");
  EXPECT_EQ(Cp1251ToUtf8(SystemErrorText()), "недопустимое имя файла или каталога");

  // A drive that does not exist (the first free letter from Z down).
  const DWORD drives = GetLogicalDrives();
  char letter = 'Z';
  while (letter > 'D' && (drives & (1u << (letter - 'A')))) --letter;
  ASSERT_FALSE(drives & (1u << (letter - 'A')));
  const std::string missing = std::string(1, letter) + ":\\ks\\db\\";
  EXPECT_FALSE(CreateDirectories(missing, failed));
  EXPECT_EQ(Cp1251ToUtf8(SystemErrorText()), "такого диска нет");
  EXPECT_FALSE(f.Open(missing + "lines.dbf", File::Mode::kReadOnly));
  EXPECT_EQ(Cp1251ToUtf8(SystemErrorText()), "такого диска нет");
  EXPECT_EQ(KindOfPath(missing), PathKind::kMissing);

  // Names longer than the system allows, as one part and as a whole.
  EXPECT_FALSE(f.Open(dir_ + std::string(300, 'a') + ".dbf", File::Mode::kCreate));
  EXPECT_EQ(Cp1251ToUtf8(SystemErrorText()), "имя файла или путь длиннее, чем допускает система");
  std::string deep = dir_;
  for (int i = 0; i < 30; ++i) deep += "abcdefghi\\";
  EXPECT_FALSE(CreateDirectories(deep, failed));
  EXPECT_EQ(Cp1251ToUtf8(SystemErrorText()), "имя файла или путь длиннее, чем допускает система");
  try {
    DirectoryEntries(deep);
    ADD_FAILURE() << "a path too long to name a directory was listed";
  } catch (const Exception& e) {
    EXPECT_NE(Cp1251ToUtf8(e.Message()).find("длиннее, чем допускает система"), std::string::npos);
  }
}

TEST_F(PlatformWin32Test, MetadataIsTheProgramsOwnResourceOnlyWhereLinked) {
  // This test program does not link the schema: no resource, and no crash for asking.
  EXPECT_FALSE(ProgramResource("METADATA").has_value());
}

}  // namespace
}  // namespace ks
