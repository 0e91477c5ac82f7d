#pragma once
// The published properties of a model class: one declarative table per class, in declaration
// order, that persistence and Assign walk instead of per-class code.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "galleria/model/enums.h"

namespace galleria {

class TProjObj;
class TBaseObjList;

enum class PropKind { Int32, UInt32, Int64, Bool, Enum, Double, Text, Object, List };

struct EnumOrdinal {
  int value;
  bool operator==(const EnumOrdinal&) const = default;
};

using PropertyValue =
    std::variant<std::int32_t, std::uint32_t, std::int64_t, bool, EnumOrdinal, double, std::string>;

struct Property {
  std::string_view name;
  PropKind kind;
  const EnumType* enumType = nullptr;  // for Bool and Enum
  // Value properties: read the field, write through the class's setter.
  PropertyValue (*get)(const TProjObj&) = nullptr;
  void (*set)(TProjObj&, const PropertyValue&) = nullptr;
  // Object and List properties: the owned sub-object.
  TProjObj* (*object)(const TProjObj&) = nullptr;
  TBaseObjList* (*list)(const TProjObj&) = nullptr;
};

using PropertyList = std::span<const Property>;

}  // namespace galleria
