#include "xml/var_list.h"

namespace ks {

Variant& TksVarList::Add(std::string name, Variant value) {
  return *items_.Add(std::move(name), std::make_unique<Variant>(std::move(value)));
}

Variant* TksVarList::Find(std::string_view name) {
  std::unique_ptr<Variant>* found = items_.Find(name);
  return found != nullptr ? found->get() : nullptr;
}

}  // namespace ks
