#include "db/engine/xbase/key_maker.h"

#include <algorithm>
#include <utility>

#include "common/thread_start.h"
#include "db/engine/xbase/cdx_index.h"

namespace ks::xbase {

KeyMaker::KeyMaker(std::vector<Tag*> tags, size_t record_bytes, size_t batch_bytes)
    : tags_(std::move(tags)),
      record_bytes_(std::max<size_t>(1, record_bytes)),
      batch_records_(std::max<size_t>(1, batch_bytes / record_bytes_)) {}

KeyMaker::~KeyMaker() { Finish(false); }

void KeyMaker::Add(const char* record, uint32_t recno) {
  if (tags_.empty()) return;
  if (gathering_.recnos.empty()) {
    gathering_.records.reserve(batch_records_ * record_bytes_);
    gathering_.recnos.reserve(batch_records_);
  }
  gathering_.records.insert(gathering_.records.end(), record, record + record_bytes_);
  gathering_.recnos.push_back(recno);
  if (gathering_.recnos.size() >= batch_records_) Start();
}

void KeyMaker::Wait() {
  if (!gathering_.recnos.empty()) Start();
  Finish(true);
}

void KeyMaker::Remove(const Tag* tag) {
  Wait();
  tags_.erase(std::remove(tags_.begin(), tags_.end(), tag), tags_.end());
}

bool KeyMaker::TakeChanged() { return std::exchange(changed_, false); }

void KeyMaker::Start() {
  Finish(true);
  making_.records.swap(gathering_.records);  // the next batch gathers in the memory of the last
  making_.recnos.swap(gathering_.recnos);
  gathering_.records.clear();
  gathering_.recnos.clear();
  pending_ = true;
  auto work = [this] {
    try {
      made_changes_ = Make(making_);
    } catch (...) {
      failure_ = std::current_exception();
    }
  };
  StartOrDoHere(maker_, work);
}

void KeyMaker::Finish(bool rethrow) {
  if (!pending_) return;
  if (maker_.joinable()) maker_.join();
  pending_ = false;
  if (std::exchange(made_changes_, false)) changed_ = true;
  if (std::exception_ptr failure = std::exchange(failure_, nullptr); failure && rethrow) std::rethrow_exception(failure);
}

bool KeyMaker::Make(const Batch& batch) const {
  bool changed = false;
  for (Tag* tag : tags_) {
    for (size_t i = 0; i < batch.recnos.size(); ++i) {
      if (tag->AddAppended(batch.records.data() + i * record_bytes_, batch.recnos[i])) changed = true;
    }
  }
  return changed;
}

}  // namespace ks::xbase
