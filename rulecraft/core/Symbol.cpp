#include "rulecraft/core/Symbol.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace rulecraft {

uint32_t TSymbol::HashText(std::string_view Text) noexcept {
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
  const auto Hash = static_cast<uint32_t>(FoldHash(MixHash(H)));
  return Hash != 0 ? Hash : 1;
}

// The table: open addressing with linear probing. Beside each slot's record pointer it keeps 16 bits of the
// record's hash, so a probe reads a record only when those agree (a text not yet interned is mostly found
// missing without reading any record). Removal shifts the following slots back, so there are no tombstones.
// The table grows past 70% load and shrinks below 1/8, so a program that once held many texts gives the
// room back.
class TSymbolTable {
 public:
  TSymbolTable() : FSymbols(MinSlots, nullptr), FTags(MinSlots, 0) {}

  const TSymbol* Intern(std::string_view Text) {
    const uint32_t Hash = TSymbol::HashText(Text);
    const uint16_t Tag = TagOf(Hash);
    std::lock_guard<std::mutex> Guard(FLock);
    const size_t Mask = FSymbols.size() - 1;
    size_t I = Hash & Mask;
    for (; FSymbols[I]; I = (I + 1) & Mask) {
      TSymbol* S = FSymbols[I];
      if (FTags[I] == Tag && S->FHash == Hash && S->FText == Text) {
        S->FCount.fetch_add(1, std::memory_order_relaxed);
        return S;
      }
    }
    // A table whose growth failed fills up; one slot stays free so that every probe ends.
    if (FSize + 2 > FSymbols.size()) throw std::bad_alloc();
    auto* Made = new TSymbol(Text, Hash);
    Made->FCount.store(1, std::memory_order_relaxed);
    FSymbols[I] = Made;
    FTags[I] = Tag;
    if (++FSize * 10 > FSymbols.size() * 7) Resize(FSymbols.size() * 2);
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
    const size_t Mask = FSymbols.size() - 1;
    size_t Hole = Symbol->FHash & Mask;
    while (FSymbols[Hole] != Symbol) Hole = (Hole + 1) & Mask;
    // Backward shift: move up every following record whose home lies at or before the hole.
    for (size_t Next = (Hole + 1) & Mask; FSymbols[Next]; Next = (Next + 1) & Mask) {
      const size_t Home = FSymbols[Next]->FHash & Mask;
      if (((Next - Home) & Mask) >= ((Next - Hole) & Mask)) {
        FSymbols[Hole] = FSymbols[Next];
        FTags[Hole] = FTags[Next];
        Hole = Next;
      }
    }
    FSymbols[Hole] = nullptr;
    delete Symbol;
    if (--FSize * 8 < FSymbols.size() && FSymbols.size() > MinSlots) Resize(FSymbols.size() / 2);
  }

  size_t Size() {
    std::lock_guard<std::mutex> Guard(FLock);
    return FSize;
  }

 private:
  static constexpr size_t MinSlots = 1024;
  static uint16_t TagOf(uint32_t Hash) noexcept { return static_cast<uint16_t>(Hash >> 16); }

  void Resize(size_t Count) noexcept {
    std::vector<TSymbol*> Symbols;
    std::vector<uint16_t> Tags;
    try {
      Symbols.assign(Count, nullptr);
      Tags.assign(Count, 0);
    } catch (...) {
      return;  // the table keeps its size; it stays correct while it has a free slot
    }
    const size_t Mask = Count - 1;
    for (TSymbol* Symbol : FSymbols)
      if (Symbol) {
        size_t I = Symbol->FHash & Mask;
        while (Symbols[I]) I = (I + 1) & Mask;
        Symbols[I] = Symbol;
        Tags[I] = TagOf(Symbol->FHash);
      }
    FSymbols.swap(Symbols);
    FTags.swap(Tags);
  }

  std::mutex FLock;
  std::vector<TSymbol*> FSymbols;
  std::vector<uint16_t> FTags;
  size_t FSize = 0;
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

void TSymbol::ReleaseInterned() const noexcept { Table().Release(this); }

const TSymbol* TSymbol::MakeLoose(std::string&& Text) {
  if (Text.empty()) {
    const TSymbol* E = Empty();
    E->_AddRef();
    return E;
  }
  void* Block = TakeBlock(sizeof(TSymbol));
  auto* Made = new (Block) TSymbol(std::move(Text));
  Made->FCount.store(1, std::memory_order_relaxed);
  return Made;
}

const TSymbol* TSymbol::InternRecord(const TSymbol* Record) {
  if (Record->IsInterned()) {
    Record->_AddRef();
    return Record;
  }
  return InternRaw(Record->FText);
}

}  // namespace rulecraft

// Records are made for every distinct text: keep them in the 48-byte block class.
static_assert(sizeof(void*) != 8 || sizeof(rulecraft::TSymbol) <= 40, "TSymbol grew");
