#pragma once
// The root object class and the ordered list that owns its items. Every addition and deletion
// goes through the notification hook, which sees a deleted item before it is freed.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>

class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

enum class TListNotification { Added, Extracted, Deleted };

// The memory of owning lists and of what they hold. A report makes its lists (HTML elements,
// TIFF entries) by the ten thousand and frees them together: they are carved from large blocks,
// and freed memory is reused by size (see kivOwningList.cpp). Lists are made and freed on one
// thread, as every framework object is; each thread has its own memory.
std::pmr::memory_resource& ListMemory();
// Gives the calling thread's list memory back to the heap when nothing in it is in use: at
// module unload, so that a host that unloads the library keeps no memory of it.
void ReleaseListMemory();

class TOwningList : public TObject {
public:
  explicit TOwningList(bool OwnsObjects = true) : OwnsObjects(OwnsObjects), Items(&ListMemory()) {}
  ~TOwningList() override;

  static void* operator new(std::size_t Size);
  static void operator delete(void* List, std::size_t Size) noexcept;

  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  TObject* Item(int32_t Index) const { return Items.at(static_cast<size_t>(Index)).get(); }
  int32_t IndexOf(const TObject* Object) const;

  template <class T> T& Add(std::unique_ptr<T> Object) {
    return Insert(Count(), std::move(Object));
  }
  template <class T> T& Insert(int32_t Index, std::unique_ptr<T> Object) {
    T& Ref = *Object;
    InsertObject(Index, std::move(Object));
    return Ref;
  }
  // Removes the item and frees it when the list owns it.
  void Delete(int32_t Index);
  // Removes the item without freeing it; the caller takes it over.
  std::unique_ptr<TObject> Extract(TObject* Object);
  void Clear();

protected:
  virtual void Notify(TObject* Object, TListNotification Action);

private:
  void InsertObject(int32_t Index, std::unique_ptr<TObject> Object);
  bool OwnsObjects;
  std::pmr::vector<std::unique_ptr<TObject>> Items;
  mutable size_t LastFound = 0; // where IndexOf looks first
};
