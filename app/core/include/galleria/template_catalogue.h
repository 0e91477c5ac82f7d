#pragma once
// The template catalogue Res/TemplateXML.xml: which gallery templates exist, where each movie
// lies in the template store and which display options it supports. The store offsets and sizes
// are kept in the file plus 515; the values here are the real ones.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "galleria/model/gallery.h"

namespace galleria {

struct TemplateEntry {
  std::int32_t id = 0;
  std::string type;
  std::uint32_t offset = 0;  // in the template store
  std::uint32_t size = 0;
  bool mousedrag = false, autocursor = false, autoscroll = false, usespotlight = false;
};

struct TemplateSpan {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};

class TemplateCatalogue {
 public:
  // An absent or unreadable catalogue is an empty one.
  explicit TemplateCatalogue(const std::filesystem::path& file);

  const std::vector<TemplateEntry>& Entries() const { return entries_; }
  bool Exists() const { return exists_; }

  // The type of the first entry with that id; empty when none matches.
  std::string TemplateTypeOf(std::int32_t id) const;
  // The span of the first entry with that id. An unknown id gives 0 - 515 for both (the bias is
  // taken off in every case), which no store holds, so a publish with it fails cleanly. Nothing
  // when the catalogue does not exist.
  std::optional<TemplateSpan> SpanOf(std::int32_t id) const;
  // The position of the first entry of that type.
  std::optional<std::size_t> IndexOfType(const std::string& type) const;

 private:
  bool exists_ = false;
  std::vector<TemplateEntry> entries_;
};

// Makes entry `index` the project's template: id, type, index, store span and the options the
// template supports.
void ChooseTemplate(TProjItem& project, const TemplateCatalogue& catalogue, std::size_t index);

}  // namespace galleria
