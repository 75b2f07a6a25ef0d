#pragma once

#include <cstdint>
#include <string>

#include "db/engine/cb_dataset.h"

namespace ks {

// The stream through which memo fields are read and written.
class TBlobStream : public TStream {
 public:
  TBlobStream(TField& field, TBlobStreamMode mode);
  ~TBlobStream() override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;

 private:
  // The stored memo of the buffer's record, straight from the engine.
  std::string StoredMemo();

  TField& field_;
  TCBDataSet& dataset_;
  char* buffer_ = nullptr;
  TBlobStreamMode mode_;
  int field_no_ = 0;
  Field4* memo_ = nullptr;
  int blob_index_ = -1;
  int node_index_ = -1;
  bool opened_ = false;
  bool modified_ = false;
  int64_t position_ = 0;
};

}  // namespace ks
