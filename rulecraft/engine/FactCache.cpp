#include "rulecraft/engine/FactCache.h"

namespace rulecraft {

void TFactCache::Add(uint64_t Hash, TFact* Fact) {
  if ((FSize + 1) * 2 > FSlots.size()) Rebuild(FSlots.empty() ? 16 : FSlots.size() * 2);
  const size_t Mask = FSlots.size() - 1;
  size_t Index = Home(Hash);
  while (FSlots[Index].Fact) Index = (Index + 1) & Mask;
  FSlots[Index] = TSlot{Hash, Fact};
  ++FSize;
}

bool TFactCache::Remove(uint64_t Hash, const TFact* Fact) noexcept {
  if (FSize == 0) return false;
  const size_t Mask = FSlots.size() - 1;
  for (size_t Index = Home(Hash); FSlots[Index].Fact; Index = (Index + 1) & Mask)
    if (FSlots[Index].Fact == Fact) {
      EraseAt(Index);
      return true;
    }
  // Filed under another hash: the fact's values were changed in place after it was filed.
  for (size_t Index = 0; Index < FSlots.size(); ++Index)
    if (FSlots[Index].Fact == Fact) {
      EraseAt(Index);
      return true;
    }
  return false;
}

void TFactCache::EraseAt(size_t Hole) noexcept {
  const size_t Mask = FSlots.size() - 1;
  // Pull back every later entry of the run whose home does not lie cyclically in (Hole, Next].
  for (size_t Next = (Hole + 1) & Mask; FSlots[Next].Fact; Next = (Next + 1) & Mask) {
    const size_t Wanted = Home(FSlots[Next].Hash);
    if (((Next - Wanted) & Mask) < ((Next - Hole) & Mask)) continue;
    FSlots[Hole] = FSlots[Next];
    Hole = Next;
  }
  FSlots[Hole] = TSlot();
  --FSize;
}

void TFactCache::Clear(bool Release) noexcept {
  if (Release) {
    std::vector<TSlot>().swap(FSlots);
    FShift = 64;
  } else {
    for (TSlot& Slot : FSlots) Slot = TSlot();
  }
  FSize = 0;
}

void TFactCache::Reserve(size_t Count) {
  size_t Capacity = FSlots.empty() ? 16 : FSlots.size();
  while (Capacity < Count * 2) Capacity *= 2;
  if (Capacity != FSlots.size()) Rebuild(Capacity);
}

void TFactCache::Rebuild(size_t Capacity) {
  std::vector<TSlot> Old(Capacity);
  Old.swap(FSlots);
  FShift = 64;
  for (size_t Size = Capacity; Size > 1; Size >>= 1) --FShift;
  const size_t Mask = Capacity - 1;
  for (const TSlot& Slot : Old) {
    if (!Slot.Fact) continue;
    size_t Index = Home(Slot.Hash);
    while (FSlots[Index].Fact) Index = (Index + 1) & Mask;
    FSlots[Index] = Slot;
  }
}

}  // namespace rulecraft
