#include "db/engine/cb_blob_stream.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "common/codepage.h"
#include "db/engine/cb_engine.h"

namespace ks {

TBlobStream::TBlobStream(TField& field, TBlobStreamMode mode)
    : field_(field),
      dataset_([&field]() -> TCBDataSet& {
        auto* dataset = dynamic_cast<TCBDataSet*>(field.DataSet());
        if (dataset == nullptr) throw Exception(field.FieldName() + " is not a field of a table set");
        return *dataset;
      }()),
      mode_(mode) {
  field_no_ = field.FieldNo();
  const TFieldNode& node = dataset_.NodeOf(field);
  if (node.BlobIndex < 0) throw Exception(field.FieldName() + " is not a BLOB. (internal error)");
  memo_ = node.Handle;
  blob_index_ = node.BlobIndex;
  node_index_ = node.Number - 1;
  buffer_ = dataset_.BufferByRule();
  opened_ = buffer_ != nullptr;
  if (opened_ && mode == bmWrite) {
    dataset_.SetMemoCache(buffer_, blob_index_, std::string());
    dataset_.SetChanged(buffer_, node_index_, true);
    modified_ = true;
  }
}

TBlobStream::~TBlobStream() {
  if (!modified_) return;
  try {
    if (opened_) field_.SetModified(true);
    dataset_.FieldChanged(field_);
  } catch (const std::exception& error) {
    TCBEnv::Instance().HandleException(error);
  }
}

std::string TBlobStream::StoredMemo() {
  dataset_.PositionOn(buffer_);
  const char* text = f4memoStr(memo_);
  return text != nullptr ? std::string(text, f4memoLen(memo_)) : std::string();
}

int64_t TBlobStream::Size() {
  if (!opened_) return 0;
  if (dataset_.Changed(buffer_, node_index_)) {
    const std::string* cache = dataset_.MemoCache(buffer_, blob_index_);
    return cache != nullptr ? static_cast<int64_t>(cache->size()) : 0;
  }
  dataset_.PositionOn(buffer_);
  return static_cast<int64_t>(f4memoLen(memo_));
}

int64_t TBlobStream::Read(void* destination, int64_t count) {
  if (!opened_ || count <= 0) return 0;
  std::string source;
  if (dataset_.Changed(buffer_, node_index_)) {
    const std::string* cache = dataset_.MemoCache(buffer_, blob_index_);
    if (cache != nullptr) source = *cache;
  } else {
    source = StoredMemo();
  }
  auto* blob = dynamic_cast<TBlobField*>(&field_);
  if (!source.empty() && blob != nullptr && blob->Transliterate()) OemToAnsiInPlace(source.data(), source.size());
  const int64_t available = static_cast<int64_t>(source.size()) - position_;
  const int64_t n = std::max<int64_t>(0, std::min(count, available));
  if (n > 0) std::memcpy(destination, source.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TBlobStream::Write(const void* source, int64_t count) {
  if (!opened_) return 0;
  if (count < 0) count = 0;
  const std::string current = dataset_.MemoData(field_.FieldName());
  std::string bytes(static_cast<const char*>(source), static_cast<size_t>(count));
  auto* blob = dynamic_cast<TBlobField*>(&field_);
  if (count > 0 && blob != nullptr && blob->Transliterate()) AnsiToOemInPlace(bytes.data(), bytes.size());

  // Overwrite at the position, extending the text as needed (blanks fill a gap left by a
  // seek past the end).
  std::string text = current.substr(0, std::min<size_t>(current.size(), position_));
  if (static_cast<int64_t>(text.size()) < position_) text.append(position_ - text.size(), ' ');
  text += bytes;
  const size_t rest = static_cast<size_t>(position_ + count);
  if (rest < current.size()) text += current.substr(rest);

  const bool was_changed = dataset_.Changed(buffer_, node_index_);
  const std::string* old_cache = dataset_.MemoCache(buffer_, blob_index_);
  const std::optional<std::string> saved = old_cache != nullptr ? std::optional(*old_cache) : std::nullopt;
  dataset_.SetMemoCache(buffer_, blob_index_, std::move(text));
  dataset_.SetChanged(buffer_, node_index_, true);
  if (field_.OnValidate) {
    try {
      field_.OnValidate(field_);
    } catch (...) {
      if (saved) dataset_.SetMemoCache(buffer_, blob_index_, *saved);
      else dataset_.ClearMemoCache(buffer_, blob_index_);
      dataset_.SetChanged(buffer_, node_index_, was_changed);
      throw;
    }
  }
  modified_ = true;
  position_ += count;
  return count;
}

int64_t TBlobStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning: position_ = offset; break;
    case soCurrent: position_ += offset; break;
    case soEnd: position_ = Size() + offset; break;
  }
  if (position_ < 0) position_ = 0;
  return position_;
}

}  // namespace ks
