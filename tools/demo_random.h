#pragma once
// A small seeded random source whose sequence is the same on every platform and compiler
// (the standard distributions are not), for generated demo data.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ks {

class DemoRandom {
 public:
  explicit DemoRandom(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    // SplitMix64.
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A whole number in [lo, hi].
  int Between(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<uint64_t>(int64_t{hi} - lo + 1));
  }
  bool Percent(int chance) { return Between(0, 99) < chance; }
  // Roubles and kopecks in [lo, hi].
  double Money(double lo, double hi) {
    const int64_t kopecks = static_cast<int64_t>(std::llround(lo * 100)) +
                            static_cast<int64_t>(Next() % static_cast<uint64_t>((hi - lo) * 100 + 1));
    return static_cast<double>(kopecks) / 100.0;
  }
  template <class T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Next() % N];
  }
  // A string of `n` decimal digits.
  std::string Digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + Next() % 10);
    return s;
  }

 private:
  uint64_t state_;
};

}  // namespace ks
