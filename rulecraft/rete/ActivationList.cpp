#include "rulecraft/rete/ActivationList.h"

#include <utility>

#include "rulecraft/rete/Activation.h"
#include "rulecraft/rete/Token.h"

namespace rulecraft {

namespace {

// Activations are listed by their token's twin code (its match key, see TIEToken::GetTwinCode): equal tokens
// have equal codes, and unlike sort codes (a base-8 sum of the facts' IDs) different matches rarely share
// one, so a lookup compares with almost no token but its equal.
int32_t CodeOf(const TActivation* Activation) noexcept {
  return Activation->GetToken() ? Activation->GetToken()->GetTwinCode() : 0;
}

size_t HashCode(int32_t Code) noexcept {
  uint32_t H = static_cast<uint32_t>(Code) * 0x9E3779B1u;
  return H ^ (H >> 16);
}

}  // namespace

size_t TActivationList::SlotOf(int32_t Code) const noexcept {
  const size_t Mask = FSlots.size() - 1;
  size_t Slot = HashCode(Code) & Mask;
  while (FSlots[Slot].Head != None && FSlots[Slot].Code != Code) Slot = (Slot + 1) & Mask;
  return Slot;
}

void TActivationList::Grow() {
  std::vector<TSlot> Old = std::move(FSlots);
  FSlots.assign(Old.empty() ? 16 : Old.size() * 2, TSlot());
  for (const TSlot& Entry : Old)
    if (Entry.Head != None) FSlots[SlotOf(Entry.Code)] = Entry;
}

// Backward-shift deletion keeps every probe chain unbroken without tombstones.
void TActivationList::EraseSlot(size_t Slot) noexcept {
  const size_t Mask = FSlots.size() - 1;
  size_t Hole = Slot;
  size_t Next = (Hole + 1) & Mask;
  while (FSlots[Next].Head != None) {
    const size_t Home = HashCode(FSlots[Next].Code) & Mask;
    // Move the entry back when its home does not lie cyclically within (Hole, Next].
    const bool InRange = Hole <= Next ? (Home > Hole && Home <= Next) : (Home > Hole || Home <= Next);
    if (!InRange) {
      FSlots[Hole] = FSlots[Next];
      Hole = Next;
    }
    Next = (Next + 1) & Mask;
  }
  FSlots[Hole] = TSlot();
  --FUsedSlots;
}

void TActivationList::Append(TActivation* Activation) {
  if ((FUsedSlots + 1) * 2 > FSlots.size()) Grow();
  uint32_t Index = FFree;
  if (Index != None) {
    FFree = FEntries[Index].Next;
    FEntries[Index] = TEntry();
  } else {
    Index = static_cast<uint32_t>(FEntries.size());
    FEntries.emplace_back();
  }
  TEntry& Entry = FEntries[Index];
  Entry.Activation = Activation;
  Entry.Code = CodeOf(Activation);
  Entry.Prev = FTail;
  (FTail == None ? FHead : FEntries[FTail].Next) = Index;
  FTail = Index;
  ++FCount;

  const size_t Slot = SlotOf(Entry.Code);
  if (FSlots[Slot].Head == None) {
    FSlots[Slot] = TSlot{Entry.Code, Index};
    ++FUsedSlots;
  } else {
    uint32_t Last = FSlots[Slot].Head;
    while (FEntries[Last].CodeNext != None) Last = FEntries[Last].CodeNext;
    FEntries[Last].CodeNext = Index;
  }
}

TActivation* TActivationList::FindEqual(const TIEToken& Token) const {
  if (FCount == 0) return nullptr;
  const size_t Slot = SlotOf(Token.GetTwinCode());
  for (uint32_t I = FSlots[Slot].Head; I != None; I = FEntries[I].CodeNext) {
    const TActivation* Activation = FEntries[I].Activation;
    if (Activation->GetToken() && Activation->GetToken()->Equals(&Token)) return FEntries[I].Activation;
  }
  return nullptr;
}

bool TActivationList::Remove(TActivation* Activation) {
  if (FCount == 0 || !Activation) return false;
  // The activation's token gives its chain; its match key cannot have changed since it was listed.
  const size_t Slot = SlotOf(CodeOf(Activation));
  uint32_t Previous = None;
  uint32_t Index = FSlots[Slot].Head;
  while (Index != None && FEntries[Index].Activation != Activation) {
    Previous = Index;
    Index = FEntries[Index].CodeNext;
  }
  if (Index == None) return false;
  TEntry& Entry = FEntries[Index];
  if (Previous != None) {
    FEntries[Previous].CodeNext = Entry.CodeNext;
  } else if (Entry.CodeNext != None) {
    FSlots[Slot].Head = Entry.CodeNext;
  } else {
    EraseSlot(Slot);
  }
  (Entry.Prev == None ? FHead : FEntries[Entry.Prev].Next) = Entry.Next;
  (Entry.Next == None ? FTail : FEntries[Entry.Next].Prev) = Entry.Prev;
  Entry = TEntry();
  Entry.Next = FFree;
  FFree = Index;
  if (--FCount == 0) {
    // Start the next filling at the front of the pool; the slot table is free already and keeps its size.
    FEntries.clear();
    FFree = FHead = FTail = None;
  }
  return true;
}

std::vector<TActivation*> TActivationList::Items() const {
  std::vector<TActivation*> Result;
  Result.reserve(FCount);
  for (uint32_t I = FHead; I != None; I = FEntries[I].Next) Result.push_back(FEntries[I].Activation);
  return Result;
}

void TActivationList::Clear() noexcept {
  FEntries.clear();
  FSlots.clear();
  FFree = FHead = FTail = None;
  FCount = 0;
  FUsedSlots = 0;
}

}  // namespace rulecraft
