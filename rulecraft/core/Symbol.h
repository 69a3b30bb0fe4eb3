#pragma once
// TSymbol: the one immutable record of a text that values of the text kinds (atoms, strings, variables,
// slots) point at. Every text that is looked up is interned in one process-wide table, so two values with
// equal interned texts hold the same record and compare by pointer; the record carries the text, its hash
// (every byte read, computed once) and an identifier. Records are counted: the last release takes the record
// out of the table, so temporary texts do not accumulate. The table is shared by every engine of the process
// and is thread-safe: interning and the release that frees a record both happen under its lock; other count
// changes are atomic.
//
// A text that a function builds (a concatenation, a substring) gets a loose record instead: the same layout,
// outside the table, made without the lock, the hash or a copy of the text. Its hash is computed when asked
// for (the same one its interned twin would have). A loose record is never changed after it is made, so
// holders on several threads may share it; a value holding one swaps it for the interned record when
// something needs the symbol itself (see TIEValue).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "rulecraft/framework/BlockCache.h"
#include "rulecraft/framework/Ref.h"

namespace rulecraft {

class TSymbol;
using ISymbol = TRef<const TSymbol>;

class TSymbol final {
 public:
  TSymbol(const TSymbol&) = delete;
  TSymbol& operator=(const TSymbol&) = delete;

  /// The record of Text, created when the table has none; the handle holds one reference.
  static ISymbol Intern(std::string_view Text);
  /// Intern without a handle: the caller owns the reference it takes and gives it back with _Release.
  static const TSymbol* InternRaw(std::string_view Text);
  /// A loose record holding Text (taken over, not copied): outside the table, found by no lookup. The caller
  /// owns the one reference. The empty text gives the interned empty record.
  static const TSymbol* MakeLoose(std::string&& Text);
  /// The interned record of Record's text: Record itself when it is interned. The caller owns one reference
  /// on the result and keeps its reference on Record.
  static const TSymbol* InternRecord(const TSymbol* Record);
  /// The record of the empty text; it never leaves the table.
  static const TSymbol* Empty() noexcept;
  /// The number of records in the table (each distinct live text once).
  static size_t TableSize();
  /// The hash of a text as a record keeps it: every byte read through a 64-bit mix, folded to 32 bits; never
  /// 0 (a loose record keeps 0 in its place).
  static uint32_t HashText(std::string_view Text) noexcept;

  const std::string& Text() const noexcept { return FText; }
  size_t Length() const noexcept { return FText.size(); }
  /// The hash of the text (HashText), kept by an interned record and computed for a loose one.
  uint32_t Hash() const noexcept { return FHash != 0 ? FHash : HashText(FText); }
  /// False for a loose record.
  bool IsInterned() const noexcept { return FHash != 0; }
  /// A number unique among the records alive at the same time (the record's address).
  uintptr_t Id() const noexcept { return reinterpret_cast<uintptr_t>(this); }

  void _AddRef() const noexcept { FCount.fetch_add(1, std::memory_order_relaxed); }
  void _Release() const noexcept {
    if (FHash == 0) {
      if (FCount.fetch_sub(1, std::memory_order_acq_rel) == 1) DestroyLoose(this);
      return;
    }
    // A count above one drops without the table's lock; the last reference is dropped under it.
    uint32_t Count = FCount.load(std::memory_order_relaxed);
    while (Count > 1)
      if (FCount.compare_exchange_weak(Count, Count - 1, std::memory_order_release,
                                       std::memory_order_relaxed))
        return;
    ReleaseInterned();
  }

 private:
  friend class TSymbolTable;
  TSymbol(std::string_view Text, uint32_t Hash) : FText(Text), FHash(Hash) {}
  explicit TSymbol(std::string&& Text) noexcept : FText(std::move(Text)), FHash(0) {}
  ~TSymbol() = default;
  void ReleaseInterned() const noexcept;
  /// Loose records live in recycled blocks (they come and go with every built text); interned ones on the
  /// heap, where a record takes the smallest chunk.
  static void DestroyLoose(const TSymbol* Record) noexcept {
    Record->~TSymbol();
    GiveBackBlock(const_cast<TSymbol*>(Record), sizeof(TSymbol));
  }

  // Forty bytes: records are made for every distinct text.
  std::string FText;
  mutable std::atomic<uint32_t> FCount{0};
  /// The text's hash in an interned record, 0 in a loose one.
  uint32_t FHash;
};

/// Mixes a 64-bit hash into a running one (order matters), for hashes of lists and facts.
constexpr uint64_t CombineHash(uint64_t Running, uint64_t Next) noexcept {
  uint64_t H = (Running ^ Next) * 0x9E3779B97F4A7C15ull;
  return H ^ (H >> 29);
}

/// Scrambles a 64-bit number so every bit of it reaches every bit of the result.
constexpr uint64_t MixHash(uint64_t X) noexcept {
  X ^= X >> 33;
  X *= 0xFF51AFD7ED558CCDull;
  X ^= X >> 33;
  X *= 0xC4CEB9FE1A85EC53ull;
  X ^= X >> 33;
  return X;
}

/// A 64-bit hash folded to 32 bits, for tables keyed by 32-bit numbers.
constexpr int32_t FoldHash(uint64_t H) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(H ^ (H >> 32)));
}

}  // namespace rulecraft
