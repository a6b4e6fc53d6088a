#include "framework/kivOwningList.h"

#include <algorithm>

TOwningList::~TOwningList() {
  if (!OwnsObjects)
    for (auto& Object : Items)
      (void)Object.release();
  // Owned items are freed by the vector, last first, without notification: the list's
  // subclass part is already gone at this point.
  while (!Items.empty())
    Items.pop_back();
}

int32_t TOwningList::IndexOf(const TObject* Object) const {
  const auto It = std::find_if(Items.begin(), Items.end(),
                               [Object](const auto& P) { return P.get() == Object; });
  return It == Items.end() ? -1 : static_cast<int32_t>(It - Items.begin());
}

void TOwningList::InsertObject(int32_t Index, std::unique_ptr<TObject> Object) {
  TObject* Raw = Object.get();
  // Most lists hold a few items: room for four at once spares the first steps of growth.
  if (Items.capacity() == 0) Items.reserve(4);
  Items.insert(Items.begin() + std::clamp<int32_t>(Index, 0, Count()), std::move(Object));
  Notify(Raw, TListNotification::Added);
}

void TOwningList::Delete(int32_t Index) {
  std::unique_ptr<TObject> Object = std::move(Items.at(static_cast<size_t>(Index)));
  Items.erase(Items.begin() + Index);
  Notify(Object.get(), TListNotification::Deleted);
  if (!OwnsObjects) (void)Object.release();
}

std::unique_ptr<TObject> TOwningList::Extract(TObject* Object) {
  const int32_t Index = IndexOf(Object);
  if (Index < 0) return nullptr;
  std::unique_ptr<TObject> Taken = std::move(Items[static_cast<size_t>(Index)]);
  Items.erase(Items.begin() + Index);
  Notify(Taken.get(), TListNotification::Extracted);
  return Taken;
}

void TOwningList::Clear() {
  while (!Items.empty())
    Delete(Count() - 1);
}

void TOwningList::Notify(TObject*, TListNotification) {}
