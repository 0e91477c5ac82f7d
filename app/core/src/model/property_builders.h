#pragma once
// Builds a class's property table from its field and setter member pointers, so that each
// class states its published properties once, as data.

#include <memory>
#include <string>
#include <type_traits>

#include "galleria/model/proj_obj.h"

namespace galleria::detail {

template <class>
struct FieldTraits;
template <class C, class V>
struct FieldTraits<V C::*> {
  using Class = C;
  using Value = V;
};

template <class V>
constexpr PropKind KindOf() {
  if constexpr (std::is_same_v<V, bool>)
    return PropKind::Bool;
  else if constexpr (std::is_enum_v<V>)
    return PropKind::Enum;
  else if constexpr (std::is_same_v<V, std::int32_t>)
    return PropKind::Int32;
  else if constexpr (std::is_same_v<V, std::uint32_t>)
    return PropKind::UInt32;
  else if constexpr (std::is_same_v<V, std::int64_t>)
    return PropKind::Int64;
  else if constexpr (std::is_same_v<V, double>)
    return PropKind::Double;
  else {
    static_assert(std::is_same_v<V, std::string>, "unsupported property type");
    return PropKind::Text;
  }
}

// A value property: read from `Field`, written through `Setter`.
template <auto Field, auto Setter>
constexpr Property Value(std::string_view name) {
  using C = typename FieldTraits<decltype(Field)>::Class;
  using V = typename FieldTraits<decltype(Field)>::Value;
  Property p{name, KindOf<V>()};
  if constexpr (std::is_enum_v<V> || std::is_same_v<V, bool>) p.enumType = &EnumTraits<V>::kType;
  p.get = [](const TProjObj& o) -> PropertyValue {
    const V& v = static_cast<const C&>(o).*Field;
    if constexpr (std::is_enum_v<V>)
      return EnumOrdinal{static_cast<int>(v)};
    else
      return v;
  };
  p.set = [](TProjObj& o, const PropertyValue& v) {
    C& c = static_cast<C&>(o);
    if constexpr (std::is_enum_v<V>)
      (c.*Setter)(static_cast<V>(std::get<EnumOrdinal>(v).value));
    else
      (c.*Setter)(std::get<V>(v));
  };
  return p;
}

// A property holding an owned sub-object or list (a std::unique_ptr field).
template <auto Field>
constexpr Property Owned(std::string_view name) {
  using C = typename FieldTraits<decltype(Field)>::Class;
  using T = typename FieldTraits<decltype(Field)>::Value::element_type;
  if constexpr (std::is_base_of_v<TBaseObjList, T>) {
    Property p{name, PropKind::List};
    p.list = [](const TProjObj& o) -> TBaseObjList* {
      return (static_cast<const C&>(o).*Field).get();
    };
    return p;
  } else {
    Property p{name, PropKind::Object};
    p.object = [](const TProjObj& o) -> TProjObj* {
      return (static_cast<const C&>(o).*Field).get();
    };
    return p;
  }
}

}  // namespace galleria::detail
