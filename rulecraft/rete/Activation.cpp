#include "rulecraft/rete/Activation.h"

#include <utility>

#include "rulecraft/framework/Format.h"
#include "rulecraft/rete/ReteNode.h"
#include "rulecraft/rete/Rule.h"

namespace rulecraft {

namespace {

// NaN, negative numbers and -0.0 give 0.
float LimitStrength(float Value) noexcept {
  if (!(Value > 0.0f)) return 0.0f;
  return Value > 1.0f ? 1.0f : Value;
}

}  // namespace

TActivation::TActivation(TRule* Rule, IReteToken Token, TPatternMatchTerminalNode* Node, float Strength)
    : FRule(Rule),
      FToken(std::move(Token)),
      FNode(Node),
      FStrength(LimitStrength(Strength)),
      FSalience(Rule ? Rule->GetSalience() : 0) {
  if (FNode) FNode->Hold();
}

TActivation::~TActivation() {
  // An activation freed by whatever path leaves its terminal node's list first.
  if (FNode) {
    FNode->Forget(this);
    FNode->Release();
  }
}

void TActivation::SetNode(TPatternMatchTerminalNode* Node) noexcept {
  if (Node == FNode) return;
  if (FNode) FNode->Release();
  FNode = Node;
  if (FNode) FNode->Hold();
}

void TActivation::SetStrength(float Value) noexcept { FStrength = LimitStrength(Value); }

void TActivation::Fire() {
  // The actions may retract the facts of the match or reassign this activation: the token stays alive for
  // the whole firing.
  const IReteToken Token = FToken;
  if (FRule) FRule->Fire(Token);
  if (FNode) NotifyTerminalNodeFired(FNode, this);
}

std::string TActivation::GetToString() const {
  return Format("%d %s : %s (%.4f)", {FSalience, FRule ? FRule->GetRuleName() : std::string(),
                                      FToken ? FToken->GetToFactsString() : std::string(), FStrength});
}

void TActivation::Assign(const TPersistent* Source) {
  if (const auto* Other = dynamic_cast<const TActivation*>(Source)) {
    FRule = Other->FRule;
    FToken = Other->FToken;
    SetNode(Other->FNode);
    FStrength = Other->FStrength;
    FSalience = Other->FSalience;
    return;
  }
  TPersistent::Assign(Source);
}

std::unique_ptr<TActivation> TActivation::Clone() const {
  auto Copy = std::make_unique<TActivation>(FRule, FToken, FNode, FStrength);
  Copy->FSalience = FSalience;
  return Copy;
}

}  // namespace rulecraft
