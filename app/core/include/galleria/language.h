#pragma once
// The user-visible texts, looked up by message id in language/language.xml: a root element
// `language` (attribute `name`) whose children are named by id and hold the text.

#include <filesystem>
#include <string>
#include <string_view>

namespace galleria {

// The product title every message box carries as its caption.
inline constexpr const char* kProductTitle = "Korvel Pellucora";

// False when the file does not exist or holds no `language` element (nothing is loaded then).
bool LoadLanguage(const std::filesystem::path& file);
// "english" when no language is loaded; else the `name` attribute (empty when absent).
std::string LanguageName();
// The first text of that id, or `fallback` when no language is loaded or the id is absent.
std::string LookupText(std::string_view id, std::string_view fallback = {});
void ReleaseLanguage();

}  // namespace galleria
