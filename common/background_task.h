#pragma once
// One piece of work on a thread of its own while its owner goes on, for work that mostly
// waits (a flush to the disk) beside work that computes. Wait joins the thread and throws
// again what the work threw; the destructor joins it too, so the thread never outlives its
// owner, whichever way the owner leaves. When no thread can be had, the work is done at
// once, in the constructor, and Wait reports it the same way.

#include <exception>
#include <functional>
#include <thread>

#include "common/non_copyable.h"

namespace ks {

class BackgroundTask : NonCopyable {
 public:
  explicit BackgroundTask(std::function<void()> work);
  // Joins; a failure that Wait did not report is dropped.
  ~BackgroundTask();

  // Blocks until the work is done; rethrows its exception. Only the first call reports it.
  void Wait();

 private:
  void Perform() noexcept;

  std::function<void()> work_;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace ks
