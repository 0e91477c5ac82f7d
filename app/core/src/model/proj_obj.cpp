#include "galleria/model/proj_obj.h"

#include <stdexcept>
#include <string>
#include <typeinfo>

#include "galleria/model/base_proj.h"

namespace galleria {

TBaseProj* TModelNode::GetOwnerProj() const {
  for (TModelNode* node = owner_; node; node = node->owner_)
    if (auto* project = dynamic_cast<TBaseProj*>(node)) return project;
  return nullptr;
}

void TProjObj::DoChange() {
  if (Suppressed()) return;
  SetChanged(true);
  if (OnChange) OnChange(*this);
  NotifyOwner();
}

void TProjObj::Assign(const TProjObj& source) {
  if (typeid(source) != typeid(*this))
    throw std::invalid_argument("Cannot assign a " + std::string(source.ClassName()) + " to a " +
                                std::string(ClassName()));
  OnChange = source.OnChange;
  for (const Property& p : Properties()) {
    switch (p.kind) {
      case PropKind::Object:
        p.object(*this)->Assign(*p.object(source));
        break;
      case PropKind::List:
        p.list(*this)->Assign(*p.list(source));
        break;
      default:
        p.set(*this, p.get(source));
    }
  }
  DoChange();
}

}  // namespace galleria
