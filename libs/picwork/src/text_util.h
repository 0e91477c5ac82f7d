#pragma once
// Conversions between the UTF-16 texts of the persisted layouts and the UTF-8 of our APIs.

#include <string>

#include <gfx/text.h>

#include "picwork/picwork.h"

namespace picwork {

std::string ToUtf8(const std::u16string& text);
std::u16string ToUtf16(const std::string& text);
gfx::Font FontOf(const TextFontInfo& font);

}  // namespace picwork
