#pragma once
// TIETokenTree: a join's token memory. Tokens are keyed by their sort code or by a value read from one of
// their facts (the fact's hash, a slot value's hash, or the hash of one element of a multislot), so that a
// join compares an arriving token only with the stored tokens whose key matches its own key value. The
// memory never holds two equal tokens.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "rulecraft/core/Value.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/rete/FlatTable.h"
#include "rulecraft/rete/SlotReader.h"
#include "rulecraft/rete/Token.h"

namespace rulecraft {

/// Objects by index, in blocks that never move: 16 objects, then blocks doubling up to 4096 objects, then
/// blocks of 4096. Growing adds a block rather than copying every object into an array twice the size, so a
/// large pool neither holds its objects twice while it grows nor keeps up to half its room unused, and an
/// index (or a reference) stays valid while the pool grows.
template <class T>
class TStablePool {
 public:
  T& operator[](uint32_t Index) noexcept {
    uint32_t Block, Offset;
    Locate(Index, Block, Offset);
    return FBlocks[Block][Offset];
  }
  const T& operator[](uint32_t Index) const noexcept {
    uint32_t Block, Offset;
    Locate(Index, Block, Offset);
    return FBlocks[Block][Offset];
  }
  uint32_t size() const noexcept { return FSize; }
  /// Appends a value-initialised object; its index is size() - 1.
  void emplace_back() {
    uint32_t Block, Offset;
    Locate(FSize, Block, Offset);
    if (Block == FBlocks.size()) FBlocks.push_back(std::make_unique<T[]>(BlockSize(Block)));
    FBlocks[Block][Offset] = T();
    ++FSize;
  }
  /// Forgets the objects, keeping the blocks for the next filling (every object must hold nothing that
  /// needs releasing: an object is reset when it is used again).
  void clear() noexcept { FSize = 0; }
  /// Hands the blocks and objects over, leaving this pool empty.
  TStablePool Take() noexcept {
    TStablePool Out;
    Out.FBlocks.swap(FBlocks);
    Out.FSize = FSize;
    FSize = 0;
    return Out;
  }

 private:
  static constexpr uint32_t FirstShift = 4, LastShift = 12;  // blocks of 16 up to 4096 objects
  static uint32_t BlockSize(uint32_t Block) noexcept {
    return Block <= 1 ? 1u << FirstShift
                      : 1u << (Block - 1 + FirstShift < LastShift ? Block - 1 + FirstShift : LastShift);
  }
  static void Locate(uint32_t Index, uint32_t& Block, uint32_t& Offset) noexcept {
    if (Index >= 1u << LastShift) {
      Block = (Index >> LastShift) + (LastShift - FirstShift);
      Offset = Index & ((1u << LastShift) - 1);
    } else if (const uint32_t Scaled = Index >> FirstShift; Scaled == 0) {
      Block = 0;
      Offset = Index;
    } else {
      Block = static_cast<uint32_t>(std::bit_width(Scaled));
      Offset = Index - (1u << (Block - 1 + FirstShift));
    }
  }
  std::vector<std::unique_ptr<T[]>> FBlocks;
  uint32_t FSize = 0;
};

class TIETokenTree final : public TObject {
  RC_CLASS(TIETokenTree, TObject)

  static constexpr uint32_t None = UINT32_MAX;
  struct TEntry {
    IReteToken Token;  // nil while the entry is free
    uint32_t Bucket = 0;
    uint32_t KeyPrev = None, KeyNext = None;  // the tokens of one key, in order of addition (KeyNext also
                                              // links the free entries)
    uint32_t BucketPrev = None, BucketNext = None;  // the tokens of one bucket, in order of addition
    uint32_t TwinNext = None;  // the tokens of one key and sort code, in order of addition
  };
  // What a memory that keeps records holds beside each entry (see KeepRecords): kept apart, so that an
  // entry stays 32 bytes, two to a cache line, and memories that keep no records pay nothing.
  struct TSide {
    int32_t Key;          // the token's key, kept so that leaving needs not read it again
    uint32_t RecordHead;  // the owning join's list of records (see Records)
  };
  struct TList {  // empty when Head is None
    uint32_t Head = None, Tail = None;
  };

 public:
  /// A memory of BucketCount buckets (at least 1) keyed by the sort code (UseSortCode) or by the fact at
  /// position TokenIdx of each token: its hash with an empty SlotName, otherwise the hash of that slot's
  /// value (SubIndex -1) or of its element at SubIndex. KeyByParent (a number of levels) keys each token by
  /// the sort code of its ancestor that many levels up instead (a token and the partial match it extends
  /// then share a key across two memories).
  TIETokenTree(int32_t BucketCount, int32_t TokenIdx, int32_t SubIndex, std::string SlotName,
               bool UseSortCode, int32_t KeyByParent = 0);
  ~TIETokenTree() override;

  static constexpr uint32_t NoEntry = None;
  /// Stores Token unless an equal token is stored already; True when it was stored.
  bool Add(const IReteToken& Token) { return AddAt(Token) != None; }
  /// As Add, answering the new entry's index (NoEntry when nothing was stored). The token's hint is set to
  /// it.
  uint32_t AddAt(const IReteToken& Token);
  /// Removes the first stored token equal to Token; True when there was one.
  bool Remove(const IReteToken& Token);
  /// Removes the first stored token equal to Token and returns it (the stored copy); nil when there is none.
  /// Records, when given, receives the head of the entry's record list (NoEntry when it had none).
  IReteToken Extract(const IReteToken& Token, uint32_t* Records = nullptr);
  /// True when this very token object is stored here (not merely an equal one).
  bool Holds(const TIEToken& Token) const { return IndexOf(Token) != None; }
  /// The entry index holding this very token object; NoEntry when it is not stored here.
  uint32_t IndexOf(const TIEToken& Token) const;

  /// Keeps a list of records and the key for each stored token from now on (only while the memory is empty).
  void KeepRecords() { FKeepSide = true; }
  /// The token stored at entry Index.
  const IReteToken& TokenAt(uint32_t Index) const noexcept { return FEntries[Index].Token; }
  /// The key of the token stored at entry Index.
  int32_t KeyAt(uint32_t Index) const { return FKeepSide ? FSide[Index].Key : KeyOf(*FEntries[Index].Token); }
  /// The head of a list of records kept for the token at entry Index (given by AddAt, IndexOf or an
  /// iterator) by the join that owns this memory, which links the records itself: the memory starts the list
  /// empty, hands out its head when the token leaves, and drops it on Clear. Only in a memory that keeps
  /// records.
  uint32_t& Records(uint32_t Index) noexcept { return FSide[Index].RecordHead; }
  /// Removes every token and sets Empty.
  void Clear();
  /// Adds a part to a slot key (a memory keyed by a slot of one fact): the value of SlotName (narrowed to its
  /// element at SubIndex) of the fact at TokenIdx. The key then combines the match hashes of every part in
  /// the order they were added; the order key (and so the order of a full walk) stays the first part's. A
  /// join whose equality tests name several variables thus meets only the tokens that agree on all of them.
  /// Only while the memory is empty.
  void AddKeyPart(int32_t TokenIdx, std::string SlotName, int32_t SubIndex);

  /// Forward iteration over stored tokens, yielding const IReteToken&. Iterators and ranges stay valid until
  /// the next Add, Remove or Clear; a stored token's negated count and strength may be changed meanwhile.
  template <bool ByKey>
  class TIterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = IReteToken;
    using difference_type = std::ptrdiff_t;
    using pointer = const IReteToken*;
    using reference = const IReteToken&;

    TIterator() = default;
    /// The entry index of the token (see Records).
    uint32_t Index() const noexcept { return FIndex; }
    reference operator*() const { return FTree->FEntries[FIndex].Token; }
    pointer operator->() const { return &**this; }
    TIterator& operator++() {
      const TEntry& Entry = FTree->FEntries[FIndex];
      if constexpr (ByKey) {
        FIndex = Entry.KeyNext;
      } else {
        FIndex = Entry.BucketNext;
        if (FIndex == None && ++FBucket != FTree->FUsedBuckets.end())
          FIndex = FTree->FBuckets.Find(*FBucket)->Head;
      }
      // A scan of a large memory waits on each token it reads: ask for the one after this one now, so
      // that it is on its way while this one is compared.
      if (FIndex != None) {
        const TEntry& Now = FTree->FEntries[FIndex];
        if (Now.Token) Now.Token->PrefetchAncestors();  // this token was asked for one step ago
        if (const uint32_t After = ByKey ? Now.KeyNext : Now.BucketNext; After != None)
          __builtin_prefetch(FTree->FEntries[After].Token.get());
      }
      return *this;
    }
    TIterator operator++(int) {
      TIterator Old = *this;
      ++*this;
      return Old;
    }
    bool operator==(const TIterator& Other) const noexcept { return FIndex == Other.FIndex; }

   private:
    friend class TIETokenTree;
    using TBucketIt = std::set<uint32_t>::const_iterator;
    TIterator(const TIETokenTree* Tree, uint32_t Index, TBucketIt Bucket = TBucketIt())
        : FTree(Tree), FIndex(Index), FBucket(Bucket) {}
    const TIETokenTree* FTree = nullptr;
    uint32_t FIndex = None;
    TBucketIt FBucket;
  };
  using TKeyIterator = TIterator<true>;
  using TAllIterator = TIterator<false>;

  /// The tokens of one key, in order of addition.
  class TKeyRange {
   public:
    TKeyIterator begin() const noexcept { return FBegin; }
    TKeyIterator end() const noexcept { return TKeyIterator(); }
    /// Counts the tokens (a walk over the range).
    size_t size() const noexcept {
      size_t Count = 0;
      for (TKeyIterator It = FBegin; It != end(); ++It) ++Count;
      return Count;
    }
    bool empty() const noexcept { return FBegin == end(); }

   private:
    friend class TIETokenTree;
    explicit TKeyRange(TKeyIterator Begin) : FBegin(Begin) {}
    TKeyIterator FBegin;
  };

  /// The stored tokens whose key is exactly Key, in order of addition (empty when there are none). The other
  /// keys of Key's bucket are left out: a join's equality test would reject them anyway.
  TKeyRange GetTokens(int32_t Key) const;
  /// Every stored token: bucket by bucket in ascending bucket order, each bucket in order of addition.
  TAllIterator begin() const;
  TAllIterator end() const noexcept { return TAllIterator(); }
  size_t Count() const noexcept { return FCount; }
  /// True from creation or Clear until the next token is stored.
  bool GetEmpty() const noexcept { return FEmpty; }

  /// The key of Token in this memory (see KeyOfFact for keys that cannot be read). With Order, also the
  /// order key that places the token's bucket.
  int32_t KeyOf(const TIEToken& Token, int32_t* Order = nullptr) const;
  /// The key that a fact gives with this slot and sub-index: the fact's match hash when SlotName is empty,
  /// otherwise KeyOfValue of the slot's value. 0 without a fact, for a fact without template and for a
  /// slot the fact does not have.
  static int32_t KeyOfFact(TFact* Fact, const std::string& SlotName, int32_t SubIndex);
  /// The value's match hash (folded to 32 bits) with SubIndex -1, otherwise the match hash of its list
  /// element at SubIndex; 0 for a missing value, a value that is not a list and an index outside the list.
  static int32_t KeyOfValue(const IIEValue& Value, int32_t SubIndex);
  /// The order key of a value: as KeyOfValue, with the published hash (GetHashCode) in place of the match
  /// hash. Buckets are placed by order keys, so the order of a full walk stays what it always was.
  static int32_t OrderKeyOfValue(const IIEValue& Value, int32_t SubIndex);
  /// The bucket of an order key: uint32_t(Key) % BucketCount.
  int32_t BucketOf(int32_t Key) const noexcept {
    return static_cast<int32_t>(static_cast<uint32_t>(Key) % static_cast<uint32_t>(FBucketCount));
  }

  bool GetUseSortCode() const noexcept { return FUseSortCode; }
  const std::string& GetSlotName() const noexcept { return FSlotName; }
  int32_t GetSubIndex() const noexcept { return FSubIndex; }
  int32_t GetBucketCount() const noexcept { return FBucketCount; }
  int32_t GetTokenIdx() const noexcept { return FTokenIdx; }

  /// Each used bucket as "[n]" followed by one line per token text.
  std::string GetToString() const;
  /// Each used bucket on a line as "[n]" followed by each token's facts in parentheses, such as
  /// "[7] (f-1, f-4) (f-2, f-4)".
  std::string GetToFactsString() const;
  std::string ToString() const override { return GetToString(); }

 private:
  static uint64_t TwinKey(int32_t Key, int32_t MatchKey) noexcept {
    return static_cast<uint64_t>(static_cast<uint32_t>(Key)) << 32 | static_cast<uint32_t>(MatchKey);
  }
  /// The first stored token of Key equal to Token, or None; Last receives the last entry of the candidate
  /// chain and Previous the candidate before the match (None when there is none).
  uint32_t FindTwin(int32_t Key, const TIEToken& Token, uint32_t& Last, uint32_t& Previous) const;
  /// The entry the token's hint names when it holds the token or its copy (a token sharing its parent and
  /// equal to it), else None.
  uint32_t ByHint(const TIEToken& Token) const noexcept;
  uint32_t NewEntry(IReteToken Token);

  struct TKeyPart {
    int32_t TokenIdx;
    TSlotReader Slot;
    int32_t SubIndex;
  };
  /// Combines the key read so far with one more part's key.
  static int32_t CombineKeys(int32_t Key, int32_t Part) noexcept {
    uint32_t H = static_cast<uint32_t>(Key) * 0x9E3779B1u;
    H ^= static_cast<uint32_t>(Part) + 0x7F4A7C15u + (H << 6) + (H >> 2);
    return static_cast<int32_t>(H);
  }

  bool FUseSortCode;
  int32_t FKeyByParent;
  std::vector<TKeyPart> FMoreParts;  // the parts of a slot key after the first
  TSlotReader FKeySlot;              // reads the key slot by position
  std::string FSlotName;
  int32_t FSubIndex;
  int32_t FBucketCount;
  int32_t FTokenIdx;
  bool FEmpty = true;
  size_t FCount = 0;

  TStablePool<TEntry> FEntries;
  bool FKeepSide = false;
  TStablePool<TSide> FSide;  // by entry index, when FKeepSide (as many as FEntries)
  uint32_t FFree = None;
  TFlatTable<int32_t, TList> FKeys;
  TFlatTable<uint32_t, TList> FBuckets;  // only buckets holding tokens
  std::set<uint32_t> FUsedBuckets;       // their numbers in ascending order, for iteration
  // The heads of the chains of equality candidates, keyed by key and sort code. A memory keyed by sort code
  // needs none: there a key's list is the candidate chain.
  TFlatTable<uint64_t, uint32_t> FTwins;
};

}  // namespace rulecraft
