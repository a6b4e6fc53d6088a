#include "framework/kivOwningList.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

// Under AddressSanitizer every piece comes from the heap, so that the sanitizer sees each one.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool Pooled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Pooled = false;
#else
constexpr bool Pooled = true;
#endif
#else
constexpr bool Pooled = true;
#endif

// Small pieces are carved from 64 KiB blocks and, when freed, kept on a list of their size for
// the next piece of that size. Larger pieces come from the heap.
class TListMemory : public std::pmr::memory_resource {
public:
  // Every piece is counted, pooled or not: the memory is given back only when none is in use.
  void* Allocate(size_t Size) {
    const size_t Class = SizeClass(Size);
    if (!Pooled || Class >= std::size(FreeLists)) {
      void* Item = ::operator new(Size);
      ++Live;
      return Item;
    }
    ++Live;
    if (TFreeItem* Item = FreeLists[Class]) {
      FreeLists[Class] = Item->Next;
      return Item;
    }
    const size_t Bytes = Class * Granule;
    if (Bytes > size_t(End - Next)) AddBlock();
    void* Item = Next;
    Next += Bytes;
    return Item;
  }

  bool Unused() const { return Live == 0; }

  void Free(void* Item, size_t Size) noexcept {
    const size_t Class = SizeClass(Size);
    if (!Pooled || Class >= std::size(FreeLists)) {
      ::operator delete(Item);
    } else {
      auto* Freed = static_cast<TFreeItem*>(Item);
      Freed->Next = FreeLists[Class];
      FreeLists[Class] = Freed;
    }
    if (--Live == 0) Release();
  }

  // The blocks go back to the heap; the memory itself stays, as lists keep pointing at it.
  void ReturnBlocks() noexcept {
    std::fill(std::begin(FreeLists), std::end(FreeLists), nullptr);
    Blocks.clear();
    Used = size_t(-1);
    Next = End = nullptr;
  }

private:
  void* do_allocate(size_t Size, size_t Alignment) override {
    if (Alignment <= Granule) return Allocate(Size);
    void* Item = ::operator new(Size, std::align_val_t(Alignment));
    ++Live;
    return Item;
  }
  void do_deallocate(void* Item, size_t Size, size_t Alignment) override {
    if (Alignment <= Granule) return Free(Item, Size);
    ::operator delete(Item, std::align_val_t(Alignment));
    if (--Live == 0) Release();
  }
  bool do_is_equal(const std::pmr::memory_resource& Other) const noexcept override {
    return this == &Other;
  }

  struct TFreeItem {
    TFreeItem* Next;
  };
  static constexpr size_t Granule = alignof(std::max_align_t);
  static constexpr size_t BlockSize = 64 * 1024;

  static size_t SizeClass(size_t Size) { return (Size + Granule - 1) / Granule; }

  // The next block: one kept from an earlier report, or a new one.
  void AddBlock() {
    if (Used + 1 == Blocks.size())
      Blocks.push_back(std::make_unique_for_overwrite<std::byte[]>(BlockSize));
    Next = Blocks[++Used].get();
    End = Next + BlockSize;
  }

  // Everything is free again: carving starts over in the first block. The blocks stay for the
  // next report, which would otherwise have the system supply fresh memory page by page.
  void Release() noexcept {
    std::fill(std::begin(FreeLists), std::end(FreeLists), nullptr);
    if (Blocks.empty()) return;
    Used = 0;
    Next = Blocks[0].get();
    End = Next + BlockSize;
  }

  std::vector<std::unique_ptr<std::byte[]>> Blocks;
  size_t Used = size_t(-1); // the block being carved
  std::byte* Next = nullptr;
  std::byte* End = nullptr;
  TFreeItem* FreeLists[512 / Granule] = {};
  int64_t Live = 0;
};

// Each thread's memory, made on first use and never deleted: a list anywhere may still point
// at it (an empty one, or a static one destroyed after the thread's own objects).
thread_local TListMemory* ThreadMemory = nullptr;

TListMemory& Memory() {
  if (!ThreadMemory) ThreadMemory = new TListMemory;
  return *ThreadMemory;
}
} // namespace

void ReleaseListMemory() {
  if (ThreadMemory && ThreadMemory->Unused()) ThreadMemory->ReturnBlocks();
}

std::pmr::memory_resource& ListMemory() {
  return Memory();
}

void* TOwningList::operator new(size_t Size) {
  return Memory().Allocate(Size);
}

void TOwningList::operator delete(void* List, size_t Size) noexcept {
  Memory().Free(List, Size);
}

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
  // Items are mostly asked for in order (each directory its number as it is written), so the
  // item found last and the one after it are looked at before the whole list.
  for (const size_t I : {LastFound, LastFound + 1})
    if (I < Items.size() && Items[I].get() == Object) {
      LastFound = I;
      return static_cast<int32_t>(I);
    }
  const auto It = std::find_if(Items.begin(), Items.end(),
                               [Object](const auto& P) { return P.get() == Object; });
  if (It == Items.end()) return -1;
  LastFound = size_t(It - Items.begin());
  return static_cast<int32_t>(LastFound);
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
