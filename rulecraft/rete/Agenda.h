#pragma once
// TIEAgenda: the activations ready to fire, in descending order of activation salience (index 0 fires next),
// with ties placed by the conflict-resolution strategy exactly as the salience search below decides. The
// agenda owns its activations. Inserting and removing stay cheap with hundreds of thousands of activations:
// the items live in a list of bounded chunks, each activation knows its chunk, and inserting in front of the
// first item or after the last costs the same whatever the agenda's size.
//
// Depth- and breadth-first place a new activation by the salience bisection of SearchSalience. The other
// strategies order the agenda strictly: salience first, then the strategy's key (see Before), then recency,
// newest first. Their keys live in the activation (TActivation::AgendaKeys), so a new activation finds its
// place by a binary search over the chunks and then within one chunk.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "rulecraft/core/Enums.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/rete/Activation.h"

namespace rulecraft {

class TIEAgenda : public TObject {
  RC_CLASS(TIEAgenda, TObject)

 public:
  /// Holds a change open (BeginChange) for its lifetime.
  class TChange {
   public:
    explicit TChange(TIEAgenda& Agenda) noexcept : FAgenda(Agenda) { FAgenda.BeginChange(); }
    TChange(const TChange&) = delete;
    TChange& operator=(const TChange&) = delete;
    ~TChange() { FAgenda.EndChange(); }

   private:
    TIEAgenda& FAgenda;
  };

  TIEAgenda();
  TIEAgenda(const TIEAgenda&) = delete;
  TIEAgenda& operator=(const TIEAgenda&) = delete;
  ~TIEAgenda();

  TSearchStrategy GetStrategy() const noexcept { return FStrategy; }
  /// Stores the strategy without re-sorting (the engine re-adds the activations when it changes).
  void SetStrategy(TSearchStrategy Value) noexcept { FStrategy = Value; }
  /// Restarts the sequence the random strategy draws its keys from (the agenda's own; same seed, same
  /// order).
  void SetRandomSeed(uint32_t Seed) { FRandom.seed(Seed); }

  /// Opens a change: the activations one fact change (an assertion, a retraction, a new rule's priming)
  /// makes between BeginChange and EndChange are equally recent, and newest and oldest order them among
  /// themselves by their facts (as lex, or its reverse). Nested calls join the outer change. Outside a
  /// change every activation is a change of its own.
  void BeginChange() noexcept;
  void EndChange() noexcept;

  /// Under the ordering strategies (all but depth and breadth): true when A fires before B. Salience,
  /// higher first; then newest: recency of the change that made it, newer first, then within one change
  /// as lex; oldest: the exact reverse of newest; lex: the facts' identifiers
  /// sorted descending, compared element by element, larger first, a list that is a prefix of the other
  /// after it; mea: the identifier of the first pattern's fact, larger first, then as lex; simplicity /
  /// complexity: fewer / more pattern tests first (CountTests); random: the random key, larger first; every
  /// remaining tie: newer first. Reads the keys Add prepares.
  bool Before(const TActivation& A, const TActivation& B) const noexcept;
  /// The number of pattern tests the simplicity and complexity strategies weigh a rule by: every test
  /// written in a slot of its patterns (constants, variables, predicate and return-value constraints, and
  /// each part joined by &, | or ~) plus one for each test element; the template itself counts nothing.
  static int32_t CountTests(const TRule* Rule) noexcept;

  /// The insertion position for a salience: -1 (append) or the index to insert in front of.
  ///  Empty agenda: -1. Depth-first: 0 when Salience >= sal(0); -1 when Salience < sal(last); otherwise a
  ///  bisection (lo 0, hi last; mid = (lo + hi) / 2; equal: mid; sal(mid) above: lo = mid + 1; else
  ///  hi = mid - 1; no equal: hi + 1). Breadth-first: -1 when Salience <= sal(last); 0 when Salience >
  ///  sal(0); otherwise the same bisection.
  int32_t SearchSalience(int32_t Salience) const;
  /// Inserts at SearchSalience of the activation's stored salience; returns the index. A null activation
  /// raises EIEException "Invalid object, agenda can only accept TActivation objects".
  int32_t Add(std::unique_ptr<TActivation> Activation);
  /// Inserts at Index (-1 or Count appends); any other index outside 0..Count raises EListError "List index
  /// out of bounds (<index>)", a null activation as Add.
  void Insert(int32_t Index, std::unique_ptr<TActivation> Activation);
  int32_t Count() const noexcept { return FCount; }
  bool Empty() const noexcept { return FCount == 0; }
  /// The activation at Index; EListError "List index out of bounds (<index>)" outside 0..Count-1.
  TActivation* Get(int32_t Index) const;
  /// The position of an activation on this agenda, or -1.
  int32_t IndexOf(const TActivation* Activation) const noexcept;
  /// Takes the activation at Index off the agenda without freeing it (EListError outside 0..Count-1).
  std::unique_ptr<TActivation> Extract(int32_t Index);
  /// Takes the activation off the agenda without freeing it; nullptr when it is not on this agenda.
  std::unique_ptr<TActivation> Extract(TActivation* Activation);
  /// Takes the activation off and frees it; false when it is not on the agenda.
  bool Remove(TActivation* Activation);
  /// Takes the activation at Index off and frees it (EListError outside 0..Count-1).
  void Delete(int32_t Index);
  /// Frees every activation.
  void Clear();
  /// Every activation in order (for listings and re-sorting).
  std::vector<TActivation*> Items() const;
  /// The activations' texts in order, joined by line breaks.
  std::string GetToString() const;

 private:
  struct TChunk;
  /// A chunk's position in FChunks and an offset in that chunk.
  struct TPlace {
    size_t Chunk;
    int32_t Offset;
  };

  /// Where item Index (0..Count-1) is.
  TPlace Locate(int32_t Index) const noexcept;
  /// The agenda index of the first item of chunk ChunkIndex.
  int32_t StartOf(size_t ChunkIndex) const noexcept;
  int32_t SalienceAt(int32_t Index) const noexcept;
  /// Gives the activation its recency stamp (once) and the keys the current strategy orders by.
  void PrepareKeys(TActivation& Activation);
  /// Under an ordering strategy: the index in front of which Activation goes (Count to append).
  int32_t SearchOrdered(const TActivation& Activation) const;
  /// Puts a new empty chunk at Position, its free room starting at At (0: grows to the back; the capacity:
  /// grows to the front).
  TChunk* NewChunk(size_t Position, int32_t At);
  /// After chunks were inserted or erased at Position: renumbers them and forgets the starts behind.
  void ChunksMoved(size_t Position) noexcept;
  /// Takes the item at Where off its chunk, then drops the chunk when empty or merges it with a small
  /// neighbour.
  std::unique_ptr<TActivation> Take(TPlace Where) noexcept;
  /// Moves every item of chunk Left + 1 into chunk Left and drops the emptied chunk.
  void Merge(size_t Left) noexcept;
  void ForgetStartsAfter(size_t ChunkIndex) const noexcept {
    if (FKnownStarts > ChunkIndex) FKnownStarts = ChunkIndex;
  }
  /// After chunk ChunkIndex gained or lost an item: the known starts behind it move.
  void ShiftStartsAfter(size_t ChunkIndex, int32_t Delta) noexcept {
    for (size_t I = ChunkIndex + 1; I <= FKnownStarts; ++I) FStarts[I] += Delta;
  }

  std::vector<std::unique_ptr<TChunk>> FChunks;
  /// Chunks emptied or merged away, kept for the next NewChunk (at most MaxSpareChunks): an agenda that
  /// fills and empties again and again then allocates no chunk after its first filling.
  std::vector<std::unique_ptr<TChunk>> FSpares;
  static constexpr size_t MaxSpareChunks = 256;
  /// Keeps an emptied chunk for reuse, or frees it when enough are kept.
  void Retire(std::unique_ptr<TChunk> Chunk) noexcept;
  /// FStarts[k] is the index of the first item of chunk k, known for chunks 0..FKnownStarts: a cache
  /// extended as indexes are looked up, kept up to date as items come and go, and cut back when chunks do.
  mutable std::vector<int32_t> FStarts;
  mutable size_t FKnownStarts = 0;
  int32_t FCount = 0;
  TSearchStrategy FStrategy = ssDepthFirst;
  /// Recency stamps: the change's number above StampChangeShift bits, the activation's place in its change
  /// below (kept at the largest when a change makes more), so stamps grow with every activation.
  uint64_t FChange = 0;
  uint64_t FChangeSeq = 0;
  int32_t FChangeDepth = 0;
  bool FChangeUsed = false;
  uint64_t NewStamp() noexcept;
  std::mt19937 FRandom{0x5EED1234u};
};

}  // namespace rulecraft
