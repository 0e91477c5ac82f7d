#pragma once
// How a property value is written as element text in a project file, and read back.

#include <string>
#include <string_view>

#include "galleria/model/property.h"

namespace galleria {

std::string PropertyText(const Property& property, const PropertyValue& value);

// Numbers that do not parse become 0; a bool or enumeration text that names no value throws
// GalleriaError "Invalid property element: <text>".
PropertyValue PropertyFromText(const Property& property, std::string_view text);

}  // namespace galleria
