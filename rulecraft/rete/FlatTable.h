#pragma once
// TFlatTable: a hash table from an integer key to a small value, for the lookups on the network's hot path.
// Entries sit in one array (open addressing with linear probing, at most three quarters full), so a lookup
// reads one or two neighbouring slots instead of following nodes scattered over the heap. Erasing moves the
// following entries of the probe run back, so no tombstones pile up and lookups stay short while a memory is
// filled and emptied again and again. Capacity is kept when entries go; Clear releases it. Whether a slot is
// used is kept in a bitmap beside the slots, so a slot is no larger than its key and value.
//
// A value pointer or reference stays valid until the next insertion of a new key or the next Erase.
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

namespace rulecraft {

template <typename TKey, typename TValue>
class TFlatTable {
  static_assert(std::is_integral_v<TKey>, "keys are integers");

 public:
  TValue* Find(TKey Key) noexcept {
    const size_t Index = Locate(Key);
    return Index == NotFound ? nullptr : &FSlots[Index].Value;
  }
  const TValue* Find(TKey Key) const noexcept {
    const size_t Index = Locate(Key);
    return Index == NotFound ? nullptr : &FSlots[Index].Value;
  }

  /// The value of Key; a value-initialised one is inserted when Key is missing.
  TValue& operator[](TKey Key) {
    if ((FSize + 1) * 4 > FSlots.size() * 3) Grow();
    const size_t Mask = FSlots.size() - 1;
    size_t Index = Home(Key);
    while (Used(Index)) {
      if (FSlots[Index].Key == Key) return FSlots[Index].Value;
      Index = (Index + 1) & Mask;
    }
    TSlot& Slot = FSlots[Index];
    Slot.Key = Key;
    Slot.Value = TValue();
    SetUsed(Index, true);
    ++FSize;
    return Slot.Value;
  }

  /// Removes Key; False when it was not there.
  bool Erase(TKey Key) noexcept {
    size_t Hole = Locate(Key);
    if (Hole == NotFound) return false;
    const size_t Mask = FSlots.size() - 1;
    // Pull back every later entry of the run whose home does not lie cyclically in (Hole, Next].
    for (size_t Next = (Hole + 1) & Mask; Used(Next); Next = (Next + 1) & Mask) {
      const size_t Wanted = Home(FSlots[Next].Key);
      if (((Next - Wanted) & Mask) < ((Next - Hole) & Mask)) continue;
      FSlots[Hole] = std::move(FSlots[Next]);
      Hole = Next;
    }
    SetUsed(Hole, false);
    --FSize;
    return true;
  }

  /// Removes every entry and releases the storage.
  void Clear() noexcept {
    std::vector<TSlot>().swap(FSlots);
    std::vector<uint64_t>().swap(FUsed);
    FShift = 64;
    FSize = 0;
  }

  size_t Size() const noexcept { return FSize; }
  bool Empty() const noexcept { return FSize == 0; }

 private:
  struct TSlot {
    TKey Key{};
    TValue Value{};
  };
  // Which slots hold an entry, one bit each beside the slots rather than a flag padding every slot.
  bool Used(size_t Index) const noexcept { return (FUsed[Index >> 6] >> (Index & 63)) & 1u; }
  void SetUsed(size_t Index, bool Value) noexcept {
    if (Value)
      FUsed[Index >> 6] |= uint64_t{1} << (Index & 63);
    else
      FUsed[Index >> 6] &= ~(uint64_t{1} << (Index & 63));
  }
  static constexpr size_t NotFound = SIZE_MAX;

  // Fibonacci hashing: the top bits of the product depend on every bit of the key, so sort codes and value
  // hashes whose low bits follow a pattern still spread over the whole array.
  size_t Home(TKey Key) const noexcept {
    return static_cast<size_t>((static_cast<uint64_t>(Key) * 0x9E3779B97F4A7C15ull) >> FShift);
  }
  size_t Locate(TKey Key) const noexcept {
    if (FSize == 0) return NotFound;
    const size_t Mask = FSlots.size() - 1;
    for (size_t Index = Home(Key);; Index = (Index + 1) & Mask) {
      if (!Used(Index)) return NotFound;
      if (FSlots[Index].Key == Key) return Index;
    }
  }
  void Grow() {
    std::vector<TSlot> Old = std::move(FSlots);
    std::vector<uint64_t> OldUsed = std::move(FUsed);
    const size_t Capacity = Old.empty() ? 16 : Old.size() * 2;
    FSlots.assign(Capacity, TSlot());
    FUsed.assign((Capacity + 63) / 64, 0);
    FShift = 64;
    for (size_t Size = Capacity; Size > 1; Size >>= 1) --FShift;
    const size_t Mask = Capacity - 1;
    for (size_t From = 0; From < Old.size(); ++From) {
      if (!((OldUsed[From >> 6] >> (From & 63)) & 1u)) continue;
      size_t Index = Home(Old[From].Key);
      while (Used(Index)) Index = (Index + 1) & Mask;
      FSlots[Index] = std::move(Old[From]);
      SetUsed(Index, true);
    }
  }

  std::vector<TSlot> FSlots;    // a power of two in size, or empty
  std::vector<uint64_t> FUsed;  // a bit per slot
  uint32_t FShift = 64;         // 64 - log2 of the capacity
  size_t FSize = 0;
};

}  // namespace rulecraft
