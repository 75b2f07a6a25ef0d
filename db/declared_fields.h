#pragma once
// Declaring the fields of a table set the way the data modules do: each field with its type
// and text size, then the logical field isLocked that every set carries.

#include <initializer_list>

#include "db/engine/cb_table_set.h"

namespace ks {

struct FieldDeclaration {
  const char* name;
  TFieldType type;
  int size = 0;  // characters of a text field
};

void DeclareFields(TCBTableSet& set, std::initializer_list<FieldDeclaration> fields);

}  // namespace ks
