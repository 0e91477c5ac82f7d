#pragma once
// The model's enumerations. Their value names are what project files store.

#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace galleria {

enum class TWindowType { st_new, st_current };
enum class TDragType { st_Auto, st_Drag, st_Influence };
enum class TOutType { st_169, st_43, st_Custom };
enum class PUBLISH_TYPE { ET_SWF, ET_EXE, ET_HTML, ET_EMAIL, ET_SRC, ET_PREVIEW };

// The names of an enumeration's values, in value order.
struct EnumType {
  std::string_view name;
  std::span<const std::string_view> values;

  std::string_view NameOf(int ordinal) const;
  // Looks a value up by name without regard to ASCII case.
  std::optional<int> OrdinalOf(std::string_view valueName) const;
};

template <class E>
struct EnumTraits;

#define GALLERIA_ENUM_TRAITS(E, ...)                                               \
  template <>                                                                      \
  struct EnumTraits<E> {                                                           \
    static constexpr auto kNames = std::to_array<std::string_view>({__VA_ARGS__}); \
    static constexpr EnumType kType{#E, kNames};                                   \
  }

GALLERIA_ENUM_TRAITS(TWindowType, "st_new", "st_current");
GALLERIA_ENUM_TRAITS(TDragType, "st_Auto", "st_Drag", "st_Influence");
GALLERIA_ENUM_TRAITS(TOutType, "st_169", "st_43", "st_Custom");
GALLERIA_ENUM_TRAITS(PUBLISH_TYPE, "ET_SWF", "ET_EXE", "ET_HTML", "ET_EMAIL", "ET_SRC",
                     "ET_PREVIEW");
// Booleans are stored by name like any enumeration.
GALLERIA_ENUM_TRAITS(bool, "False", "True");

#undef GALLERIA_ENUM_TRAITS

template <class E>
std::string_view EnumName(E value) {
  return EnumTraits<E>::kType.NameOf(static_cast<int>(value));
}

template <class E>
std::optional<E> EnumFromName(std::string_view name) {
  if (auto ordinal = EnumTraits<E>::kType.OrdinalOf(name)) return static_cast<E>(*ordinal);
  return std::nullopt;
}

}  // namespace galleria
