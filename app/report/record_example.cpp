#include "app/report/record_example.h"

#include <algorithm>

namespace ks {

ExampleValue ExampleValue::Of(std::string_view value, size_t focus) {
  ExampleValue example;
  example.length = value.size();
  if (value.size() <= kExampleValueLimit) {
    example.text = std::string(value);
    return example;
  }
  // Some context before the place of the loss, most of the excerpt after it.
  constexpr size_t kBefore = kExampleValueLimit / 4;
  const size_t latest_start = value.size() - kExampleValueLimit;
  example.from = std::min(focus > kBefore ? focus - kBefore : 0, latest_start);
  example.text = std::string(value.substr(example.from, kExampleValueLimit));
  return example;
}

ExampleValue ExampleValue::SameStretch(const ExampleValue& like, std::string_view value) {
  ExampleValue example;
  example.length = value.size();
  example.from = std::min(like.from, value.size());
  example.text = std::string(value.substr(example.from, like.text.size()));
  return example;
}

}  // namespace ks
