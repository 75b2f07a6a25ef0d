#include "db/database_files.h"

#include "common/codepage.h"
#include "common/exception.h"
#include "common/file.h"
#include "common/platform.h"
#include "db/engine/cb_errors.h"
#include "db/engine/xbase/table_files.h"

namespace ks {
namespace {

bool HasExtension(const std::string& name, const std::string& ext) {
  const size_t dot = name.rfind('.');
  return dot != std::string::npos && UpperCp1251(name.substr(dot + 1)) == UpperCp1251(ext);
}

// A file, or a link of any kind: the entry itself, never what a link leads to, so that a
// clean-up removes the link and leaves its target alone.
bool IsFileOrLink(const std::string& path) {
  const PathKind kind = KindOfEntry(path);
  return kind == PathKind::kFile || kind == PathKind::kLink;
}

// A failure of the engine on a table file, with the failed operation and the system's
// reason when there was one.
[[noreturn]] void RaiseFileFailure(const std::string& path, int code) {
  const FileFailure* failure = LastFileFailure();
  const std::string meaning = EngineCodeMeaning(code);
  const std::string what = failure != nullptr ? DescribeFileFailure(*failure)
                                              : W("Файл ") + path + (meaning.empty() ? "" : ": " + meaning);
  throw Exception(what + " (" + EngineCodeText(code) + ")");
}

}  // namespace

std::vector<std::string> FilesWithExtension(const std::string& directory, const std::string& ext) {
  std::vector<std::string> names;
  const std::string dir = WithTrailingDelimiter(directory);
  for (const std::string& name : DirectoryEntries(dir)) {
    if (HasExtension(name, ext) && IsFileOrLink(dir + name)) names.push_back(name);
  }
  return names;
}

bool DirectoryHoldsNoTables(const std::string& directory) {
  for (const char* ext : {"dbf", "cdx", "fpt"}) {
    if (!FilesWithExtension(directory, ext).empty()) return false;
  }
  return true;
}

void ClearStructuralIndexFlag(const std::string& dbf_path) {
  ForgetFileFailure();
  if (const int rc = xbase::ClearStructuralIndexFlag(dbf_path); rc != 0) RaiseFileFailure(dbf_path, rc);
}

void RemoveLeftoverTemporaryFiles(const std::string& directory) {
  const std::string dir = WithTrailingDelimiter(directory);
  for (const std::string& name : DirectoryEntries(dir)) {
    if (!xbase::IsSpillFileName(name) || !IsFileOrLink(dir + name)) continue;
    if (!RemoveFile(dir + name)) throw Exception(DescribeFileFailure(*LastFileFailure()));
  }
}

}  // namespace ks
