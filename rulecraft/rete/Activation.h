#pragma once
// TActivation: one rule instance ready to fire: a rule and the token that satisfied its patterns, made by
// the rule's terminal node and kept on the engine's agenda, which owns it.
#include <cstdint>
#include <memory>
#include <string>

#include "rulecraft/framework/Object.h"
#include "rulecraft/rete/Token.h"

namespace rulecraft {

class TRule;
class TPatternMatchTerminalNode;

class TActivation final : public TPersistent {
  RC_CLASS(TActivation, TPersistent)
 public:
  /// The strength is stored limited to 0..1, as by SetStrength.
  TActivation(TRule* Rule, IReteToken Token, TPatternMatchTerminalNode* Node, float Strength);
  ~TActivation() override;

  TRule* GetRule() const noexcept { return FRule; }
  const IReteToken& GetToken() const noexcept { return FToken; }
  TPatternMatchTerminalNode* GetNode() const noexcept { return FNode; }
  /// The node forgets its activations when it goes; so does the activation.
  void SetNode(TPatternMatchTerminalNode* Node) noexcept { FNode = Node; }
  float GetStrength() const noexcept { return FStrength; }
  /// Stores the strength limited to 0..1 (NaN as 0).
  void SetStrength(float Value) noexcept;

  /// Fires the rule with the token, then tells the terminal node, when there is one (it reports the firing
  /// on). The node is read after the rule's actions ran, so a node that went meanwhile is not told.
  void Fire();
  /// "<salience> <rule> : <facts> (<strength %.4f>)", e.g. "10 check-order : f-1, f-4 (1.0000)". Built only
  /// when read.
  std::string GetToString() const;
  std::string ToString() const override { return GetToString(); }
  /// Copies rule, token, node and strength from another activation.
  void Assign(const TPersistent* Source) override;
  /// A copy with the same rule, token, node and strength, on no agenda.
  std::unique_ptr<TActivation> Clone() const;

  /// Where the agenda keeps this activation (the agenda's own bookkeeping; nullptr off every agenda).
  void* AgendaSlot = nullptr;

 private:
  TRule* FRule;
  IReteToken FToken;
  TPatternMatchTerminalNode* FNode;
  float FStrength;
};

/// Tells the terminal node that made Activation that its rule has fired: the node takes the activation out of
/// its list and reports the firing on. Implemented with the terminal node.
void NotifyTerminalNodeFired(TPatternMatchTerminalNode* Node, TActivation* Activation);

}  // namespace rulecraft
