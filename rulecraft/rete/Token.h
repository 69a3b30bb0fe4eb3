#pragma once
// TIEToken: a partial match travelling through the network: a chain of facts, one per matched pattern, each
// token adding one fact to the shorter token it extends. Its tag says what the token is doing (adding,
// removing, clearing), its strength is the match's activation strength and its sort code keys it in
// memories. Held through IReteToken.
#include <cstdint>
#include <string>

#include "rulecraft/core/Enums.h"
#include "rulecraft/facts/Fact.h"
#include "rulecraft/framework/BlockCache.h"
#include "rulecraft/framework/Ref.h"
#include "rulecraft/functions/TokenBase.h"

namespace rulecraft {

class TIEToken;
using IReteToken = TRef<TIEToken>;

class TIEToken final : public TTokenBase {
  RC_CLASS(TIEToken, TTokenBase)
  RC_CACHED_BLOCKS
 public:
  /// An empty token: no fact, no parent, Count 0, Strength 1, tag taClear.
  TIEToken() = default;
  /// A root token: Count 1, the fact, the action as tag, the fact's ID as sort code (0 without a fact).
  TIEToken(TTokenAction Action, const IFact& Fact);
  /// Parent extended by Fact: Count one more, tag and strength of the parent, sort code parent * 8 + the
  /// fact's ID (wrapping in 32 bits; parent * 8 without a fact). Without a parent this is a root token.
  TIEToken(const IReteToken& Parent, const IFact& Fact);
  /// A copy of Source (see Assign) with NegatedCount 0.
  explicit TIEToken(const IReteToken& Source);
  ~TIEToken() override;

  /// Copies every field of another token (parent and fact are shared, not copied).
  void Assign(const TPersistent* Source) override;

  /// True for the same object; otherwise see the definition: equal counts, sort codes, strengths and, level
  /// by level, facts of equal ID that are the same object or Equals.
  bool Equals(const TIEToken* Other) const;
  bool Equals(const IReteToken& Other) const { return Equals(Other.get()); }

  /// The number of negated joins currently blocking this token; never below 0.
  int32_t GetNegatedCount() const noexcept { return FNegatedCount; }
  void SetNegatedCount(int32_t Value) noexcept { FNegatedCount = Value < 0 ? 0 : Value; }
  IReteToken GetParent() const noexcept { return StaticRefCast<TIEToken>(FParent); }
  /// The parent without taking a reference.
  TIEToken* GetParentObject() const noexcept { return static_cast<TIEToken*>(FParent.get()); }
  int32_t GetSortCode() const noexcept { return FSortCode; }
  /// A hash of the facts' IDs level by level, for memories to find equal tokens by: equal tokens have equal
  /// match keys (as they have equal sort codes), but unlike the sort code every level's ID is mixed in
  /// fully, so chains that differ anywhere rarely collide.
  int32_t GetMatchKey() const noexcept { return static_cast<int32_t>(FMatchKey); }
  /// The run lengths of the multifield splits that made the copies of the token's facts (see
  /// TPatternMatchNode), mixed; 0 when none was split. The splits of one fact share its ID and so the match
  /// key, and equal tokens come from the same splits, so this tells them apart where only equal tokens must
  /// meet. Inherited from the parent, copied by Assign. Kept folded to 16 bits in the room beside the tag, so
  /// a token grows by nothing; a key that folds to 0 only files the token under its bare match key.
  uint32_t GetSplitKey() const noexcept { return FSplitKey; }
  void SetSplitKey(uint32_t Value) noexcept { FSplitKey = static_cast<uint16_t>(Value ^ (Value >> 16)); }
  /// Adds the split key of a join's right token (whose fact this token takes) to the one inherited.
  void AddSplitKey(uint32_t Right) noexcept {
    if (Right != 0) SetSplitKey((FSplitKey ^ 0x9E3779B9u) * 0xC2B2AE35u + Right);
  }
  /// The match key, mixed with the split key when there is one: what stores looking for an equal token
  /// file it under (equal tokens have equal twin codes), without changing the order of anything.
  int32_t GetTwinCode() const noexcept {
    if (FSplitKey == 0) return static_cast<int32_t>(FMatchKey);
    return static_cast<int32_t>(FMatchKey ^ (static_cast<uint32_t>(FSplitKey) * 0x85EBCA6Bu));
  }
  TTokenAction GetTag() const noexcept { return FTag; }
  /// Any action but taClear needs a fact: raises EIEException "Invalid Token Action" on a token without.
  void SetTag(TTokenAction Action);
  float GetStrength() const noexcept { return FStrength; }
  /// Stores 0 for a negative strength (and for NaN, which would make the token unequal to itself).
  void SetStrength(float Value) noexcept { FStrength = Value >= 0.0f ? Value : 0.0f; }

  /// The tag's name, " cnt=", Count, " negcnt=", NegatedCount, then a line with the text of each fact from
  /// this token back to the root.
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }
  /// The facts from the root on as "f-<id>", separated by ", " (for example f-1, f-4, f-9); links
  /// without a fact and the placeholders of not and test elements are left out.
  std::string GetToFactsString() const;

  /// Where a memory that stores this token last put it (an entry index), so that the memory finds it again
  /// without searching; a memory checks that the entry still holds this token before trusting it. Not
  /// copied by Assign.
  uint32_t GetHint() const noexcept { return FHint; }
  void SetHint(uint32_t Value) const noexcept { FHint = Value; }

 private:
  int32_t FNegatedCount = 0;
  float FStrength = 1.0f;
  int32_t FSortCode = 0;
  uint32_t FMatchKey = 0;
  TTokenAction FTag = taClear;
  uint16_t FSplitKey = 0;
  mutable uint32_t FHint = UINT32_MAX;

  static uint32_t MixMatchKey(uint32_t Parent, const IFact& Fact) noexcept {
    uint32_t H = (Parent ^ 0x9E3779B9u) + (Fact ? static_cast<uint32_t>(Fact->GetID()) : 0u);
    H *= 0x85EBCA6Bu;
    H ^= H >> 13;
    H *= 0xC2B2AE35u;
    return H ^ (H >> 16);
  }
};

}  // namespace rulecraft
