#pragma once
// TPatternMatchTerminalNode: the last node of a rule, turning complete matches into activations for the
// agenda and standing them down when their matches go.
#include <cstdint>
#include <string>

#include "rulecraft/rete/ActivationList.h"
#include "rulecraft/rete/ReteNodeBase.h"

namespace rulecraft {

class TActivation;
class TRule;

class TPatternMatchTerminalNode : public TReteNode {
  RC_CLASS(TPatternMatchTerminalNode, TReteNode)
 public:
  TPatternMatchTerminalNode(TReteNetwork* Network, TRule* Rule);
  ~TPatternMatchTerminalNode() override;

  TRule* GetRule() const noexcept { return FRule; }
  bool GetInitialized() const noexcept { return FInitialized; }
  /// Sets Initialized; False leaves it as it is.
  void SetInitialized(bool Value) noexcept { FInitialized = FInitialized || Value; }
  const TActivationList& GetActivations() const noexcept { return FActivations; }
  int32_t GetActivationCount() const noexcept { return static_cast<int32_t>(FActivations.Count()); }

  /// Add and update tokens make activations, remove tokens stand down the activation of an equal token, a
  /// clear token stands down every activation.
  bool CallNode(const IReteToken& Token, TCallType CallType) override;
  /// The activation leaves the list and the network reports the firing.
  void RuleFired(TActivation* Activation);
  /// Deactivates every activation, the most recent first.
  void StandDown();
  /// Deactivates the first activation whose token Equals Token; false when there is none.
  bool StandDown(const IReteToken& Token);
  /// Forgets the activations and the links without deactivating anything.
  void FastClear();
  /// Takes Activation out of the list without any notice (the activation is being freed).
  void Forget(TActivation* Activation) { FActivations.Remove(Activation); }
  /// How many activations point to this node (listed or not): the network frees a node it retired only when
  /// none does, so an activation being fired can still report to its node after its rule went.
  int32_t GetHolderCount() const noexcept { return FHolders; }
  void Hold() noexcept { ++FHolders; }
  void Release() noexcept { --FHolders; }
  /// The node's text, " Rule: " and the rule's name.
  std::string GetToString() const override;

 private:
  bool AddActivation(const IReteToken& Token);
  void Deactivate(TActivation* Activation);

  bool FInitialized = false;
  TRule* FRule;
  TActivationList FActivations;
  int32_t FHolders = 0;
};

/// Told by a fired activation: the node takes the activation out of its list and reports the firing on.
void NotifyTerminalNodeFired(TPatternMatchTerminalNode* Node, TActivation* Activation);

}  // namespace rulecraft
