#pragma once
// TActivationList: the pending activations of one terminal node, in order of creation, with an
// open-addressing table from a token's match key to the activations of that key.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rulecraft {

class TActivation;
class TIEToken;

/// The activations a terminal node made and that are still pending, in order of creation, found by token in
/// constant time (equal tokens have equal match keys). Holds plain pointers: the agenda owns the activations.
class TActivationList {
 public:
  TActivationList() = default;
  TActivationList(const TActivationList&) = delete;
  TActivationList& operator=(const TActivationList&) = delete;

  size_t Count() const noexcept { return FCount; }
  bool Empty() const noexcept { return FCount == 0; }
  void Append(TActivation* Activation);
  /// The first activation whose token Equals Token, or nullptr.
  TActivation* FindEqual(const TIEToken& Token) const;
  /// Takes Activation out; false when it is not listed.
  bool Remove(TActivation* Activation);
  /// The most recent activation, or nullptr.
  TActivation* Last() const noexcept { return FTail == None ? nullptr : FEntries[FTail].Activation; }
  /// Every activation in order of creation.
  std::vector<TActivation*> Items() const;
  /// Forgets every activation without touching them.
  void Clear() noexcept;

 private:
  static constexpr uint32_t None = UINT32_MAX;
  struct TEntry {
    TActivation* Activation = nullptr;
    int32_t Code = 0;
    uint32_t Prev = None, Next = None;  // order of creation (Next also links free entries)
    uint32_t CodeNext = None;           // the activations of one match key, in order of creation
  };
  struct TSlot {
    int32_t Code = 0;
    uint32_t Head = None;  // None: the slot is free
  };
  size_t SlotOf(int32_t Code) const noexcept;
  void Grow();
  void EraseSlot(size_t Slot) noexcept;

  std::vector<TEntry> FEntries;
  uint32_t FFree = None, FHead = None, FTail = None;
  size_t FCount = 0;
  std::vector<TSlot> FSlots;  // open addressing, linear probing; a power of two in size
  size_t FUsedSlots = 0;
};

}  // namespace rulecraft
