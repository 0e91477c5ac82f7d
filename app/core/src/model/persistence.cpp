// The generic XML persistence of model objects and lists: element names are property and class
// names, walked in declaration order.

#include <string>

#include "ascii.h"
#include "galleria/model/proj_obj.h"
#include "model/property_text.h"

namespace galleria {
namespace {

const Property* FindProperty(PropertyList properties, std::string_view name) {
  for (const Property& p : properties)
    if (EqualIgnoringCase(p.name, name)) return &p;
  return nullptr;
}

pugi::xml_node AddChild(pugi::xml_node node, std::string_view name) {
  return node.append_child(std::string(name).c_str());
}

}  // namespace

void TProjObj::SaveToNode(pugi::xml_node node) const {
  for (const Property& p : Properties()) {
    pugi::xml_node child = AddChild(node, p.name);
    switch (p.kind) {
      case PropKind::Object:
        p.object(*this)->SaveToNode(child);
        break;
      case PropKind::List:
        p.list(*this)->SaveToNode(child);
        break;
      default: {
        const std::string text = PropertyText(p, p.get(*this));
        if (!text.empty()) child.text().set(text.c_str());
      }
    }
  }
}

void TProjObj::LoadFromNode(pugi::xml_node node) {
  bLoading = true;
  try {
    for (pugi::xml_node child : node.children()) {
      if (child.type() != pugi::node_element) continue;
      const Property* p = FindProperty(Properties(), child.name());
      if (!p) continue;
      switch (p->kind) {
        case PropKind::Object:
          p->object(*this)->LoadFromNode(child);
          break;
        case PropKind::List:
          p->list(*this)->LoadFromNode(child);
          break;
        default:
          p->set(*this, PropertyFromText(*p, child.child_value()));
      }
    }
  } catch (...) {
    bLoading = false;
    throw;
  }
  bLoading = false;
  SetChanged(true);
}

void TBaseObjList::SaveToNode(pugi::xml_node node) const {
  for (const auto& item : items_) item->SaveToNode(AddChild(node, item->ClassName()));
}

void TProjObjList::LoadFromNode(pugi::xml_node node) {
  bLoading = true;
  try {
    items_.clear();
    for (pugi::xml_node child : node.children()) {
      if (child.type() != pugi::node_element) continue;
      std::unique_ptr<TProjObj> item = NewItem();
      item->LoadFromNode(child);
      Add(std::move(item));
    }
  } catch (...) {
    bLoading = false;
    throw;
  }
  bLoading = false;
  SetChanged(true);
}

}  // namespace galleria
