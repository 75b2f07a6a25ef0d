#pragma once
// One field of a table as the engine keeps it: the descriptor of the .dbf header plus
// its place in the record image.

#include <string>

namespace ks::xbase {

struct FieldDef {
  std::string name;  // upper case, at most 10 characters
  char type = 'C';   // C, N, F, D, L, M
  int len = 0;
  int dec = 0;
  int offset = 0;    // in the record image; byte 0 is the deletion flag
};

}  // namespace ks::xbase
