#pragma once
// The process-wide registry of databases and started engines, the engine component that
// starts the dBASE engine with the program's fixed settings and flushes changed tables on
// a tick, and the database component that names the table directory and keeps the list of
// its open tables.

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "common/non_copyable.h"
#include "db/engine/xbase/xbase.h"

namespace ks {

class TCBEngine;
class TCBDataBase;
class TCBTable;

using TErrorDisplay = std::function<void(const std::exception&)>;

// Exactly one instance, reached through Instance(). Its lists do not own their items.
class TCBEnv {
 public:
  static TCBEnv& Instance();
  const std::vector<TCBDataBase*>& Databases() const { return databases_; }
  const std::vector<TCBEngine*>& Engines() const { return engines_; }

  // The application's standard error display; without one, errors of background work
  // (the flush tick, a memo stream's closing notification) go to standard error.
  void SetErrorDisplay(TErrorDisplay display) { error_display_ = std::move(display); }
  void HandleException(const std::exception& error) const;

 private:
  friend class TCBEngine;
  friend class TCBDataBase;
  TCBEnv() = default;
  std::vector<TCBDataBase*> databases_;
  std::vector<TCBEngine*> engines_;
  TErrorDisplay error_display_;
};

// Routes errors of background work to a display for as long as it lives, and back to
// standard error after: declared after the window the display reaches, it is gone before
// the window is, while the data modules that outlive the window may still report.
class ScopedErrorDisplay : NonCopyable {
 public:
  explicit ScopedErrorDisplay(TErrorDisplay display) { TCBEnv::Instance().SetErrorDisplay(std::move(display)); }
  ~ScopedErrorDisplay() { TCBEnv::Instance().SetErrorDisplay(nullptr); }
};

enum class TFindServerMode { fsManual, fsAutomatic };

class TCBEngine : NonCopyable {
 public:
  static constexpr int kFlushIntervalMs = 3000;  // the owner's timer calls Tick() this often

  explicit TCBEngine(std::string name = {});
  ~TCBEngine();

  const std::string& Name() const { return name_; }
  TFindServerMode FindServerMode = TFindServerMode::fsAutomatic;  // stored only
  std::string ServerId = "LOCALHOST";
  std::string UserId = "PUBLIC";
  std::string Password;
  std::string ProcessID = "23165";

  // Starts the engine once; true when it is (already or now) started.
  bool Start();
  // Closes everything and releases the engine; nothing when not started.
  void Stop();
  void CloseAllDatabases();
  void ResetError();
  int16_t ErrorCode() const;
  bool Active() const { return active_; }
  Code4* Handle() const { return handle_; }
  const std::vector<TCBDataBase*>& Databases() const { return databases_; }

  // One flush tick: every open table with unsaved changes is written. An exception goes to
  // the error display and ends that tick only.
  void Tick();
  void SetErrorDisplay(TErrorDisplay display) { error_display_ = std::move(display); }

 private:
  friend class TCBDataBase;
  void FlushTables();
  std::string ServerFromFirstDatabase() const;

  std::string name_;
  Code4* handle_ = nullptr;
  bool active_ = false;
  std::vector<TCBDataBase*> databases_;  // attached, in order of attachment
  TErrorDisplay error_display_;
};

class TCBDataBase : NonCopyable {
 public:
  explicit TCBDataBase(std::string name = {});
  ~TCBDataBase();

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);  // a new name closes the open tables first
  // The table directory; when not empty it always ends with the path delimiter.
  const std::string& DataPath() const { return data_path_; }
  void SetDataPath(const std::string& path);
  TCBEngine* CBEngine() const { return engine_; }
  void SetCBEngine(TCBEngine* engine);

  // Closes the last open table until none is left.
  void CloseAll();
  // False when there is no engine or it does not start; otherwise the table is listed.
  bool RegisterTable(TCBTable* table);
  void UnregisterTable(TCBTable* table);
  const std::vector<TCBTable*>& OpenTables() const { return open_tables_; }
  // Writes everything the engine holds back for every open table; the first failure raises
  // with its cause.
  void FlushTables();

 private:
  std::string name_;
  std::string data_path_;
  TCBEngine* engine_ = nullptr;
  std::vector<TCBTable*> open_tables_;
};

}  // namespace ks
