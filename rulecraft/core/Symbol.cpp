#include "rulecraft/core/Symbol.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace rulecraft {

uint64_t TSymbol::HashText(std::string_view Text) noexcept {
  // Eight bytes at a time through a multiply-and-shift mix; the tail is packed into one more word. Every
  // byte changes the result, whatever the length.
  const auto* P = reinterpret_cast<const unsigned char*>(Text.data());
  size_t N = Text.size();
  uint64_t H = 0x6A09E667F3BCC909ull ^ (static_cast<uint64_t>(N) * 0x9E3779B97F4A7C15ull);
  while (N >= 8) {
    uint64_t W;
    std::memcpy(&W, P, 8);
    H = CombineHash(H, W);
    P += 8;
    N -= 8;
  }
  if (N > 0) {
    uint64_t W = 0;
    for (size_t I = 0; I < N; ++I) W |= static_cast<uint64_t>(P[I]) << (8 * I);
    H = CombineHash(H, W);
  }
  return MixHash(H);
}

// The table: open addressing with linear probing over slots that hold each record's hash beside its
// pointer, so a probe touches a record only when the hashes agree (a text not yet interned is found missing
// without reading any record). Removal shifts the following slots back, so there are no tombstones. The
// table grows past 70% load and shrinks below 1/8, so a program that once held many texts gives the room
// back.
class TSymbolTable {
 public:
  TSymbolTable() : FSlots(MinSlots) {}

  const TSymbol* Intern(std::string_view Text) {
    const uint64_t Hash = TSymbol::HashText(Text);
    std::lock_guard<std::mutex> Guard(FLock);
    const size_t Mask = FSlots.size() - 1;
    size_t I = Hash & Mask;
    for (; FSlots[I].Symbol; I = (I + 1) & Mask) {
      TSymbol* S = FSlots[I].Symbol;
      if (FSlots[I].Hash == Hash && S->FText == Text) {
        S->FCount.fetch_add(1, std::memory_order_relaxed);
        return S;
      }
    }
    auto* Made = new TSymbol(Text, Hash, ++FLastId);
    Made->FCount.store(1, std::memory_order_relaxed);
    FSlots[I] = TSlot{Hash, Made};
    if (++FSize * 10 > FSlots.size() * 7) Resize(FSlots.size() * 2);
    return Made;
  }

  void Release(const TSymbol* Symbol) noexcept {
    // A count above one drops without the lock. The last reference is dropped under it, where no other
    // thread can be interning the same text.
    uint32_t Count = Symbol->FCount.load(std::memory_order_relaxed);
    while (Count > 1)
      if (Symbol->FCount.compare_exchange_weak(Count, Count - 1, std::memory_order_release,
                                               std::memory_order_relaxed))
        return;
    std::lock_guard<std::mutex> Guard(FLock);
    if (Symbol->FCount.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    const size_t Mask = FSlots.size() - 1;
    size_t Hole = Symbol->FHash & Mask;
    while (FSlots[Hole].Symbol != Symbol) Hole = (Hole + 1) & Mask;
    // Backward shift: move up every following record whose home lies at or before the hole.
    for (size_t Next = (Hole + 1) & Mask; FSlots[Next].Symbol; Next = (Next + 1) & Mask) {
      const size_t Home = FSlots[Next].Hash & Mask;
      if (((Next - Home) & Mask) >= ((Next - Hole) & Mask)) {
        FSlots[Hole] = FSlots[Next];
        Hole = Next;
      }
    }
    FSlots[Hole] = TSlot{};
    delete Symbol;
    if (--FSize * 8 < FSlots.size() && FSlots.size() > MinSlots) Resize(FSlots.size() / 2);
  }

  size_t Size() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FSize;
  }

 private:
  struct TSlot {
    uint64_t Hash = 0;
    TSymbol* Symbol = nullptr;
  };
  static constexpr size_t MinSlots = 1024;

  void Resize(size_t Count) noexcept {
    std::vector<TSlot> Slots;
    try {
      Slots.resize(Count);
    } catch (...) {
      return;  // the table keeps its size; it stays correct while it has a free slot
    }
    const size_t Mask = Count - 1;
    for (const TSlot& Slot : FSlots)
      if (Slot.Symbol) {
        size_t I = Slot.Hash & Mask;
        while (Slots[I].Symbol) I = (I + 1) & Mask;
        Slots[I] = Slot;
      }
    FSlots.swap(Slots);
  }

  std::mutex FLock;
  std::vector<TSlot> FSlots;
  size_t FSize = 0;
  uint64_t FLastId = 0;
};

namespace {
// Created on first use and never destroyed: values with texts may be released by the destructors of other
// static objects, in any order at exit.
TSymbolTable& Table() {
  static TSymbolTable* const Instance = new TSymbolTable;
  return *Instance;
}
}  // namespace

const TSymbol* TSymbol::InternRaw(std::string_view Text) {
  if (Text.empty()) {
    const TSymbol* E = Empty();
    E->_AddRef();
    return E;
  }
  return Table().Intern(Text);
}

ISymbol TSymbol::Intern(std::string_view Text) {
  ISymbol Handle(InternRaw(Text));
  Handle->_Release();  // the handle took a second reference
  return Handle;
}

const TSymbol* TSymbol::Empty() noexcept {
  // One reference is never given back, so the record stays.
  static const TSymbol* const Record = Table().Intern(std::string_view());
  return Record;
}

size_t TSymbol::TableSize() { return Table().Size(); }

void TSymbol::_Release() const noexcept { Table().Release(this); }

}  // namespace rulecraft
