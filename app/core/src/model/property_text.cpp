#include "model/property_text.h"

#include <charconv>
#include <cstdint>

#include "galleria/error.h"

namespace galleria {
namespace {

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const auto first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

template <class N>
N NumberOrZero(std::string_view text) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  N value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : N{};
}

// Files from machines whose locale writes a decimal comma are read as well as our own.
double DoubleOrZero(std::string_view text) {
  std::string normalised(Trimmed(text));
  for (char& c : normalised)
    if (c == ',') c = '.';
  return NumberOrZero<double>(normalised);
}

// Always a decimal point, whatever the user's locale: a file must read the same everywhere.
std::string DoubleText(double value) {
  if (value == 0) return "0";
  char text[32];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
  return std::string(text, result.ptr);
}

int OrdinalOrThrow(const Property& property, std::string_view text) {
  if (auto ordinal = property.enumType->OrdinalOf(Trimmed(text))) return *ordinal;
  throw GalleriaError("Invalid property element: " + std::string(text));
}

}  // namespace

std::string PropertyText(const Property& property, const PropertyValue& value) {
  switch (property.kind) {
    case PropKind::Int32:
      return std::to_string(std::get<std::int32_t>(value));
    case PropKind::UInt32:
      return std::to_string(std::get<std::uint32_t>(value));
    case PropKind::Int64:
      return std::to_string(std::get<std::int64_t>(value));
    case PropKind::Bool:
      return std::string(property.enumType->NameOf(std::get<bool>(value)));
    case PropKind::Enum:
      return std::string(property.enumType->NameOf(std::get<EnumOrdinal>(value).value));
    case PropKind::Double:
      return DoubleText(std::get<double>(value));
    case PropKind::Text:
      return std::get<std::string>(value);
    case PropKind::Object:
    case PropKind::List:
      break;
  }
  return {};
}

PropertyValue PropertyFromText(const Property& property, std::string_view text) {
  switch (property.kind) {
    case PropKind::Int32:
      return NumberOrZero<std::int32_t>(text);
    case PropKind::UInt32:
      return NumberOrZero<std::uint32_t>(text);
    case PropKind::Int64:
      return NumberOrZero<std::int64_t>(text);
    case PropKind::Bool:
      return OrdinalOrThrow(property, text) != 0;
    case PropKind::Enum:
      return EnumOrdinal{OrdinalOrThrow(property, text)};
    case PropKind::Double:
      return DoubleOrZero(text);
    case PropKind::Text:
    case PropKind::Object:
    case PropKind::List:
      break;
  }
  return std::string(text);
}

}  // namespace galleria
