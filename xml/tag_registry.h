#pragma once
// The element-class registry: element names, compared without regard to case, mapped to the
// node classes the parser builds for them. Unregistered names give a plain TqrxNode.

#include <memory>
#include <string_view>

#include "xml/xml_tag.h"

namespace ks {

using TqrxNodeFactory = std::unique_ptr<TqrxNode> (*)();

template <typename T>
std::unique_ptr<TqrxNode> MakeTagClass() {
  return std::make_unique<T>();
}

// A second registration of the same name is the error "String list does not allow duplicates".
void RegisterTagClass(std::string_view name, TqrxNodeFactory factory);
// The registered class, or the plain TqrxNode.
TqrxNodeFactory FindTagClass(std::string_view name);

}  // namespace ks
