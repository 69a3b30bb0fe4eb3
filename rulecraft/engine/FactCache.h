#pragma once
// TFactCache: the fact base's duplicate cache, from a fact's match hash to the stored facts with that hash.
// Entries sit in one array (open addressing with linear probing, at most half full); facts sharing a hash
// take neighbouring entries of one probe run. Adding or removing a fact allocates nothing once the array has
// grown to the size of the fact base, so asserting and retracting facts at a steady count costs no
// allocation. Erasing pulls back the later entries of the run, so no tombstones pile up.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rulecraft {

class TFact;

class TFactCache {
 public:
  /// Files Fact under Hash (a fact may be filed once only).
  void Add(uint64_t Hash, TFact* Fact);
  /// Removes Fact, looked for under Hash first and then anywhere (its hash may have changed since it was
  /// filed); false when it is not there.
  bool Remove(uint64_t Hash, const TFact* Fact) noexcept;
  /// Calls Body(fact) for each fact filed under Hash until Body answers true; answers that fact or nullptr.
  template <class F>
  TFact* Find(uint64_t Hash, F&& Body) const {
    if (FSize == 0) return nullptr;
    const size_t Mask = FSlots.size() - 1;
    for (size_t Index = Home(Hash);; Index = (Index + 1) & Mask) {
      const TSlot& Slot = FSlots[Index];
      if (!Slot.Fact) return nullptr;
      if (Slot.Hash == Hash && Body(Slot.Fact)) return Slot.Fact;
    }
  }
  /// Removes every entry; Release also frees the array.
  void Clear(bool Release) noexcept;
  void Reserve(size_t Count);
  size_t Size() const noexcept { return FSize; }

 private:
  struct TSlot {
    uint64_t Hash = 0;
    TFact* Fact = nullptr;  // nullptr: the slot is free
  };
  size_t Home(uint64_t Hash) const noexcept {
    return static_cast<size_t>((Hash * 0x9E3779B97F4A7C15ull) >> FShift);
  }
  void EraseAt(size_t Hole) noexcept;
  void Rebuild(size_t Capacity);

  std::vector<TSlot> FSlots;  // a power of two in size, or empty
  uint32_t FShift = 64;       // 64 - log2 of the capacity
  size_t FSize = 0;
};

}  // namespace rulecraft
