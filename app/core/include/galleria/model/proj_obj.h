#pragma once
// The generic bases of the project model: objects with published properties, owning lists of
// them, change notifications that climb to the project, and owner links.

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "galleria/model/property.h"

namespace galleria {

class TBaseProj;

// What objects and lists share: an owner, the change flags, and XML persistence.
class TModelNode {
 public:
  virtual ~TModelNode() = default;
  TModelNode(const TModelNode&) = delete;
  TModelNode& operator=(const TModelNode&) = delete;

  virtual std::string_view ClassName() const = 0;
  TModelNode* Owner() const { return owner_; }
  // The nearest owner up the chain that is a project; null when the chain ends first.
  TBaseProj* GetOwnerProj() const;

  bool Changed() const { return changed_; }
  void SetChanged(bool changed) { changed_ = changed; }
  bool IgnoreChange() const { return ignoreChange_; }
  void SetIgnoreChange(bool ignore) { ignoreChange_ = ignore; }

  virtual void SaveToNode(pugi::xml_node node) const = 0;
  virtual void LoadFromNode(pugi::xml_node node) = 0;

 protected:
  explicit TModelNode(TModelNode* owner) : owner_(owner) {}
  // What a change of an owned object does to this owner: DoChange or DoChanged.
  virtual void OwnedChanged() = 0;
  void NotifyOwner() const {
    if (owner_) owner_->OwnedChanged();
  }
  bool Suppressed() const { return ignoreChange_ || bLoading; }

  bool bLoading = false;

 private:
  friend class TBaseObjList;  // a list adopts the items added to it
  TModelNode* owner_;
  bool changed_ = false;
  bool ignoreChange_ = false;
};

class TProjObj : public TModelNode {
 public:
  using ChangeHandler = std::function<void(TProjObj& sender)>;

  // The published properties in declaration order.
  virtual PropertyList Properties() const = 0;
  // The virtual constructor: a new, default object of the same class.
  virtual std::unique_ptr<TProjObj> NewInstance(TModelNode* owner) const = 0;

  // Copies OnChange and every published property in order (sub-objects and lists deeply), then
  // notifies. The source must be of the same class.
  virtual void Assign(const TProjObj& source);

  void SaveToNode(pugi::xml_node node) const override;
  void LoadFromNode(pugi::xml_node node) override;

  ChangeHandler OnChange;

 protected:
  friend class TBaseObjList;  // an added item announces itself through its new owner
  explicit TProjObj(TModelNode* owner) : TModelNode(owner) {}
  virtual void DoChange();
  void OwnedChanged() override { DoChange(); }

  // Setter bodies: store a differing value, with or without a change notification.
  template <class V, class U>
  void Store(V& field, U&& value) {
    if (field == value) return;
    field = std::forward<U>(value);
    DoChange();
  }
  template <class V, class U>
  void StoreQuietly(V& field, U&& value) {
    if (!(field == value)) field = std::forward<U>(value);
  }
};

// An owning list of model objects: it frees its items on Delete, Clear, Remove and destruction.
class TBaseObjList : public TModelNode {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TProjObj& Item(int index) const;
  TProjObj* First() const { return items_.empty() ? nullptr : items_.front().get(); }
  TProjObj* Last() const { return items_.empty() ? nullptr : items_.back().get(); }
  int IndexOf(const TProjObj* item) const;

  // Adopts the item (its owner becomes this list) and lets it notify; returns its index.
  virtual int Add(std::unique_ptr<TProjObj> item);
  virtual void Insert(int index, std::unique_ptr<TProjObj> item);
  virtual void Delete(int index);
  // Removes without freeing: the caller takes the item over.
  virtual std::unique_ptr<TProjObj> DeleteNoFree(int index);
  virtual void Clear();
  virtual void Move(int curIndex, int newIndex);
  virtual void Exchange(int index1, int index2);
  // Deletes the item when it is in the list; returns its former index or -1.
  int Remove(const TProjObj* item);

  // Replaces the items by copies of the source's items.
  virtual void Assign(const TBaseObjList& source);

  void SaveToNode(pugi::xml_node node) const override;

 protected:
  explicit TBaseObjList(TModelNode* owner) : TModelNode(owner) {}
  virtual void DoChanged();
  void OwnedChanged() override { DoChanged(); }
  void Adopt(TProjObj& item) { item.owner_ = this; }
  void CheckIndex(int index, int limit) const;

  std::vector<std::unique_ptr<TProjObj>> items_;
};

// A list whose items are all of one class, which it creates itself.
class TProjObjList : public TBaseObjList {
 public:
  using TBaseObjList::Add;
  // Creates an item of the list's class, appends it and returns it.
  TProjObj& Add();
  // Loads every child element as one item, whatever the element's name.
  void LoadFromNode(pugi::xml_node node) override;

 protected:
  using TBaseObjList::TBaseObjList;
  // The list's item class (its virtual constructor).
  virtual std::unique_ptr<TProjObj> NewItem() = 0;
};

template <class T>
class TTypedObjList : public TProjObjList {
 public:
  T& Add() { return static_cast<T&>(TProjObjList::Add()); }
  using TProjObjList::Add;
  T& operator[](int index) const { return static_cast<T&>(Item(index)); }

 protected:
  using TProjObjList::TProjObjList;
  std::unique_ptr<TProjObj> NewItem() override { return std::make_unique<T>(this); }
};

}  // namespace galleria
