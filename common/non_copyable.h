#pragma once
// The private base of the classes that must not be copied: they own a file, a table or a
// buffer, or others hold them by address. Copying one is a compile error.

namespace ks {

class NonCopyable {
 public:
  NonCopyable(const NonCopyable&) = delete;
  NonCopyable& operator=(const NonCopyable&) = delete;

 protected:
  NonCopyable() = default;
  ~NonCopyable() = default;
};

}  // namespace ks
