#pragma once
// The program's texts are Windows-1251; the window speaks UTF-16. They meet here.

#include <string>
#include <string_view>

namespace ks {

std::wstring WideFromAnsi(std::string_view cp1251);

}  // namespace ks
