#pragma once
// TFacts: the engine's fact base. Facts are kept in the order they were asserted, which is also the order of
// their identifiers, so lookups by identifier are binary searches. While duplicates are refused the base
// keeps a cache from hash code to facts (fuzzy facts in a list of their own), so the duplicate check of an
// assert is one hash lookup confirmed by equality.
//
// Positions: a retracted fact leaves a hole that the next access by position closes, so retracting by
// identifier or by object costs a binary search and never shifts the whole list. Positions seen by callers
// (Get, Delete, FindFact, IndexOf) are always dense: 0 .. Count()-1 over the facts present.
#include <cstdint>
#include <string>
#include <vector>

#include "rulecraft/engine/FactCache.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/framework/Object.h"

namespace rulecraft {

class TInferenceEngine;
class TStringList;

class TFacts : public TPersistent {
  RC_CLASS(TFacts, TPersistent)

 public:
  /// A fact base of Engine (nullptr: a free-standing list); the cache is on.
  explicit TFacts(TInferenceEngine* Engine);
  TFacts(const TFacts&) = delete;
  TFacts& operator=(const TFacts&) = delete;
  ~TFacts();

  TInferenceEngine* GetEngine() const noexcept { return FEngine; }
  int32_t Count() const noexcept { return static_cast<int32_t>(FLive); }
  /// The fact at Index; EListError "List index out of bounds (<index>)" outside 0..Count-1.
  const IFact& Get(int32_t Index) const;
  /// With the internal-change flag set, or without an engine: appends and returns the new position.
  /// Otherwise the fact is asserted through the engine (new identifier, events, network) and the result is
  /// the last position.
  int32_t Add(const IFact& Fact);
  /// As Add, then moved to Index.
  void Insert(int32_t Index, const IFact& Fact);
  /// With the internal-change flag set, or without an engine: removes the entry. Otherwise the engine
  /// retracts the fact at Index.
  void Delete(int32_t Index);
  /// Replaces the entry at Index (the list only).
  void Put(int32_t Index, const IFact& Fact);
  /// Empties the list and the cache, sets the highest identifier seen to 0 and, with an engine, tells it
  /// (RetractFacts).
  void Clear();

  /// The position of the fact with identifier ID, or -1.
  int32_t FindFact(int32_t ID) const;
  /// The position of the first fact equal to Fact (Equals), or -1.
  int32_t FindFact(const IFact& Fact) const;
  /// The position of this very fact object, or -1.
  int32_t IndexOf(const IFact& Fact) const;
  IFact GetFactByID(int32_t ID) const;
  /// The stored fact equal to Fact, or nil (the duplicate check).
  TFact* FindEqual(const TFact& Fact) const;

  bool GetCacheHashCodes() const noexcept { return FCacheHashCodes; }
  /// True builds the cache from the facts present; false frees it.
  void SetCacheHashCodes(bool Value);
  int32_t GetHighestID() const noexcept { return FHighestID; }
  bool GetInternalChange() const noexcept { return FInternal; }

  /// Every fact's text, separated by line breaks (none after the last).
  std::string GetToString() const;
  /// Every fact's text with its identifier, separated by line breaks.
  std::string GetToIDString() const;
  /// The facts present, in order.
  std::vector<IFact> Items() const;
  /// Calls Body(fact) for every fact present, in order; Body must not change the fact base.
  template <class F>
  void ForEach(F&& Body) const {
    for (const TEntry& Entry : FEntries)
      if (Entry.Fact) Body(Entry.Fact);
  }
  /// Clears this base and adds a new fact for each fact of Source (asserted into this base's engine).
  /// "Unable to assign slot values, fact templates are different: %s and %s" when this engine has a
  /// differently defined template of a source fact's template name.
  using TPersistent::Assign;
  void Assign(const TFacts& Source);
  /// One line per fact (its text).
  using TPersistent::AssignTo;
  void AssignTo(TStringList& Lines) const;

 private:
  friend class TInferenceEngine;
  struct TEntry {
    int32_t ID = 0;
    IFact Fact;  // nil once retracted
  };
  struct TInternalChange {
    explicit TInternalChange(TFacts& Facts) : FFacts(Facts), FWas(Facts.FInternal) { Facts.FInternal = true; }
    ~TInternalChange() { FFacts.FInternal = FWas; }
    TFacts& FFacts;
    bool FWas;
  };

  /// Closes the holes retracted facts left, so positions are entry indexes again.
  void Compact() const;
  /// The entry index of a dense position (compacting first when needed).
  size_t EntryOf(int32_t Index) const;
  /// The entry index of the live fact with identifier ID, or SIZE_MAX.
  size_t FindEntry(int32_t ID) const;
  /// The entry index of this very fact object, or SIZE_MAX.
  size_t FindEntry(const TFact* Fact) const;
  /// The dense position of an entry index.
  int32_t PositionOf(size_t Entry) const;
  /// Appends with the internal flag semantics (no engine involved).
  size_t Append(const IFact& Fact);
  /// Removes the entry (no engine involved).
  void RemoveEntry(size_t Entry);
  void CacheAdd(TFact* Fact);
  void CacheRemove(TFact* Fact);
  void CheckIndex(int32_t Index) const;

  TInferenceEngine* FEngine;
  mutable std::vector<TEntry> FEntries;
  size_t FLive = 0;
  mutable size_t FHoles = 0;
  bool FOrdered = true;  // identifiers increase along FEntries (Insert and Put may break it)
  bool FInternal = false;
  bool FCacheHashCodes = false;
  int32_t FHighestID = 0;
  // match hash -> the non-fuzzy facts with that hash; fuzzy facts apart
  TFactCache FCache;
  std::vector<TFact*> FFuzzy;
};

}  // namespace rulecraft
