#pragma once
// The index entries of appended records, made on a thread of their own while the table is
// appended to. An append only copies the record into a batch; a full batch goes to the
// making thread, which evaluates every tag's key and FOR filter and adds the entries to the
// tag's appended runs in the order of the appends, while the next batch gathers. At most
// one batch is in the making.
//
// The tags are touched by that thread alone while it runs: whatever reads a tag's keys or
// changes them otherwise first calls Wait, which hands over what gathered, waits for it and
// throws again what the thread threw.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <thread>
#include <vector>

namespace ks::xbase {

class Tag;

class KeyMaker {
 public:
  // tags: those that take appended entries (not unique ones); record_bytes: how much of a
  // record image the keys may read; batch_bytes: the records handed over at a time.
  KeyMaker(std::vector<Tag*> tags, size_t record_bytes, size_t batch_bytes);
  // Waits for the batch in the making; its failure is dropped.
  ~KeyMaker();
  KeyMaker(const KeyMaker&) = delete;
  KeyMaker& operator=(const KeyMaker&) = delete;

  void Add(const char* record, uint32_t recno);
  // Makes the entries of everything added so far; they are in the tags on return.
  void Wait();
  // Waits, and leaves the tag's entries to the owner from then on.
  void Remove(const Tag* tag);
  // True when some tag took an entry since the last call (after Wait).
  bool TakeChanged();

 private:
  struct Batch {
    std::vector<char> records;
    std::vector<uint32_t> recnos;
  };
  // Hands the gathering batch to the thread, once the one before it is done.
  void Start();
  // Waits for the batch in the making; rethrows what it threw unless told to drop it.
  void Finish(bool rethrow);
  // Adds the batch's entries to the tags; true when some tag took one.
  bool Make(const Batch& batch) const;

  std::vector<Tag*> tags_;
  size_t record_bytes_;
  size_t batch_records_;
  Batch gathering_;
  bool changed_ = false;

  // The making thread and what it works on; the owner touches neither while it runs.
  std::thread maker_;
  Batch making_;
  bool made_changes_ = false;
  std::exception_ptr failure_;
  bool pending_ = false;
};

}  // namespace ks::xbase
