#pragma once
// One conversion run, the handler of "Старт": the question, the legacy structure probe, the
// new database, the eleven copy stages, the counter and version rows, closing every table
// and deleting the index files. The run handles no error itself: the first exception ends
// it and reaches the caller; nothing is undone. What the stages count and find goes into the
// converter's report.

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "app/run/stage_frame.h"
#include "common/exception.h"
#include "common/main_window.h"
#include "common/platform.h"
#include "db/first_uid.h"

namespace ks {

class Converter;
class TCBTableSet;
class TdtmDict;
class TdtmMain;

class StageTarget;

// A reference stage's mapping of the current legacy record: fills the appended target
// record and returns its UID.
using ReferenceFill = std::function<int32_t(StageTarget& target, int row)>;
// The reason the current legacy record is left out, or the empty text.
using ReferenceSkip = std::function<std::string()>;

// Another run holds the database directory.
class EDatabaseDirectoryBusy : public Exception {
 public:
  using Exception::Exception;
};

class ConversionRun {
 public:
  // dry: Check instead of Execute.
  ConversionRun(Converter& converter, IMainWindow& window, bool dry = false);

  // False when the operator did not confirm the question. while_flushing, when given, runs
  // on this thread while the written files are flushed to the disk, before the success
  // line; it must not throw, and a failed flush still ends the run.
  bool Execute(const std::function<void()>& while_flushing = nullptr);
  // The dry check: the structure probe and every stage reading every legacy record and
  // memo with the checks of its values, without a question, a log line or a file created.
  void Check();

 private:
  // Takes the directory's lock for the whole run; raises at once when another run holds it.
  void LockDatabaseDirectory();
  void PrepareDatabase();
  void SetNextUID(TCBTableSet& set, int32_t maximum);
  void WriteVersion();
  void CloseAllTables();
  void DeleteIndexes();
  // Flushes every table and memo file the run wrote, then the directory, to stable
  // storage, so that the success line is not logged while the tables sit in memory only.
  // The flush mostly waits for the device: it runs on a thread of its own while meanwhile
  // runs here.
  void SyncWrittenFiles(const std::function<void()>& meanwhile);

  // A reference stage: every legacy record, unless skip names a reason to leave it out,
  // becomes one target record whose fields fill sets and whose UID it returns; the target
  // table's counter then follows the largest UID.
  void CopyReference(const char* first_line_utf8, const char* last_line_utf8, TLegacyTable& source,
                     TCBTableSet& target, const ReferenceFill& fill, const ReferenceSkip& skip = nullptr);

  // The stages, in the order they run.
  void CopyDuties();
  void CopyGroups();
  void CopyCountries();
  void CopyFirms();
  void CopyModels();
  void CopyVolumes();
  void CopyPeople();
  void CopyTemplates();
  void CopyDocuments();
  void CopyPayments();
  void CopyGoods();

  // The largest identifier a payment order must stay above: the largest copied document,
  // but also every legacy document and every document a goods line names, so that no
  // payment order takes the identifier of a document that goods lines point to.
  int32_t PaymentBase();

  void RunStages();
  // What the run was doing when it failed, for the end of the error message.
  std::string Explanation(const std::exception& failure) const;

  Converter& converter_;
  IMainWindow& window_;
  StageContext context_;
  TdtmDict& dict_;
  TdtmMain& main_;
  int32_t document_maximum_ = kFirstUid;
  int32_t legacy_document_maximum_ = 0;  // over every legacy document, skipped ones too
  enum class Phase { kProbing, kPreparing, kCopying, kClosing, kSyncing } phase_ = Phase::kProbing;
  DirectoryLock directory_lock_;  // held from the start of Execute to the end of the run
};

}  // namespace ks
