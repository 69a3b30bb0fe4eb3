#include "rulecraft/rete/TerminalNode.h"

#include <memory>
#include <utility>

#include "rulecraft/rete/Activation.h"
#include "rulecraft/rete/ReteNetwork.h"
#include "rulecraft/rete/Rule.h"

namespace rulecraft {

TPatternMatchTerminalNode::TPatternMatchTerminalNode(TReteNetwork* Network, TRule* Rule)
    : TReteNode(Network), FRule(Rule) {}

TPatternMatchTerminalNode::~TPatternMatchTerminalNode() {
  // Nothing on an agenda may keep pointing here: what is still listed is withdrawn first.
  try {
    StandDown();
  } catch (...) {  // a handler's error cannot leave a destructor; the activations are gone all the same
    while (TActivation* Activation = FActivations.Last()) {
      FActivations.Remove(Activation);
      Activation->SetNode(nullptr);
    }
  }
}

bool TPatternMatchTerminalNode::CallNode(const IReteToken& Token, TCallType CallType) {
  (void)CallType;
  if (!Token) return false;
  switch (Token->GetTag()) {
    case taClear:
      StandDown();
      return false;
    case taAdd:
    case taUpdate:
      return AddActivation(Token);
    case taRemove:
      return StandDown(Token);
  }
  return false;
}

bool TPatternMatchTerminalNode::AddActivation(const IReteToken& Token) {
  if (!FRule || !GetNetwork() || !GetNetwork()->GetEngine()) return false;
  if ((FRule->GetOneShot() && FRule->GetFired()) || !FRule->GetEnabled()) return false;
  if (Token->GetTag() == taUpdate && FInitialized) return false;
  if (FActivations.FindEqual(*Token)) return false;  // one activation per match: an equal token adds nothing
  auto Activation = std::make_unique<TActivation>(FRule, Token, this, Token->GetStrength());
  TActivation* Made = Activation.get();
  FActivations.Append(Made);
  try {
    GetNetwork()->Activate(std::move(Activation));
  } catch (...) {
    FActivations.Remove(Made);
    throw;
  }
  return true;
}

void TPatternMatchTerminalNode::Deactivate(TActivation* Activation) {
  FActivations.Remove(Activation);
  if (GetNetwork()) GetNetwork()->Deactivate(Activation);
}

void TPatternMatchTerminalNode::StandDown() {
  while (TActivation* Activation = FActivations.Last()) Deactivate(Activation);
}

bool TPatternMatchTerminalNode::StandDown(const IReteToken& Token) {
  bool Any = false;
  while (TActivation* Activation = FActivations.FindEqual(*Token)) {
    Deactivate(Activation);
    Any = true;
  }
  return Any;
}

void TPatternMatchTerminalNode::RuleFired(TActivation* Activation) {
  FActivations.Remove(Activation);
  if (GetNetwork()) GetNetwork()->RuleFired(Activation);
}

void TPatternMatchTerminalNode::FastClear() { FActivations.Clear(); }

std::string TPatternMatchTerminalNode::GetToString() const {
  return TReteNode::GetToString() + " Rule: " + (FRule ? FRule->GetRuleName() : std::string());
}

}  // namespace rulecraft
