#pragma once

#include <algorithm>
#include <cctype>
#include <string_view>

namespace galleria {

// Names in project files match without regard to case; they are ASCII by construction.
inline bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(
      a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace galleria
