#pragma once
// TActivation: one rule instance ready to fire: a rule and the token that satisfied its patterns, made by
// the rule's terminal node and kept on the engine's agenda, which owns it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rulecraft/framework/BlockCache.h"
#include "rulecraft/framework/Object.h"
#include "rulecraft/rete/Token.h"

namespace rulecraft {

class TRule;
class TPatternMatchTerminalNode;

class TActivation final : public TPersistent {
  RC_CLASS(TActivation, TPersistent)
  RC_CACHED_BLOCKS
 public:
  /// The strength is stored limited to 0..1, as by SetStrength; the salience is the rule's current one.
  TActivation(TRule* Rule, IReteToken Token, TPatternMatchTerminalNode* Node, float Strength);
  ~TActivation() override;

  TRule* GetRule() const noexcept { return FRule; }
  const IReteToken& GetToken() const noexcept { return FToken; }
  TPatternMatchTerminalNode* GetNode() const noexcept { return FNode; }
  /// The node forgets its activations when it goes; so does the activation.
  void SetNode(TPatternMatchTerminalNode* Node) noexcept;
  float GetStrength() const noexcept { return FStrength; }
  /// Stores the strength limited to 0..1 (NaN as 0).
  void SetStrength(float Value) noexcept;

  /// The salience the agenda orders this activation by: the rule's salience when the activation was made,
  /// or what the engine stored after evaluating the rule's salience expression. Later changes of the rule's
  /// salience do not move activations already made.
  int32_t GetSalience() const noexcept { return FSalience; }
  /// Stores the salience; an activation already on an agenda keeps its place until it is added again.
  void SetSalience(int32_t Value) noexcept { FSalience = Value; }

  /// Fires the rule with the token, then tells the terminal node, when there is one (it reports the firing
  /// on). The node is read after the rule's actions ran, so a node that went meanwhile is not told.
  void Fire();
  /// "<salience> <rule> : <facts> (<strength %.4f>)", e.g. "10 check-order : f-1, f-4 (1.0000)". Built only
  /// when read.
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }
  /// Copies rule, token, node, strength and salience from another activation.
  void Assign(const TPersistent* Source) override;
  /// A copy with the same rule, token, node, strength and salience, on no agenda.
  std::unique_ptr<TActivation> Clone() const;

  /// Where the agenda keeps this activation (the agenda's own bookkeeping; nullptr off every agenda).
  void* AgendaSlot = nullptr;
  /// The keys the agenda orders by under the strategies other than depth and breadth, set by the agenda
  /// when it first needs them and kept while the activation lives (so re-sorting keeps recency).
  struct TAgendaKeys {
    uint64_t Stamp = 0;   ///< recency: larger is newer (change, then place in it); 0 until added
    uint32_t Random = 0;  ///< drawn anew each time the activation is added under random
    int32_t Tests = -1;   ///< the rule's pattern tests; -1 until counted
    /// The keys lex and mea (and newest and oldest within one change) order by, made only when one of them
    /// orders the activation: the identifier of the first pattern's fact (mea) and the matched facts'
    /// identifiers, descending (lex, mea), in one block. FactCount is -1 until they are made.
    int32_t FirstFact = -1;
    int32_t FactCount = -1;
    /// The identifiers: up to InlineFacts of them in the keys themselves, more in a block of their own.
    static constexpr int32_t InlineFacts = 6;
    int32_t Inline[InlineFacts] = {};
    std::unique_ptr<int32_t[]> More;
    const int32_t* Facts() const noexcept { return FactCount > InlineFacts ? More.get() : Inline; }
  } AgendaKeys;

 private:
  TRule* FRule;
  IReteToken FToken;
  TPatternMatchTerminalNode* FNode;
  float FStrength;
  int32_t FSalience;
};

/// Tells the terminal node that made Activation that its rule has fired: the node takes the activation out of
/// its list and reports the firing on. Implemented with the terminal node.
void NotifyTerminalNodeFired(TPatternMatchTerminalNode* Node, TActivation* Activation);

}  // namespace rulecraft
