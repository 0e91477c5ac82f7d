#include "galleria/model/enums.h"

#include "ascii.h"

namespace galleria {
std::string_view EnumType::NameOf(int ordinal) const {
  if (ordinal < 0 || static_cast<std::size_t>(ordinal) >= values.size()) return {};
  return values[static_cast<std::size_t>(ordinal)];
}

std::optional<int> EnumType::OrdinalOf(std::string_view valueName) const {
  for (std::size_t i = 0; i < values.size(); ++i)
    if (EqualIgnoringCase(values[i], valueName)) return static_cast<int>(i);
  return std::nullopt;
}

}  // namespace galleria
