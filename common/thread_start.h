#pragma once
// Work handed to a thread of its own, where the system gives one: without a thread to be
// had (std::thread throws), the work is done on the calling thread before this returns, so
// that a lack of threads costs time, never the work.

#include <system_error>
#include <thread>
#include <utility>

namespace ks {

template <typename Work>
void StartOrDoHere(std::thread& thread, Work work) {
  try {
    thread = std::thread(work);
  } catch (const std::system_error&) {
    work();
  }
}

}  // namespace ks
