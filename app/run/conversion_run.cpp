#include "app/run/conversion_run.h"

#include <limits>
#include <string>
#include <vector>

#include "app/converter.h"
#include "app/run/database_guards.h"
#include "app/run/stage_frame.h"
#include "common/background_task.h"
#include "common/codepage.h"
#include "common/file.h"
#include "common/platform.h"
#include "db/database_files.h"
#include "db/engine/cb_errors.h"
#include "db/engine/xbase/xbase.h"
#include "db/table_creation.h"
#include "legacy/legacy_alias.h"
#include "resources/metadata_load.h"

namespace ks {
namespace {

const char kQuestion[] =
    "База данных возможно уже содержит данные. Нажатие кнопки \"пуск\" приведет к их полной потере. "
    "Продолжить?";

// The lock file that keeps a second converter out of a database directory while a run works
// in it.
const char kLockFileName[] = "ksconvert.lck";

// Creates the directory and every missing parent; raises with the reason when it cannot.
void RequireDirectory(const std::string& path) {
  std::string failed_part;
  if (!CreateDirectories(path, failed_part)) {
    throw Exception(W("Не могу создать каталог ") + failed_part + ": " + SystemErrorText());
  }
}

// What an engine failure that came without its cause says of its file, or nothing.
std::string EngineFailureMeaning(const std::exception& failure) {
  const auto* engine = dynamic_cast<const ECBEngineError*>(&failure);
  if (engine == nullptr || !engine->Cause().empty()) return std::string();
  const std::string meaning = EngineCodeMeaning(engine->Code());
  return meaning.empty() ? std::string() : W("Файл ") + engine->File() + ": " + meaning + ".";
}

// The failure of the file operation just done, as the operator reads it.
std::string LastFailureText() {
  const FileFailure* failure = LastFileFailure();
  return failure != nullptr ? DescribeFileFailure(*failure) : SystemErrorText();
}

}  // namespace

ConversionRun::ConversionRun(Converter& converter, IMainWindow& window, bool dry)
    : converter_(converter),
      window_(window),
      context_{window, converter.Report(), dry},
      dict_(converter.dtmDict),
      main_(converter.dtmMain) {}

bool ConversionRun::Execute(const std::function<void()>& while_flushing) {
  // Tables that stand in the directory already are another run's while it holds the lock:
  // refused before the question. A directory yet to be made is locked once it is made.
  if (KindOfPath(main_.dtbKestrel.DataPath()) == PathKind::kDirectory) {
    RequireWritableDirectory(main_.dtbKestrel.DataPath());
    LockDatabaseDirectory();
  }
  if (!DatabaseIsEmpty(main_.dtbKestrel) && !window_.ConfirmOkCancel(W(kQuestion))) return false;

  main_.legacy.chains.Clear();
  ProbeLegacyStructure(main_.legacy.tblCheck, main_.legacy.Tables());
  ProbeLegacyStructure(main_.legacy.tblCheck, dict_.legacy.Tables());

  try {
    PrepareDatabase();
    RunStages();
    phase_ = Phase::kClosing;
    WriteVersion();

    window_.AddLogLine(W("Закрытие таблиц"));
    CloseAllTables();
    window_.AddLogLine("OK");
    window_.AddLogLine("");

    DeleteIndexes();
    phase_ = Phase::kSyncing;
    SyncWrittenFiles(while_flushing);
  } catch (const std::exception& e) {
    converter_.Report().SetExplanation(Explanation(e));
    throw;
  }

  window_.AddLogLine(W("Преобразование данных успешно завершено"));
  window_.AddLogLine("---");
  window_.AddLogLine("");
  converter_.Report().SetCompleted();
  return true;
}

void ConversionRun::LockDatabaseDirectory() {
  // Before any table is touched: two runs in one directory would both write its tables.
  if (directory_lock_.Held()) return;
  const std::string& directory = main_.dtbKestrel.DataPath();
  switch (directory_lock_.Acquire(WithTrailingDelimiter(directory) + kLockFileName)) {
    case DirectoryLock::Result::kLocked: return;
    case DirectoryLock::Result::kHeldElsewhere:
      throw EDatabaseDirectoryBusy(W("В каталоге базы данных ") + directory +
                      W(" уже идёт преобразование: его выполняет другая копия программы. Дождитесь её "
                        "окончания и повторите преобразование."));
    case DirectoryLock::Result::kFailed:
      throw Exception(W("Не удалось занять каталог базы данных ") + directory + W(" для преобразования. ") +
                      LastFailureText());
  }
}

void ConversionRun::Check() {
  main_.legacy.chains.Clear();
  ProbeLegacyStructure(main_.legacy.tblCheck, main_.legacy.Tables());
  ProbeLegacyStructure(main_.legacy.tblCheck, dict_.legacy.Tables());
  try {
    RunStages();
  } catch (const std::exception& e) {
    converter_.Report().SetExplanation(Explanation(e));
    throw;
  }
  window_.SetProgressPosition(0);
  CloseAllTables();
  converter_.Report().SetCompleted();
}

std::string ConversionRun::Explanation(const std::exception& failure) const {
  // Another run works in the directory: nothing of this one happened there.
  if (dynamic_cast<const EDatabaseDirectoryBusy*>(&failure) != nullptr) return std::string();
  const std::string& directory = main_.dtbKestrel.DataPath();
  std::string text = "\n";
  // The table component reports engine failures by their code alone.
  const std::string meaning = EngineFailureMeaning(failure);
  if (!meaning.empty()) text += meaning + "\n";
  const std::string disk_full = context_.dry ? std::string() : DiskFullNote(directory);
  if (!disk_full.empty()) text += disk_full + "\n";
  const std::string retry = W("устраните причину и повторите преобразование.");
  const std::deque<StageCounts>& stages = context_.report.Stages();
  if (phase_ == Phase::kPreparing || stages.empty()) {
    return text + W("Преобразование прервано при создании базы данных в каталоге ") + directory + "; " + retry;
  }
  if (phase_ == Phase::kClosing) {
    text += W("Преобразование прервано при записи версии и закрытии таблиц.");
  } else if (phase_ == Phase::kSyncing) {
    text += W("Преобразование прервано при сохранении таблиц на диске: их содержимое может быть не записано "
              "до конца.");
  } else {
    const StageCounts& stage = stages.back();
    text += (context_.dry ? W("Проверка прервана на этапе ") : W("Преобразование прервано на этапе ")) +
            std::to_string(stage.number) + " (" + (stage.source.empty() ? "" : stage.source + " -> ") +
            stage.target + W("), запись ") + std::to_string(stage.read + 1) + ".";
  }
  if (!context_.dry) text += W(" Записанное до ошибки осталось в каталоге ") + directory + "; " + retry;
  return text;
}

void ConversionRun::RunStages() {
  phase_ = Phase::kCopying;
  CopyDuties();
  CopyGroups();
  CopyCountries();
  CopyFirms();
  CopyModels();
  CopyVolumes();
  CopyPeople();
  CopyTemplates();
  CopyDocuments();
  CopyPayments();
  CopyGoods();
}

void ConversionRun::PrepareDatabase() {
  phase_ = Phase::kPreparing;
  const std::string& directory = main_.dtbKestrel.DataPath();
  RequireDirectory(directory);
  RequireWritableDirectory(directory);
  LockDatabaseDirectory();
  // Tables left open by an earlier failed run are ours, not another program's.
  main_.dtbKestrel.CloseAll();
  RequireUnlockedTables(directory);
  RemoveLeftoverTemporaryFiles(directory);
  CreateAllTables(main_.dtbKestrel, window_);
  for (TCBTableSet* set :
       {&main_.cbtLines, &dict_.cbtFirmFind, &main_.cbtDocCommon, &main_.cbtGoods, &dict_.cbtCurrExchFind,
        &dict_.cbtDutiesFind, &dict_.cbtPeopleFind, &dict_.cbtCountryFind, &dict_.cbttVolumeFind,
        &dict_.cbttGroupFind, &dict_.cbtModelFind, &dict_.cbtCurrExch, &dict_.cbtDuties, &dict_.cbtPeople,
        &dict_.cbtFirm, &dict_.cbtModel, &dict_.cbtCountry, &dict_.cbttVolume, &dict_.cbttGroup,
        &main_.cbtTmpltDummy}) {
    OpenTableSet(*set);
  }
}

void ConversionRun::SetNextUID(TCBTableSet& set, int32_t maximum) {
  // After the largest 32-bit identifier no free one is left; the counter would wrap.
  if (maximum == std::numeric_limits<int32_t>::max()) {
    throw Exception(W("Нет свободного идентификатора после ") + std::to_string(maximum) + W(" в таблице ") +
                    set.TableName());
  }
  if (context_.dry) return;
  TCBTableSet& lines = main_.cbtLines;
  lines.Append();
  lines.FieldByName("TBLNAME").SetAsString(set.TableName());
  lines.FieldByName("NEXTUID").SetAsInteger(maximum + 1);
  lines.Post();
  converter_.Report().CountCounterRow();
}

void ConversionRun::WriteVersion() {
  window_.SetProgressPosition(0);
  TCBTableSet& lines = main_.cbtLines;
  lines.Append();
  lines.FieldByName("TBLNAME").SetAsString("VERSION");
  lines.FieldByName("NEXTUID").SetAsInteger(MetadataRoot().Version());
  lines.Post();
  converter_.Report().CountCounterRow();
}

void ConversionRun::CloseAllTables() {
  // The engine holds appended records and index pages back until a flush; every table is
  // flushed first, so that a write that fails stops the run instead of passing for success.
  if (!context_.dry) main_.dtbKestrel.FlushTables();
  main_.CloseDataSets();
  dict_.CloseDataSets();
}

void ConversionRun::DeleteIndexes() {
  window_.AddLogLine(W("Удаление индексов"));
  window_.AddLogLine("");
  // The configured directory may lack its closing delimiter; the clean-up must still
  // address the directory's own files.
  const std::string directory = WithTrailingDelimiter(converter_.DatabasePath());
  for (const std::string& name : FilesWithExtension(directory, "cdx")) {
    window_.AddLogLine(W("Удаление ") + name);
    if (RemoveFile(directory + name)) {
      window_.AddLogLine("OK");
      // No table may still claim the index file that is gone.
      const std::string table = FindFileIgnoringCase(directory, name.substr(0, name.size() - 4) + ".dbf");
      if (!table.empty()) ClearStructuralIndexFlag(table);
    } else {
      window_.AddLogLine(W("Не могу удалить файл ") + name + ": " + SystemErrorText());
    }
    window_.AddLogLine("");
  }
  window_.AddLogLine(W("Удаление индексов успешно завершено"));
  window_.AddLogLine("---");
  window_.AddLogLine("");
}

void ConversionRun::SyncWrittenFiles(const std::function<void()>& meanwhile) {
  const std::string directory = WithTrailingDelimiter(main_.dtbKestrel.DataPath());
  std::vector<std::string> paths;
  const TqrxTableDefs& table_defs = MetadataRoot().TableDefs();
  for (const TqrxTableDef& def : table_defs) {
    if (def.IsMemory()) continue;
    for (const char* extension : {".dbf", ".fpt"}) {
      std::string path = FindFileIgnoringCase(directory, def.Name() + extension);
      if (!path.empty()) paths.push_back(std::move(path));  // a table without memo fields has no memo file
    }
  }
  auto flush_all = [&] {
    for (const std::string& path : paths) {
      if (!SyncFile(path)) throw Exception(LastFailureText());
    }
    // The new files' names and the deleted index files are entries of the directory.
    if (!SyncDirectory(directory)) throw Exception(LastFailureText());
  };
  if (!meanwhile) return flush_all();
  // The failure text is taken on the flushing thread, where the failure was recorded.
  BackgroundTask flush(flush_all);
  meanwhile();
  flush.Wait();
}

}  // namespace ks
