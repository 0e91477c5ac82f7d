#include "galleria/template_catalogue.h"

#include <pugixml.hpp>

#include "ascii.h"

namespace galleria {
namespace {

constexpr std::uint32_t kBias = 515;

bool IsTrue(pugi::xml_node entry, const char* name) {
  return EqualIgnoringCase(entry.child_value(name), "True");
}

std::uint32_t Unbiased(pugi::xml_node entry, const char* name) {
  return static_cast<std::uint32_t>(entry.child(name).text().as_ullong()) - kBias;
}

}  // namespace

TemplateCatalogue::TemplateCatalogue(const std::filesystem::path& file) {
  pugi::xml_document document;
  if (!document.load_file(file.c_str())) return;
  exists_ = true;
  for (pugi::xml_node entry : document.child("ProjName").child("Templates").children()) {
    if (entry.type() != pugi::node_element) continue;
    entries_.push_back(
        {entry.child("TemplateID").text().as_int(), entry.child_value("TemplateType"),
         Unbiased(entry, "MD5O"), Unbiased(entry, "CRTS"), IsTrue(entry, "mousedrag"),
         IsTrue(entry, "autocursor"), IsTrue(entry, "autoscroll"), IsTrue(entry, "usespotlight")});
  }
}

std::string TemplateCatalogue::TemplateTypeOf(std::int32_t id) const {
  for (const TemplateEntry& e : entries_)
    if (e.id == id) return e.type;
  return {};
}

std::optional<TemplateSpan> TemplateCatalogue::SpanOf(std::int32_t id) const {
  if (!exists_) return std::nullopt;
  for (const TemplateEntry& e : entries_)
    if (e.id == id) return TemplateSpan{e.offset, e.size};
  return TemplateSpan{0 - kBias, 0 - kBias};
}

std::optional<std::size_t> TemplateCatalogue::IndexOfType(const std::string& type) const {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].type == type) return i;
  return std::nullopt;
}

void ChooseTemplate(TProjItem& project, const TemplateCatalogue& catalogue, std::size_t index) {
  const TemplateEntry& e = catalogue.Entries().at(index);
  TTemplate& t = project.Template();
  t.SetTemplateID(e.id);
  t.SetTemplateType(e.type);
  t.SetTemplateIndex(static_cast<std::int32_t>(index));
  t.SetSelectOffset(e.offset);
  t.SetSelectSize(e.size);
  t.Setmousedrag(e.mousedrag);
  t.Setautocursor(e.autocursor);
  t.Setautoscroll(e.autoscroll);
  t.Setusespotlight(e.usespotlight);
}

}  // namespace galleria
