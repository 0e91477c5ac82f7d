#include "galleria/language.h"

#include <pugixml.hpp>

#include <memory>
#include <mutex>
#include <string>

namespace galleria {
namespace {

struct LoadedLanguage {
  pugi::xml_document document;
  pugi::xml_node root;
};

// Loaded once at start and read from any window; the lock keeps a late lookup from a worker
// safe while the main window releases the texts.
std::mutex mutex;
std::unique_ptr<LoadedLanguage> loaded;

}  // namespace

bool LoadLanguage(const std::filesystem::path& file) {
  auto language = std::make_unique<LoadedLanguage>();
  if (!language->document.load_file(file.c_str())) return false;
  language->root = language->document.child("language");
  if (!language->root) return false;
  std::lock_guard lock(mutex);
  loaded = std::move(language);
  return true;
}

std::string LanguageName() {
  std::lock_guard lock(mutex);
  return loaded ? loaded->root.attribute("name").value() : "english";
}

std::string LookupText(std::string_view id, std::string_view fallback) {
  std::lock_guard lock(mutex);
  if (loaded) {
    const pugi::xml_node text = loaded->root.child(std::string(id).c_str());
    if (text) return text.child_value();
  }
  return std::string(fallback);
}

void ReleaseLanguage() {
  std::lock_guard lock(mutex);
  loaded.reset();
}

}  // namespace galleria
