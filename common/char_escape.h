#pragma once
// Escape tables: the texts that stand for single characters in a written notation (JSON
// strings, HTML, the visible escapes of the run report). Each writer keeps its own table and
// its own form for the characters a table does not list.

#include <span>

namespace ks {

// A character and the text written in its place.
struct CharEscape {
  char raw;
  const char* escaped;
};

// The text the table writes for c; nullptr when the table does not list c.
inline const char* FindEscape(std::span<const CharEscape> table, char c) {
  for (const CharEscape& entry : table) {
    if (entry.raw == c) return entry.escaped;
  }
  return nullptr;
}

}  // namespace ks
