#include "xml/tag_registry.h"

#include "xml/sorted_string_list.h"

namespace ks {
namespace {

SortedStringList<TqrxNodeFactory>& Registry() {
  static SortedStringList<TqrxNodeFactory> registry;
  return registry;
}

}  // namespace

void RegisterTagClass(std::string_view name, TqrxNodeFactory factory) {
  Registry().Add(std::string(name), factory);
}

TqrxNodeFactory FindTagClass(std::string_view name) {
  const TqrxNodeFactory* found = Registry().Find(name);
  return found != nullptr ? *found : &MakeTagClass<TqrxNode>;
}

}  // namespace ks
