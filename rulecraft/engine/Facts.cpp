#include "rulecraft/engine/Facts.h"

#include <algorithm>
#include <cstddef>

#include "rulecraft/core/Constants.h"
#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/InferenceEngine.h"
#include "rulecraft/facts/FactTemplate.h"
#include "rulecraft/framework/Exception.h"
#include "rulecraft/framework/StringList.h"

namespace rulecraft {

namespace {

constexpr size_t NoEntry = SIZE_MAX;
// Below this many facts a linear scan is as quick as a binary search.
constexpr size_t LinearScanLimit = 5;

bool IsFuzzyFact(const TFact& Fact) { return Fact.GetTemplate() && Fact.GetTemplate()->IsFuzzy(); }

}  // namespace

TFacts::TFacts(TInferenceEngine* Engine) : FEngine(Engine) { SetCacheHashCodes(true); }

TFacts::~TFacts() {
  // Destroying the base never calls back into the engine.
  FInternal = true;
  SetCacheHashCodes(false);
}

// ---- positions
// ------------------------------------------------------------------------------------------------

void TFacts::Compact() const {
  if (FHoles == 0) return;
  FEntries.erase(
      std::remove_if(FEntries.begin(), FEntries.end(), [](const TEntry& Entry) { return !Entry.Fact; }),
      FEntries.end());
  FHoles = 0;
}

void TFacts::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

size_t TFacts::EntryOf(int32_t Index) const {
  CheckIndex(Index);
  Compact();
  return static_cast<size_t>(Index);
}

int32_t TFacts::PositionOf(size_t Entry) const {
  if (Entry == NoEntry) return -1;
  if (FHoles == 0) return static_cast<int32_t>(Entry);
  int32_t Position = 0;
  for (size_t I = 0; I < Entry; ++I)
    if (FEntries[I].Fact) ++Position;
  return Position;
}

size_t TFacts::FindEntry(int32_t ID) const {
  if (FOrdered && FEntries.size() >= LinearScanLimit) {
    // Retracted entries keep their identifiers, so the entries stay sorted for the search.
    auto It = std::lower_bound(FEntries.begin(), FEntries.end(), ID,
                               [](const TEntry& Entry, int32_t Value) { return Entry.ID < Value; });
    if (It != FEntries.end() && It->ID == ID && It->Fact) return static_cast<size_t>(It - FEntries.begin());
    // Equal identifiers can only come from facts added from outside; look at the neighbours too.
    for (; It != FEntries.end() && It->ID == ID; ++It)
      if (It->Fact) return static_cast<size_t>(It - FEntries.begin());
    return NoEntry;
  }
  for (size_t I = 0; I < FEntries.size(); ++I)
    if (FEntries[I].Fact && FEntries[I].Fact->GetID() == ID) return I;
  return NoEntry;
}

size_t TFacts::FindEntry(const TFact* Fact) const {
  if (!Fact) return NoEntry;
  if (FOrdered && Fact->GetID() != -1) {
    const size_t Found = FindEntry(Fact->GetID());
    if (Found != NoEntry && FEntries[Found].Fact.get() == Fact) return Found;
  }
  for (size_t I = 0; I < FEntries.size(); ++I)
    if (FEntries[I].Fact.get() == Fact) return I;
  return NoEntry;
}

const IFact& TFacts::Get(int32_t Index) const { return FEntries[EntryOf(Index)].Fact; }

int32_t TFacts::FindFact(int32_t ID) const { return PositionOf(FindEntry(ID)); }

int32_t TFacts::IndexOf(const IFact& Fact) const { return PositionOf(FindEntry(Fact.get())); }

IFact TFacts::GetFactByID(int32_t ID) const {
  const size_t Entry = FindEntry(ID);
  return Entry == NoEntry ? IFact() : FEntries[Entry].Fact;
}

TFact* TFacts::FindEqual(const TFact& Fact) const {
  if (FCacheHashCodes) {
    if (IsFuzzyFact(Fact)) {
      for (TFact* Stored : FFuzzy)
        if (Fact.Equals(*Stored)) return Stored;
      return nullptr;
    }
    // Equal hashes do not make equal facts: each candidate is confirmed.
    return FCache.Find(Fact.GetMatchHash(), [&Fact](const TFact* Stored) { return Fact.Equals(*Stored); });
  }
  for (const TEntry& Entry : FEntries)
    if (Entry.Fact && Fact.Equals(*Entry.Fact)) return Entry.Fact.get();
  return nullptr;
}

int32_t TFacts::FindFact(const IFact& Fact) const {
  if (!Fact) return -1;
  TFact* Found = FindEqual(*Fact);
  return Found ? PositionOf(FindEntry(Found)) : -1;
}

// ---- the cache
// ------------------------------------------------------------------------------------------------

void TFacts::CacheAdd(TFact* Fact) {
  if (!FCacheHashCodes || !Fact) return;
  if (IsFuzzyFact(*Fact))
    FFuzzy.push_back(Fact);
  else
    FCache.Add(Fact->GetMatchHash(), Fact);
}

void TFacts::CacheRemove(TFact* Fact) {
  if (!FCacheHashCodes || !Fact) return;
  if (!FFuzzy.empty()) {
    auto It = std::find(FFuzzy.begin(), FFuzzy.end(), Fact);
    if (It != FFuzzy.end()) {
      FFuzzy.erase(It);
      return;
    }
  }
  FCache.Remove(Fact->GetMatchHash(), Fact);
}

void TFacts::SetCacheHashCodes(bool Value) {
  if (Value == FCacheHashCodes) return;
  FCache.Clear(true);
  FFuzzy.clear();
  FCacheHashCodes = Value;
  if (!Value) return;
  FCache.Reserve(FLive);
  for (const TEntry& Entry : FEntries)
    if (Entry.Fact) CacheAdd(Entry.Fact.get());
}

// ---- changing the list
// ----------------------------------------------------------------------------------------

size_t TFacts::Append(const IFact& Fact) {
  const int32_t ID = Fact->GetID();
  if (!FEntries.empty() && FEntries.back().ID > ID) FOrdered = false;
  FEntries.push_back(TEntry{ID, Fact});
  ++FLive;
  CacheAdd(Fact.get());
  return FEntries.size() - 1;
}

void TFacts::RemoveEntry(size_t Entry) {
  TEntry& Removed = FEntries[Entry];
  if (!Removed.Fact) return;
  CacheRemove(Removed.Fact.get());
  const IFact Held = std::move(Removed.Fact);  // released after the list is consistent again
  --FLive;
  if (Entry + 1 == FEntries.size()) {
    FEntries.pop_back();
  } else {
    ++FHoles;
    // Many holes: close them now so that the entries do not grow without bound.
    if (FHoles > 64 && FHoles > FLive) Compact();
  }
}

int32_t TFacts::Add(const IFact& Fact) {
  if (!Fact) throw EIEException(SNoTemplate);
  if (FInternal || !FEngine) {
    Append(Fact);
    return Count() - 1;
  }
  FEngine->Assert(Fact, false);
  FHighestID = std::max(FHighestID, Fact->GetID());
  return Count() - 1;
}

void TFacts::Insert(int32_t Index, const IFact& Fact) {
  if (Index < 0 || Index > Count())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  if (!Fact) throw EIEException(SNoTemplate);
  if (!FInternal && FEngine) {
    if (FEngine->Assert(Fact, false) < 0) return;  // refused as a duplicate: nothing to move
    Compact();
    const size_t Last = FEntries.size() - 1;
    if (FEntries[Last].Fact != Fact) return;
    TEntry Moved = std::move(FEntries[Last]);
    FEntries.pop_back();
    FEntries.insert(FEntries.begin() + Index, std::move(Moved));
  } else {
    Compact();
    FEntries.insert(FEntries.begin() + Index, TEntry{Fact->GetID(), Fact});
    ++FLive;
    CacheAdd(Fact.get());
  }
  FOrdered = FOrdered && std::is_sorted(FEntries.begin(), FEntries.end(),
                                        [](const TEntry& A, const TEntry& B) { return A.ID < B.ID; });
}

void TFacts::Delete(int32_t Index) {
  CheckIndex(Index);
  if (!FInternal && FEngine) {
    FEngine->RetractFact(Index);
    return;
  }
  RemoveEntry(EntryOf(Index));
}

void TFacts::Put(int32_t Index, const IFact& Fact) {
  const size_t Entry = EntryOf(Index);
  if (!Fact) throw EIEException(SNoTemplate);
  CacheRemove(FEntries[Entry].Fact.get());
  FEntries[Entry] = TEntry{Fact->GetID(), Fact};
  CacheAdd(Fact.get());
  if ((Entry > 0 && FEntries[Entry - 1].ID > Fact->GetID()) ||
      (Entry + 1 < FEntries.size() && FEntries[Entry + 1].ID < Fact->GetID()))
    FOrdered = false;
}

void TFacts::Clear() {
  // Detach everything first: the facts are released once the base is consistent.
  std::vector<TEntry> Old = std::move(FEntries);
  FEntries.clear();
  FCache.Clear(false);
  FFuzzy.clear();
  FLive = 0;
  FHoles = 0;
  FOrdered = true;
  FHighestID = 0;
  Old.clear();
  if (FEngine && !FInternal) FEngine->RetractFacts();
}

// ---- text and copies
// ------------------------------------------------------------------------------------------

std::string TFacts::GetToString() const {
  std::string Text;
  ForEach([&Text](const IFact& Fact) {
    if (!Text.empty()) Text += NewLineString;
    Text += Fact->GetToString();
  });
  return Text;
}

std::string TFacts::GetToIDString() const {
  std::string Text;
  bool First = true;
  ForEach([&](const IFact& Fact) {
    if (!First) Text += NewLineString;
    First = false;
    Text += Fact->GetToIDString();
  });
  return Text;
}

std::vector<IFact> TFacts::Items() const {
  std::vector<IFact> Result;
  Result.reserve(FLive);
  ForEach([&Result](const IFact& Fact) { Result.push_back(Fact); });
  return Result;
}

void TFacts::Assign(const TFacts& Source) {
  if (&Source == this) return;
  const std::vector<IFact> Copies = Source.Items();  // Source may be changed by what the asserts do
  Clear();
  for (const IFact& From : Copies) {
    IFactTemplate Template = From->GetTemplate();
    if (FEngine && Template && Template->GetOwner() != static_cast<TComponent*>(FEngine)) {
      IFactTemplate Own = FEngine->FindFactTemplate(Template->GetTemplateName());
      if (Own && !Own->Equals(Template.get()))
        throw EIEException(SFactTemplatesDifferent, {Own->GetToString(), Template->GetToString()});
      if (!Own) {
        // This engine learns the template: a copy of the source's.
        IFactTemplate Learned = MakeRef<TFactTemplate>(FEngine, Template->GetTemplateName());
        Learned->SetComment(Template->GetComment());
        Learned->AssignSlots(*Template);
        FEngine->GetFactTemplates().Put(Learned);
        Own = FEngine->FindFactTemplate(Template->GetTemplateName());
      }
      Template = Own;
    }
    IFact Copy = MakeRef<TFact>(Template);
    if (Template == From->GetTemplate()) {
      Copy->AssignValues(*From);
    } else {
      const std::vector<std::string> Names = From->GetSlotNames();
      const std::vector<IIEValue> Values = From->GetSlotValues();
      for (size_t I = 0; I < Names.size() && I < Values.size(); ++I)
        Copy->SetValue(Names[I], Values[I] ? Values[I]->Clone() : IIEValue());
    }
    Add(Copy);
  }
}

void TFacts::AssignTo(TStringList& Lines) const {
  Lines.Clear();
  ForEach([&Lines](const IFact& Fact) { Lines.Add(Fact->GetToString()); });
}

}  // namespace rulecraft
