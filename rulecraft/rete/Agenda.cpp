#include "rulecraft/rete/Agenda.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/rete/Pattern.h"
#include "rulecraft/rete/Rule.h"

namespace rulecraft {

// A run of consecutive agenda items kept in Items[Begin, End), with free room on either side, so that an
// insertion shifts only the shorter part of the run and inserting at a free end shifts nothing. The chunk
// owns the activations it holds.
struct TIEAgenda::TChunk {
  static constexpr int32_t Capacity = 512;

  TChunk(const TIEAgenda* AOwner, int32_t At) noexcept : Owner(AOwner), Begin(At), End(At) {}
  TChunk(const TChunk&) = delete;
  TChunk& operator=(const TChunk&) = delete;
  ~TChunk() {
    for (int32_t I = Begin; I < End; ++I) delete Items[I];
  }

  int32_t Size() const noexcept { return End - Begin; }
  bool Full() const noexcept { return Size() == Capacity; }
  TActivation* At(int32_t Offset) const noexcept { return Items[Begin + Offset]; }
  /// The offset of Activation, looked for from both ends at once (retraction often takes the oldest
  /// activation, which sits at one end of a run of equal saliences).
  int32_t Find(const TActivation* Activation) const noexcept {
    for (int32_t Lo = Begin, Hi = End - 1; Lo <= Hi; ++Lo, --Hi) {
      if (Items[Lo] == Activation) return Lo - Begin;
      if (Items[Hi] == Activation) return Hi - Begin;
    }
    return -1;
  }

  /// Moves the run so that it starts at NewBegin.
  void MoveTo(int32_t NewBegin) noexcept {
    const int32_t N = Size();
    if (NewBegin != Begin)
      std::memmove(Items + NewBegin, Items + Begin, static_cast<size_t>(N) * sizeof(Items[0]));
    Begin = NewBegin;
    End = NewBegin + N;
  }

  /// Inserts in front of the item at Offset (Size() appends); the chunk must not be full.
  void InsertAt(int32_t Offset, TActivation* Activation) noexcept {
    assert(!Full() && Offset >= 0 && Offset <= Size());
    const int32_t N = Size();
    bool Front;  // shift the items before Offset one place to the front (otherwise the rest to the back)
    if (Offset == 0 && Begin > 0)
      Front = true;
    else if (Offset == N && End < Capacity)
      Front = false;
    else
      Front = Offset < N - Offset;
    // When the cheaper side has no room, centre the run: one move buys room for many insertions.
    if (Front && Begin == 0)
      MoveTo((Capacity - N + 1) / 2);
    else if (!Front && End == Capacity)
      MoveTo((Capacity - N) / 2);
    if (Front) {
      std::memmove(Items + Begin - 1, Items + Begin, static_cast<size_t>(Offset) * sizeof(Items[0]));
      --Begin;
    } else {
      std::memmove(Items + Begin + Offset + 1, Items + Begin + Offset,
                   static_cast<size_t>(N - Offset) * sizeof(Items[0]));
      ++End;
    }
    Items[Begin + Offset] = Activation;
  }

  /// Takes the item at Offset out of the run (not freed).
  TActivation* TakeAt(int32_t Offset) noexcept {
    TActivation* Activation = Items[Begin + Offset];
    if (Offset < Size() - 1 - Offset) {
      std::memmove(Items + Begin + 1, Items + Begin, static_cast<size_t>(Offset) * sizeof(Items[0]));
      ++Begin;
    } else {
      std::memmove(Items + Begin + Offset, Items + Begin + Offset + 1,
                   static_cast<size_t>(End - Begin - Offset - 1) * sizeof(Items[0]));
      --End;
    }
    return Activation;
  }

  const TIEAgenda* Owner;
  size_t Position = 0;  // in the agenda's chunk list
  int32_t Begin;
  int32_t End;
  TActivation* Items[Capacity];
};

namespace {

[[noreturn]] void ListIndexError(int32_t Index) {
  throw EListError(Format("List index out of bounds (%d)", {Index}));
}

}  // namespace

TIEAgenda::TIEAgenda() = default;

TIEAgenda::~TIEAgenda() { Clear(); }

// ---- positions -------------------------------------------------------------------------------------------

int32_t TIEAgenda::StartOf(size_t ChunkIndex) const noexcept {
  for (; FKnownStarts < ChunkIndex; ++FKnownStarts)
    FStarts[FKnownStarts + 1] = FStarts[FKnownStarts] + FChunks[FKnownStarts]->Size();
  return FStarts[ChunkIndex];
}

TIEAgenda::TPlace TIEAgenda::Locate(int32_t Index) const noexcept {
  assert(Index >= 0 && Index < FCount);
  // The ends first: they are what the salience search and the common insertions ask for.
  const TChunk& First = *FChunks.front();
  if (Index < First.Size()) return {0, Index};
  const TChunk& Last = *FChunks.back();
  const int32_t LastStart = FCount - Last.Size();
  if (Index >= LastStart) return {FChunks.size() - 1, Index - LastStart};
  if (Index >= FStarts[FKnownStarts] + FChunks[FKnownStarts]->Size()) {
    size_t Chunk = FKnownStarts + 1;
    while (Index >= StartOf(Chunk) + FChunks[Chunk]->Size()) ++Chunk;
    return {Chunk, Index - FStarts[Chunk]};
  }
  // Chunks are never empty, so the known starts rise strictly.
  const auto KnownEnd = FStarts.begin() + static_cast<std::ptrdiff_t>(FKnownStarts) + 1;
  const size_t Chunk =
      static_cast<size_t>(std::upper_bound(FStarts.begin(), KnownEnd, Index) - FStarts.begin()) - 1;
  return {Chunk, Index - FStarts[Chunk]};
}

int32_t TIEAgenda::SalienceAt(int32_t Index) const noexcept {
  const TPlace Where = Locate(Index);
  return FChunks[Where.Chunk]->At(Where.Offset)->GetSalience();
}

int32_t TIEAgenda::SearchSalience(int32_t Salience) const {
  if (FCount == 0) return -1;
  const int32_t Last = FCount - 1;
  if (FStrategy == ssDepthFirst) {
    if (Salience >= SalienceAt(0)) return 0;
    if (Salience < SalienceAt(Last)) return -1;
  } else if (FStrategy == ssBreadthFirst) {
    if (Salience <= SalienceAt(Last)) return -1;
    if (Salience > SalienceAt(0)) return 0;
  } else {
    return -1;
  }
  int32_t Lo = 0;
  int32_t Hi = Last;
  while (Lo <= Hi) {
    const int32_t Mid = (Lo + Hi) / 2;
    const int32_t Found = SalienceAt(Mid);
    if (Found == Salience) return Mid;
    if (Found > Salience)
      Lo = Mid + 1;
    else
      Hi = Mid - 1;
  }
  return Hi + 1;
}

// ---- ordering strategies ---------------------------------------------------------------------------------

namespace {

bool IsPlaceholder(const IFact& Fact) {
  // Compared as views: names of another length are told apart without reading a byte.
  return Fact->GetTemplate() && std::string_view(Fact->GetTemplate()->GetTemplateName()) == SNullFact;
}

/// Negative when A's list orders before B's under lex (larger first, the longer first on a common prefix),
/// positive when after, 0 when equal. An activation placed by position rather than ordered has no lex keys:
/// it orders as an empty match.
int CompareLex(const TActivation::TAgendaKeys& KA, const TActivation::TAgendaKeys& KB) noexcept {
  const int32_t SizeA = KA.FactCount < 0 ? 0 : KA.FactCount;
  const int32_t SizeB = KB.FactCount < 0 ? 0 : KB.FactCount;
  const int32_t N = std::min(SizeA, SizeB);
  const int32_t* A = KA.Facts();
  const int32_t* B = KB.Facts();
  for (int32_t I = 0; I < N; ++I)
    if (A[I] != B[I]) return A[I] > B[I] ? -1 : 1;
  if (SizeA == SizeB) return 0;
  return SizeA > SizeB ? -1 : 1;
}

}  // namespace

int32_t TIEAgenda::CountTests(const TRule* Rule) noexcept {
  if (!Rule) return 0;
  int32_t Count = 0;
  for (int32_t I = 0; I < Rule->GetPatternCount(); ++I) {
    const TIEPattern* Pattern = Rule->GetPattern(I);
    Count += Pattern->GetName() == STestCE ? 1 : Pattern->GetTestCount();
  }
  return Count;
}

namespace {

constexpr unsigned StampChangeShift = 20;
constexpr uint64_t StampSeqMax = (uint64_t{1} << StampChangeShift) - 1;

uint64_t ChangeOf(const TActivation::TAgendaKeys& Keys) noexcept { return Keys.Stamp >> StampChangeShift; }

}  // namespace

void TIEAgenda::BeginChange() noexcept {
  if (FChangeDepth++ == 0) FChangeUsed = false;
}

void TIEAgenda::EndChange() noexcept {
  if (FChangeDepth > 0) --FChangeDepth;
}

uint64_t TIEAgenda::NewStamp() noexcept {
  if (FChangeDepth == 0 || !FChangeUsed) {
    ++FChange;
    FChangeSeq = 0;
    FChangeUsed = FChangeDepth > 0;
  } else if (FChangeSeq < StampSeqMax) {
    ++FChangeSeq;
  }
  return FChange << StampChangeShift | FChangeSeq;
}

void TIEAgenda::PrepareKeys(TActivation& Activation) {
  TActivation::TAgendaKeys& Keys = Activation.AgendaKeys;
  if (Keys.Stamp == 0) Keys.Stamp = NewStamp();
  switch (FStrategy) {
    case ssNewestFirst:
    case ssOldestFirst:
    case ssLex:
    case ssMea:
      if (Keys.FactCount < 0) {
        int32_t Count = 0;
        for (const TIEToken* Token = Activation.GetToken().get(); Token; Token = Token->GetParentObject())
          if (const IFact& Fact = Token->GetFact(); Fact && !IsPlaceholder(Fact)) ++Count;
        if (Count > Keys.InlineFacts) Keys.More = std::make_unique<int32_t[]>(static_cast<size_t>(Count));
        int32_t* Facts = Count > Keys.InlineFacts ? Keys.More.get() : Keys.Inline;
        int32_t At = 0;
        for (const TIEToken* Token = Activation.GetToken().get(); Token; Token = Token->GetParentObject()) {
          const IFact& Fact = Token->GetFact();
          if (!Fact || IsPlaceholder(Fact)) continue;
          Facts[static_cast<size_t>(At++)] = Fact->GetID();
          if (!Token->GetParentObject()) Keys.FirstFact = Fact->GetID();
        }
        std::sort(Facts, Facts + Count, std::greater<>());
        Keys.FactCount = Count;
      }
      break;
    case ssSimplicity:
    case ssComplexity:
      if (Keys.Tests < 0) Keys.Tests = CountTests(Activation.GetRule());
      break;
    case ssRandom:
      Keys.Random = static_cast<uint32_t>(FRandom());
      break;
    default:
      break;
  }
}

bool TIEAgenda::Before(const TActivation& A, const TActivation& B) const noexcept {
  if (A.GetSalience() != B.GetSalience()) return A.GetSalience() > B.GetSalience();
  const TActivation::TAgendaKeys& KA = A.AgendaKeys;
  const TActivation::TAgendaKeys& KB = B.AgendaKeys;
  switch (FStrategy) {
    case ssNewestFirst:
    case ssOldestFirst: {
      const bool Newest = FStrategy == ssNewestFirst;
      if (ChangeOf(KA) != ChangeOf(KB)) return (ChangeOf(KA) > ChangeOf(KB)) == Newest;
      if (const int Order = CompareLex(KA, KB)) return (Order < 0) == Newest;
      if (KA.Stamp != KB.Stamp) return (KA.Stamp > KB.Stamp) == Newest;
      return false;
    }
    case ssMea:
      if (KA.FirstFact != KB.FirstFact) return KA.FirstFact > KB.FirstFact;
      [[fallthrough]];
    case ssLex:
      if (const int Order = CompareLex(KA, KB)) return Order < 0;
      break;
    case ssSimplicity:
      if (KA.Tests != KB.Tests) return KA.Tests < KB.Tests;
      break;
    case ssComplexity:
      if (KA.Tests != KB.Tests) return KA.Tests > KB.Tests;
      break;
    case ssRandom:
      if (KA.Random != KB.Random) return KA.Random > KB.Random;
      break;
    default:
      break;
  }
  return KA.Stamp > KB.Stamp;
}

int32_t TIEAgenda::SearchOrdered(const TActivation& Activation) const {
  // The items that fire before the new one form a prefix: find the first chunk whose last item does not,
  // then the first such item inside it.
  auto FiresFirst = [&](const TActivation* Item) { return Before(*Item, Activation); };
  size_t Lo = 0;
  size_t Hi = FChunks.size();
  while (Lo < Hi) {
    const size_t Mid = (Lo + Hi) / 2;
    const TChunk& Chunk = *FChunks[Mid];
    if (FiresFirst(Chunk.At(Chunk.Size() - 1)))
      Lo = Mid + 1;
    else
      Hi = Mid;
  }
  if (Lo == FChunks.size()) return FCount;
  const TChunk& Chunk = *FChunks[Lo];
  const auto Found = std::partition_point(Chunk.Items + Chunk.Begin, Chunk.Items + Chunk.End, FiresFirst);
  return StartOf(Lo) + static_cast<int32_t>(Found - (Chunk.Items + Chunk.Begin));
}

int32_t TIEAgenda::IndexOf(const TActivation* Activation) const noexcept {
  if (!Activation) return -1;
  const auto* Chunk = static_cast<const TChunk*>(Activation->AgendaSlot);
  if (!Chunk || Chunk->Owner != this) return -1;
  const int32_t Offset = Chunk->Find(Activation);
  return Offset < 0 ? -1 : StartOf(Chunk->Position) + Offset;
}

TActivation* TIEAgenda::Get(int32_t Index) const {
  if (Index < 0 || Index >= FCount) ListIndexError(Index);
  const TPlace Where = Locate(Index);
  return FChunks[Where.Chunk]->At(Where.Offset);
}

std::vector<TActivation*> TIEAgenda::Items() const {
  std::vector<TActivation*> Result;
  Result.reserve(static_cast<size_t>(FCount));
  for (const auto& Chunk : FChunks)
    for (int32_t I = Chunk->Begin; I < Chunk->End; ++I) Result.push_back(Chunk->Items[I]);
  return Result;
}

std::string TIEAgenda::GetToString() const {
  std::string Result;
  for (const TActivation* Activation : Items()) {
    if (!Result.empty()) Result += NewLineString;
    Result += Activation->GetToString();
  }
  return Result;
}

// ---- chunks ----------------------------------------------------------------------------------------------

void TIEAgenda::ChunksMoved(size_t Position) noexcept {
  for (size_t I = Position; I < FChunks.size(); ++I) FChunks[I]->Position = I;
  FStarts.resize(FChunks.size());  // never grows here: NewChunk reserved the room
  if (!FStarts.empty()) FStarts[0] = 0;
  ForgetStartsAfter(Position > 0 ? Position - 1 : 0);
}

TIEAgenda::TChunk* TIEAgenda::NewChunk(size_t Position, int32_t At) {
  FStarts.reserve(FChunks.size() + 1);
  // An agenda that empties and fills again reuses the chunks it emptied.
  std::unique_ptr<TChunk> Chunk;
  if (FSpares.empty()) {
    Chunk = std::make_unique<TChunk>(this, At);
  } else {
    Chunk = std::move(FSpares.back());
    FSpares.pop_back();
  }
  Chunk->Begin = Chunk->End = At;
  TChunk* Result = Chunk.get();
  FChunks.insert(FChunks.begin() + static_cast<std::ptrdiff_t>(Position), std::move(Chunk));
  ChunksMoved(Position);
  return Result;
}

void TIEAgenda::Merge(size_t Left) noexcept {
  TChunk& Into = *FChunks[Left];
  TChunk& From = *FChunks[Left + 1];
  Into.MoveTo((TChunk::Capacity - Into.Size() - From.Size()) / 2);
  for (int32_t I = From.Begin; I < From.End; ++I) {
    From.Items[I]->AgendaSlot = &Into;
    Into.Items[Into.End++] = From.Items[I];
  }
  From.End = From.Begin;  // nothing left for it to free
  Retire(std::move(FChunks[Left + 1]));
  FChunks.erase(FChunks.begin() + static_cast<std::ptrdiff_t>(Left) + 1);
  ChunksMoved(Left + 1);
}

void TIEAgenda::Retire(std::unique_ptr<TChunk> Chunk) noexcept {
  if (FSpares.size() >= MaxSpareChunks) return;  // freed here
  try {
    FSpares.push_back(std::move(Chunk));
  } catch (...) {  // no room to keep it: Chunk still holds it and frees it
  }
}

// ---- changes ---------------------------------------------------------------------------------------------

void TIEAgenda::Insert(int32_t Index, std::unique_ptr<TActivation> Activation) {
  if (!Activation) throw EIEException(SInvalidAgendaItem);
  if (Index == -1) Index = FCount;
  if (Index < 0 || Index > FCount) ListIndexError(Index);
  assert(Activation->AgendaSlot == nullptr);
  if (Activation->AgendaKeys.Stamp == 0) Activation->AgendaKeys.Stamp = NewStamp();
  if (FChunks.empty()) NewChunk(0, FStrategy == ssDepthFirst ? TChunk::Capacity : 0);

  TPlace Where = Index == FCount ? TPlace{FChunks.size() - 1, FChunks.back()->Size()} : Locate(Index);
  TChunk* Chunk = FChunks[Where.Chunk].get();
  if (Chunk->Full()) {
    // In front of a full chunk, the chunk before takes the item when it has room; otherwise an item at
    // either end starts a new chunk, and one in the middle splits the chunk in two halves. (Offset equals
    // the size only when appending to the last chunk.)
    if (Where.Offset == 0 && Where.Chunk > 0 && !FChunks[Where.Chunk - 1]->Full()) {
      --Where.Chunk;
      Chunk = FChunks[Where.Chunk].get();
      Where.Offset = Chunk->Size();
    } else if (Where.Offset == 0) {
      Chunk = NewChunk(Where.Chunk, TChunk::Capacity);
    } else if (Where.Offset == Chunk->Size()) {
      ++Where.Chunk;
      Chunk = NewChunk(Where.Chunk, 0);
      Where.Offset = 0;
    } else {
      TChunk* Upper = NewChunk(Where.Chunk + 1, 0);
      const int32_t Half = TChunk::Capacity / 2;
      for (int32_t I = Chunk->Begin + Half; I < Chunk->End; ++I) {
        Chunk->Items[I]->AgendaSlot = Upper;
        Upper->Items[Upper->End++] = Chunk->Items[I];
      }
      Chunk->End = Chunk->Begin + Half;
      if (Where.Offset > Half) {
        ++Where.Chunk;
        Chunk = Upper;
        Where.Offset -= Half;
      }
    }
  }
  TActivation* Item = Activation.release();
  Chunk->InsertAt(Where.Offset, Item);
  Item->AgendaSlot = Chunk;
  ++FCount;
  ShiftStartsAfter(Where.Chunk, 1);
}

int32_t TIEAgenda::Add(std::unique_ptr<TActivation> Activation) {
  if (!Activation) throw EIEException(SInvalidAgendaItem);
  PrepareKeys(*Activation);
  int32_t Index = FStrategy == ssDepthFirst || FStrategy == ssBreadthFirst
                      ? SearchSalience(Activation->GetSalience())
                      : SearchOrdered(*Activation);
  if (Index < 0) Index = FCount;
  Insert(Index, std::move(Activation));
  return Index;
}

std::unique_ptr<TActivation> TIEAgenda::Take(TPlace Where) noexcept {
  TChunk* Chunk = FChunks[Where.Chunk].get();
  std::unique_ptr<TActivation> Activation(Chunk->TakeAt(Where.Offset));
  Activation->AgendaSlot = nullptr;
  --FCount;
  ShiftStartsAfter(Where.Chunk, -1);
  if (Chunk->Size() == 0) {
    Retire(std::move(FChunks[Where.Chunk]));
    FChunks.erase(FChunks.begin() + static_cast<std::ptrdiff_t>(Where.Chunk));
    ChunksMoved(Where.Chunk);
  } else if (Where.Chunk > 0 && FChunks[Where.Chunk - 1]->Size() + Chunk->Size() <= TChunk::Capacity / 2) {
    Merge(Where.Chunk - 1);
  } else if (Where.Chunk + 1 < FChunks.size() &&
             Chunk->Size() + FChunks[Where.Chunk + 1]->Size() <= TChunk::Capacity / 2) {
    Merge(Where.Chunk);
  }
  return Activation;
}

std::unique_ptr<TActivation> TIEAgenda::Extract(int32_t Index) {
  if (Index < 0 || Index >= FCount) ListIndexError(Index);
  return Take(Locate(Index));
}

std::unique_ptr<TActivation> TIEAgenda::Extract(TActivation* Activation) {
  if (!Activation) return nullptr;
  auto* Chunk = static_cast<TChunk*>(Activation->AgendaSlot);
  if (!Chunk || Chunk->Owner != this) return nullptr;
  const int32_t Offset = Chunk->Find(Activation);
  if (Offset < 0) return nullptr;
  return Take({Chunk->Position, Offset});
}

bool TIEAgenda::Remove(TActivation* Activation) { return Extract(Activation) != nullptr; }

void TIEAgenda::Delete(int32_t Index) { Extract(Index).reset(); }

void TIEAgenda::Clear() {
  // The activations go after the agenda is consistent again (freeing one releases its token and facts).
  std::vector<std::unique_ptr<TChunk>> Chunks;
  Chunks.swap(FChunks);
  FStarts.clear();
  FCount = 0;
  FKnownStarts = 0;
}

}  // namespace rulecraft
