#include "db/engine/cb_engine.h"

#include <algorithm>
#include <cstdio>

#include "common/exception.h"
#include "common/paths.h"
#include "common/platform.h"
#include "db/engine/cb_errors.h"
#include "db/engine/cb_table.h"

namespace ks {

namespace {

template <typename T>
void RemoveItem(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) list.erase(it);
}

constexpr long kStandAloneBuild = 0x80;
constexpr int kServerNotFound = -2100;

}  // namespace

// --- TCBEnv -----------------------------------------------------------------------------

TCBEnv& TCBEnv::Instance() {
  static TCBEnv instance;
  return instance;
}

void TCBEnv::HandleException(const std::exception& error) const {
  if (error_display_) {
    error_display_(error);
  } else {
    std::fprintf(stderr, "%s\n", error.what());
  }
}

// --- TCBEngine --------------------------------------------------------------------------

TCBEngine::TCBEngine(std::string name) : name_(std::move(name)) {}

TCBEngine::~TCBEngine() {
  try {
    Stop();
  } catch (const std::exception& error) {
    TCBEnv::Instance().HandleException(error);
  }
  while (!databases_.empty()) databases_.back()->SetCBEngine(nullptr);
}

bool TCBEngine::Start() {
  if (active_) return true;
  handle_ = code4initP();
  if (handle_ == nullptr) {
    active_ = false;
    return false;
  }
  int connected = 0;
  if ((u4switch() & kStandAloneBuild) == 0) {
    code4errOff(handle_, 1);
    ResetError();
    if (!databases_.empty()) {
      const std::string server = ServerFromFirstDatabase();
      if (!server.empty()) ServerId = server;
    }
    connected = code4connect(handle_, ServerId.c_str(), ProcessID.c_str(), UserId.c_str(),
                             Password.c_str(), "c4sock.dll");
    if (ErrorCode() == kServerNotFound) {
      code4initUndo(handle_);
      handle_ = nullptr;
      throw ECBOpenIndex("Server \"" + ServerId + "\" not found.");
    }
    code4errOff(handle_, 0);
  }
  if (connected != 0) {
    // The engine is of no use without its server: give it back.
    code4initUndo(handle_);
    handle_ = nullptr;
    active_ = false;
    return false;
  }
  code4compatibility(handle_, 30);
  code4codePage(handle_, 3);
  code4collate(handle_, 1001);
  code4dateFormatSet(handle_, "DD/MM/CCYY");
  active_ = true;
  code4optimize(handle_, 1);
  code4optimizeWrite(handle_, 1);
  code4singleOpen(handle_, 0);
  code4autoOpen(handle_, 0);
  code4lockDelay(handle_, 1);
  code4unlockAutoSetCB(handle_, 0);
  TCBEnv::Instance().engines_.push_back(this);
  return true;
}

// The host of the first database's directory when it is a network path ("//host/share/..."),
// else the whole full path, as the connect step expects.
std::string TCBEngine::ServerFromFirstDatabase() const {
  std::string path = FullNetworkPath(databases_.front()->DataPath());
  if (path.rfind("//", 0) == 0 || path.rfind("\\\\", 0) == 0) {
    path.erase(0, 2);
    const size_t end = path.find_first_of("/\\");
    if (end != std::string::npos) path.erase(end);
  }
  return path;
}

void TCBEngine::Stop() {
  if (!active_) return;
  CloseAllDatabases();
  RemoveItem(TCBEnv::Instance().engines_, this);
  code4initUndo(handle_);
  handle_ = nullptr;
  active_ = false;
}

void TCBEngine::CloseAllDatabases() {
  for (TCBDataBase* database : databases_) database->CloseAll();
  if (handle_ != nullptr) code4close(handle_);
}

void TCBEngine::ResetError() { code4errorCode(handle_, 0); }

int16_t TCBEngine::ErrorCode() const {
  return static_cast<int16_t>(code4errorCode(handle_, -5));
}

void TCBEngine::FlushTables() {
  for (TCBDataBase* database : databases_) database->FlushTables();
}

void TCBEngine::Tick() {
  try {
    FlushTables();
  } catch (const std::exception& error) {
    if (error_display_) {
      error_display_(error);
    } else {
      TCBEnv::Instance().HandleException(error);
    }
  }
}

// --- TCBDataBase ------------------------------------------------------------------------

TCBDataBase::TCBDataBase(std::string name) : name_(std::move(name)) {
  TCBEnv::Instance().databases_.push_back(this);
}

TCBDataBase::~TCBDataBase() {
  try {
    CloseAll();
  } catch (const std::exception& error) {
    TCBEnv::Instance().HandleException(error);
  }
  RemoveItem(TCBEnv::Instance().databases_, this);
  if (engine_ != nullptr) RemoveItem(engine_->databases_, this);
}

void TCBDataBase::SetName(const std::string& name) {
  if (name == name_) return;
  CloseAll();
  name_ = name;
}

void TCBDataBase::SetDataPath(const std::string& path) {
  if (path == data_path_) return;
  CloseAll();
  data_path_ = path;
  data_path_ = WithTrailingDelimiter(data_path_);
}

void TCBDataBase::SetCBEngine(TCBEngine* engine) {
  if (engine == engine_) return;
  CloseAll();
  if (engine_ != nullptr) RemoveItem(engine_->databases_, this);
  engine_ = engine;
  if (engine_ != nullptr) engine_->databases_.push_back(this);
}

void TCBDataBase::CloseAll() {
  while (!open_tables_.empty()) {
    TCBTable* table = open_tables_.back();
    table->Close();
    // A table that could not take itself off the list must not stall the loop.
    if (!open_tables_.empty() && open_tables_.back() == table) open_tables_.pop_back();
  }
}

bool TCBDataBase::RegisterTable(TCBTable* table) {
  if (engine_ == nullptr || !engine_->Start()) return false;
  open_tables_.push_back(table);
  return true;
}

void TCBDataBase::UnregisterTable(TCBTable* table) { RemoveItem(open_tables_, table); }

void TCBDataBase::FlushTables() {
  // Every open table is flushed, not only one whose current record changed: the engine
  // also holds appended records back until a flush.
  for (TCBTable* table : open_tables_) table->Flush();
}

}  // namespace ks
