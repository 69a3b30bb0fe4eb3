#include "rulecraft/rete/TokenTree.h"

#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/ValueVector.h"

namespace rulecraft {

// How the memory is laid out.
//
// A memory works like a hash table of BucketCount buckets, each listing its tokens in order of addition, and
// it keeps that observable order: iterating the whole memory goes bucket by bucket in ascending order, and
// the tokens of one key come in order of addition. Joins pass matches on in the order they meet them, and
// that order becomes the order of activations on the agenda, so it is part of the engine's behaviour.
//
// Only the order is taken from the buckets; lookups never scan one. A token has two keys: its key, the
// match hash of its key value (every byte of a text counts, so long texts that differ anywhere key apart),
// and its order key, the published hash (GetHashCode) of the same value, whose bucket the entry keeps, so
// the order of a full walk is the one the published hash has always given. Entries live in one pool and
// are threaded on three lists through indexes:
//  - per exact 32-bit key (FKeys): GetTokens(key) answers this list. A bucket holds every key that maps to
//    it, and a join with a short cut would compare its key value again on each of them (its equality test
//    rejects the others), so handing it only the tokens of its exact key gives the same matches without
//    walking the rest of a bucket that may hold a hundred thousand tokens;
//  - per bucket (FBuckets, only used buckets, whose numbers FUsedBuckets keeps sorted): the order of full
//    iteration. The sorted set changes only when a bucket gains its first token or loses its last;
//  - per key and sort code (FTwins): the candidates for equality. Equal tokens have equal sort codes and,
//    level by level, facts that are the same object or Equals, whose hashes and slot values are equal, so
//    they have equal keys: a stored twin of a token always sits in this chain, and checking it is the same
//    as checking the token's bucket. A memory keyed by sort code uses the key's own list instead: its key
//    is the token's match key, which mixes in every level's fact ID, so colliding chains are rare. (Fuzzy
//    slots are the one exception: fact equality leaves them out but the fact's hash does not, so two facts
//    differing only there are Equals yet key apart; their tokens are kept apart here, as different buckets
//    would keep them apart.)
// The heads of these lists are found through flat open-addressing tables (TFlatTable), one probe into one
// array rather than a walk through heap nodes; a list records its head and tail only (an entry is 32
// bytes, a list 8), since a memory of partial matches may hold a million tokens. Every list is doubly linked
// where entries leave it from the middle, so adding and removing a token are constant time (plus the equality
// checks among its candidates, normally none or one), and removal keeps the order of the tokens that stay. A
// key is read from the facts on every Add and Remove; a fact keeps its own hash until its values are set, so
// a whole-fact key costs one hash per change of the fact.

TIETokenTree::TIETokenTree(int32_t BucketCount, int32_t TokenIdx, int32_t SubIndex, std::string SlotName,
                           bool UseSortCode, int32_t KeyByParent)
    : FUseSortCode(UseSortCode || KeyByParent > 0),
      FKeyByParent(KeyByParent),
      FKeySlot(SlotName),
      FSlotName(std::move(SlotName)),
      FSubIndex(SubIndex),
      FBucketCount(BucketCount < 1 ? 1 : BucketCount),
      FTokenIdx(TokenIdx) {}

TIETokenTree::~TIETokenTree() = default;

namespace {

// The value a key is read from: the value itself with SubIndex -1, else its list element at SubIndex.
const TIEValue* KeyValue(const IIEValue& Value, int32_t SubIndex) {
  if (!Value) return nullptr;
  if (SubIndex == -1) return Value.get();
  if (Value->GetDType() != dtList || SubIndex < 0) return nullptr;
  const IValueVector List = Value->GetAsList();
  if (!List || SubIndex >= List->GetValueCount()) return nullptr;
  return List->Get(SubIndex).get();
}

}  // namespace

int32_t TIETokenTree::KeyOfValue(const IIEValue& Value, int32_t SubIndex) {
  const TIEValue* Key = KeyValue(Value, SubIndex);
  return Key ? FoldHash(Key->GetMatchHash()) : 0;
}

int32_t TIETokenTree::OrderKeyOfValue(const IIEValue& Value, int32_t SubIndex) {
  const TIEValue* Key = KeyValue(Value, SubIndex);
  return Key ? Key->GetHashCode() : 0;
}

int32_t TIETokenTree::KeyOfFact(TFact* Fact, const std::string& SlotName, int32_t SubIndex) {
  if (!Fact) return 0;
  if (SlotName.empty()) return FoldHash(Fact->GetMatchHash());
  if (!Fact->GetTemplate()) return 0;
  return KeyOfValue(Fact->ContainsKey(SlotName), SubIndex);
}

int32_t TIETokenTree::KeyOf(const TIEToken& Token, int32_t* Order) const {
  int32_t Key = 0;
  int32_t OrderKey = 0;
  if (FUseSortCode) {
    const TIEToken* Source = &Token;
    for (int32_t I = 0; I < FKeyByParent && Source; ++I) Source = Source->GetParentObject();
    if (Source) {
      Key = Source->GetMatchKey();
      OrderKey = Source->GetSortCode();
    }
  } else if (TFact* Fact = Token.GetFacts(FTokenIdx).get(); !Fact) {
  } else if (FSlotName.empty()) {
    Key = FoldHash(Fact->GetMatchHash());
    if (Order) OrderKey = Fact->GetHashCode();
  } else if (Fact->GetTemplate()) {
    if (const IIEValue* Value = FKeySlot.Read(*Fact)) {
      Key = KeyOfValue(*Value, FSubIndex);
      if (Order) OrderKey = OrderKeyOfValue(*Value, FSubIndex);
    }
    for (const TKeyPart& Part : FMoreParts) {
      int32_t PartKey = 0;
      TFact* PartFact = Token.GetFacts(Part.TokenIdx).get();
      if (PartFact && PartFact->GetTemplate())
        if (const IIEValue* Value = Part.Slot.Read(*PartFact)) PartKey = KeyOfValue(*Value, Part.SubIndex);
      Key = CombineKeys(Key, PartKey);
    }
  }
  if (Order) *Order = OrderKey;
  return Key;
}

void TIETokenTree::AddKeyPart(int32_t TokenIdx, std::string SlotName, int32_t SubIndex) {
  FMoreParts.push_back(TKeyPart{TokenIdx, TSlotReader(std::move(SlotName)), SubIndex});
}

uint32_t TIETokenTree::FindTwin(int32_t Key, const TIEToken& Token, uint32_t& Last,
                                uint32_t& Previous) const {
  Last = Previous = None;
  uint32_t Index = None;
  if (FUseSortCode) {
    if (const TList* List = FKeys.Find(Key)) Index = List->Head;
  } else {
    if (const uint32_t* Head = FTwins.Find(TwinKey(Key, Token.GetTwinCode()))) Index = *Head;
  }
  // A key list (sort-code memories) holds the splits of one fact side by side: their twin codes differ, so
  // they are passed over without comparing their facts.
  const int32_t Code = Token.GetTwinCode();
  while (Index != None) {
    const TEntry& Entry = FEntries[Index];
    if (Entry.Token->GetTwinCode() == Code && Entry.Token->Equals(&Token)) return Index;
    Previous = Last = Index;
    Index = FUseSortCode ? Entry.KeyNext : Entry.TwinNext;
  }
  Previous = None;
  return None;
}

uint32_t TIETokenTree::NewEntry(IReteToken Token) {
  uint32_t Index = FFree;
  if (Index != None) {
    FFree = FEntries[Index].KeyNext;
    FEntries[Index] = TEntry();
  } else {
    Index = static_cast<uint32_t>(FEntries.size());
    FEntries.emplace_back();
  }
  FEntries[Index].Token = std::move(Token);
  return Index;
}

uint32_t TIETokenTree::AddAt(const IReteToken& Token) {
  if (!Token) return None;
  IReteToken Held = Token;  // Token may live in this memory's pool, which can move below
  int32_t Order = 0;
  const int32_t Key = KeyOf(*Held, &Order);
  uint32_t Last, Previous;
  if (FindTwin(Key, *Held, Last, Previous) != None) return None;

  // The room beside the entry first: running out of memory then changes nothing.
  if (FKeepSide && FFree == None && FSide.size() <= FEntries.size()) FSide.emplace_back();
  const uint32_t Index = NewEntry(std::move(Held));
  TEntry& Entry = FEntries[Index];
  Entry.Token->SetHint(Index);
  if (FKeepSide) FSide[Index] = TSide{Key, None};
  Entry.Bucket = static_cast<uint32_t>(BucketOf(Order));
  TList& KeyList = FKeys[Key];
  Entry.KeyPrev = KeyList.Tail;
  (KeyList.Tail == None ? KeyList.Head : FEntries[KeyList.Tail].KeyNext) = Index;
  KeyList.Tail = Index;

  const uint32_t BucketNo = Entry.Bucket;
  TList& Bucket = FBuckets[BucketNo];
  if (Bucket.Head == None) FUsedBuckets.insert(BucketNo);
  Entry.BucketPrev = Bucket.Tail;
  (Bucket.Tail == None ? Bucket.Head : FEntries[Bucket.Tail].BucketNext) = Index;
  Bucket.Tail = Index;

  if (!FUseSortCode) {
    if (Last == None)
      FTwins[TwinKey(Key, Entry.Token->GetTwinCode())] = Index;
    else
      FEntries[Last].TwinNext = Index;
  }
  ++FCount;
  FEmpty = false;
  return Index;
}

bool TIETokenTree::Remove(const IReteToken& Token) { return static_cast<bool>(Extract(Token)); }

// A copy of a stored token (a negated join stores copies) shares its parent and fact objects with it, so
// it has the same key, and the memory holds no two equal tokens of one key: an entry holding such an equal
// token is the one a search would find. Comparing them stops after one level, at the shared parent.
uint32_t TIETokenTree::ByHint(const TIEToken& Token) const noexcept {
  const uint32_t Hint = Token.GetHint();
  if (Hint >= FEntries.size()) return None;
  const TIEToken* Stored = FEntries[Hint].Token.get();
  if (Stored == &Token) return Hint;
  if (Stored && Stored->GetParentObject() == Token.GetParentObject() &&
      Stored->GetFact() == Token.GetFact() && Stored->Equals(&Token))
    return Hint;
  return None;
}

uint32_t TIETokenTree::IndexOf(const TIEToken& Token) const {
  if (FCount == 0) return None;
  const uint32_t Hinted = Token.GetHint();
  if (Hinted < FEntries.size() && FEntries[Hinted].Token.get() == &Token) return Hinted;
  uint32_t Last, Previous;
  const uint32_t Index = FindTwin(KeyOf(Token), Token, Last, Previous);
  return Index != None && FEntries[Index].Token.get() == &Token ? Index : None;
}

IReteToken TIETokenTree::Extract(const IReteToken& Token, uint32_t* Records) {
  if (Records) *Records = None;
  if (!Token || FCount == 0) return IReteToken();
  int32_t Key;
  uint32_t Previous = None;
  uint32_t Index = ByHint(*Token);
  if (Index != None) {
    Key = FKeepSide ? FSide[Index].Key : KeyOf(*Token);
    if (!FUseSortCode) {  // the entry's predecessor in its twin chain (normally it has none)
      for (uint32_t At = *FTwins.Find(TwinKey(Key, FEntries[Index].Token->GetTwinCode())); At != Index;
           At = FEntries[At].TwinNext)
        Previous = At;
    }
  } else {
    Key = KeyOf(*Token);
    uint32_t Last;
    Index = FindTwin(Key, *Token, Last, Previous);
    if (Index == None) return IReteToken();
  }
  TEntry& Entry = FEntries[Index];
  if (Records) *Records = FKeepSide ? FSide[Index].RecordHead : None;

  if (!FUseSortCode) {
    if (Previous != None) {
      FEntries[Previous].TwinNext = Entry.TwinNext;
    } else {
      const uint64_t Twin = TwinKey(Key, Entry.Token->GetTwinCode());
      if (Entry.TwinNext == None)
        FTwins.Erase(Twin);
      else
        *FTwins.Find(Twin) = Entry.TwinNext;
    }
  }

  TList& KeyList = *FKeys.Find(Key);
  (Entry.KeyPrev == None ? KeyList.Head : FEntries[Entry.KeyPrev].KeyNext) = Entry.KeyNext;
  (Entry.KeyNext == None ? KeyList.Tail : FEntries[Entry.KeyNext].KeyPrev) = Entry.KeyPrev;
  if (KeyList.Head == None) FKeys.Erase(Key);

  const uint32_t BucketNo = Entry.Bucket;
  TList& Bucket = *FBuckets.Find(BucketNo);
  (Entry.BucketPrev == None ? Bucket.Head : FEntries[Entry.BucketPrev].BucketNext) = Entry.BucketNext;
  (Entry.BucketNext == None ? Bucket.Tail : FEntries[Entry.BucketNext].BucketPrev) = Entry.BucketPrev;
  if (Bucket.Head == None) {
    FBuckets.Erase(BucketNo);
    FUsedBuckets.erase(BucketNo);
  }

  // Token may be this entry's own handle: it is not used after the release.
  IReteToken Released = std::move(Entry.Token);
  if (FKeepSide) FSide[Index].RecordHead = None;
  Entry.KeyNext = FFree;
  FFree = Index;
  if (--FCount == 0) {  // start the next filling at the front of the pool
    FEntries.clear();
    FSide.clear();
    FFree = None;
  }
  return Released;
}

void TIETokenTree::Clear() {
  // Detach everything before releasing the tokens, so the memory is consistent whatever their release does.
  TStablePool<TEntry> Entries = FEntries.Take();
  FSide.Take();
  FKeys.Clear();
  FBuckets.Clear();
  FUsedBuckets.clear();
  FTwins.Clear();
  FFree = None;
  FCount = 0;
  FEmpty = true;
}

TIETokenTree::TKeyRange TIETokenTree::GetTokens(int32_t Key) const {
  const TList* List = FKeys.Find(Key);
  if (!List) return TKeyRange(TKeyIterator());
  return TKeyRange(TKeyIterator(this, List->Head));
}

TIETokenTree::TAllIterator TIETokenTree::begin() const {
  if (FUsedBuckets.empty()) return end();
  return TAllIterator(this, FBuckets.Find(*FUsedBuckets.begin())->Head, FUsedBuckets.begin());
}

std::string TIETokenTree::GetToString() const {
  std::string Text;
  for (uint32_t Bucket : FUsedBuckets) {
    if (!Text.empty()) Text += NewLineString;
    Text += "[" + std::to_string(Bucket) + "]";
    for (uint32_t Index = FBuckets.Find(Bucket)->Head; Index != None; Index = FEntries[Index].BucketNext)
      Text += NewLineString + FEntries[Index].Token->GetToString();
  }
  return Text;
}

std::string TIETokenTree::GetToFactsString() const {
  std::string Text;
  for (uint32_t Bucket : FUsedBuckets) {
    if (!Text.empty()) Text += NewLineString;
    Text += "[" + std::to_string(Bucket) + "]";
    for (uint32_t Index = FBuckets.Find(Bucket)->Head; Index != None; Index = FEntries[Index].BucketNext)
      Text += " (" + FEntries[Index].Token->GetToFactsString() + ")";
  }
  return Text;
}

}  // namespace rulecraft
