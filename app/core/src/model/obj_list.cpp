#include "galleria/model/proj_obj.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace galleria {

void TBaseObjList::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit)
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
}

TProjObj& TBaseObjList::Item(int index) const {
  CheckIndex(index, Count());
  return *items_[static_cast<size_t>(index)];
}

int TBaseObjList::IndexOf(const TProjObj* item) const {
  const auto it = std::ranges::find(items_, item, &std::unique_ptr<TProjObj>::get);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TBaseObjList::DoChanged() {
  if (Suppressed()) return;
  SetChanged(true);
  NotifyOwner();
}

int TBaseObjList::Add(std::unique_ptr<TProjObj> item) {
  Insert(Count(), std::move(item));
  return Count() - 1;
}

void TBaseObjList::Insert(int index, std::unique_ptr<TProjObj> item) {
  if (!item) throw std::invalid_argument("Cannot add a null item to a list");
  CheckIndex(index, Count() + 1);
  TProjObj& added = **items_.insert(items_.begin() + index, std::move(item));
  Adopt(added);
  added.DoChange();
}

void TBaseObjList::Delete(int index) {
  CheckIndex(index, Count());
  // Unlink first: the item's destruction must not see itself in the list.
  std::unique_ptr<TProjObj> doomed = std::move(items_[static_cast<size_t>(index)]);
  items_.erase(items_.begin() + index);
  doomed.reset();
  DoChanged();
}

std::unique_ptr<TProjObj> TBaseObjList::DeleteNoFree(int index) {
  CheckIndex(index, Count());
  std::unique_ptr<TProjObj> item = std::move(items_[static_cast<size_t>(index)]);
  items_.erase(items_.begin() + index);
  DoChanged();
  return item;
}

void TBaseObjList::Clear() {
  items_.clear();
  DoChanged();
}

void TBaseObjList::Move(int curIndex, int newIndex) {
  CheckIndex(curIndex, Count());
  CheckIndex(newIndex, Count());
  auto first = items_.begin();
  if (curIndex < newIndex)
    std::rotate(first + curIndex, first + curIndex + 1, first + newIndex + 1);
  else
    std::rotate(first + newIndex, first + curIndex, first + curIndex + 1);
  DoChanged();
}

void TBaseObjList::Exchange(int index1, int index2) {
  CheckIndex(index1, Count());
  CheckIndex(index2, Count());
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
  DoChanged();
}

int TBaseObjList::Remove(const TProjObj* item) {
  const int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

void TBaseObjList::Assign(const TBaseObjList& source) {
  if (&source == this) return;
  Clear();
  for (const auto& item : source.items_) {
    std::unique_ptr<TProjObj> copy = item->NewInstance(this);
    copy->Assign(*item);
    Add(std::move(copy));
  }
}

TProjObj& TProjObjList::Add() {
  std::unique_ptr<TProjObj> item = NewItem();
  TProjObj& added = *item;
  TBaseObjList::Add(std::move(item));
  return added;
}

}  // namespace galleria
