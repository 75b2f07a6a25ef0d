#include "app/win32/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace ks {

std::wstring WideFromAnsi(std::string_view cp1251) {
  constexpr UINT kCp1251 = 1251;
  const int size = static_cast<int>(std::min<size_t>(cp1251.size(), INT_MAX));
  if (size == 0) return {};
  const int wide_size = MultiByteToWideChar(kCp1251, 0, cp1251.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(wide_size), L'\0');
  MultiByteToWideChar(kCp1251, 0, cp1251.data(), size, wide.data(), wide_size);
  return wide;
}

}  // namespace ks
